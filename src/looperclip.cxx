#include "looperclip.hxx"

#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "controllerupdater.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gridstate.hxx"
#include "jack.hxx"

namespace
{
ControllerUpdater* updater() { return jack->getControllerUpdater(); }

inline int64_t minFrames(int64_t a, int64_t b) { return a < b ? a : b; }

// Copies for saves and buffer moves write memory the JACK thread does not read again soon:
// stores that bypass the cache leave it to the audio, and keep the worst periods short.
void copyFrames(float* dst, const float* src, int64_t n)
{
#ifdef __SSE2__
  int64_t i = 0;
  for (; i < n && ((uintptr_t)(dst + i) & 15) != 0; i++)
    dst[i] = src[i];
  for (; i + 16 <= n; i += 16) {
    const __m128 a = _mm_loadu_ps(src + i), b = _mm_loadu_ps(src + i + 4);
    const __m128 c = _mm_loadu_ps(src + i + 8), d = _mm_loadu_ps(src + i + 12);
    _mm_stream_ps(dst + i, a);
    _mm_stream_ps(dst + i + 4, b);
    _mm_stream_ps(dst + i + 8, c);
    _mm_stream_ps(dst + i + 12, d);
  }
  for (; i < n; i++)
    dst[i] = src[i];
  _mm_sfence();
#else
  memcpy(dst, src, sizeof(float) * (size_t)n);
#endif
}
} // namespace

LooperClip::LooperClip(int t, int s) : track(t), scene(s)
{
  reserveFrames = (int64_t)RESERVE_SECONDS * jack->getSamplerate();
  audio.buf = new AudioBuffer();
  audio.buf->resizeChannels(4410);
  clear();
}

LooperClip::~LooperClip()
{
  if (saveState != SAVE_IDLE) {
    if (!audio.holds(saveFrom.buf))
      delete saveFrom.buf;
    if (!audio.holds(saveFrom.old))
      delete saveFrom.old;
  }
  delete saveTo;
  for (int i = 0; i < pendingFreeCount; i++)
    delete pendingFrees[i];
  delete audio.old;
  delete audio.buf;
}

void LooperClip::stopAll()
{
  _isPlaying = false;
  _isRecording = false;
  _playQueued = false;
  _stopQueued = false;
  _recordQueued = false;
}

void LooperClip::clear()
{
  _hasAudio = false;
  stopAll();
  audio.buf->clear();
  _bufferRequested = false;
  _playhead = 0;
  _recordHead = 0;
  _barCount = 0;
  // What is still being moved belongs to the content just dropped.
  stopBufferMove();
}

void LooperClip::reset()
{
  if (_hasAudio) {
    dspPrint("LC::reset() track %i, scene %i", track, scene);
    updater()->progress(track, scene, 0);
  }
  clear();
}

void LooperClip::save()
{
  if (!_hasAudio || _isRecording || _recordQueued) {
    Stately::success();
    return;
  }
  if (saveState != SAVE_IDLE) {
    // The state manager never starts a second save before the first is answered.
    dspPrint("LC:: %i, %i: save while saving", track, scene);
    Stately::error("");
    return;
  }
  dspPrint("LC::save() track %i, scene %i", track, scene);
  // What the clip holds now is what this save writes, whatever happens to it meanwhile.
  saveFrom = audio;
  const int64_t length = audio.buf->getLengthFrames();
  saveLength = length < 0 ? 0 : minFrames(length, audio.buf->getSize());
  saveCopied = 0;
  saveID = audio.buf->getID();
  saveBeats = audio.buf->getBeats();
  memcpy(saveName, audio.buf->getName(), sizeof(saveName));
  saveState = SAVE_ASKING;
  askForSaveBuffer();
}

void LooperClip::askForSaveBuffer()
{
  EventRequestSaveBuffer request(track, scene, (uint64_t)saveLength, nullptr);
  if (handToGui(&request))
    saveState = SAVE_WAITING;
}

void LooperClip::receiveSaveBuffer(AudioBuffer* sb)
{
  if (staleSaveBuffers > 0) {
    // Asked for by a save that has failed since; it goes back unused.
    staleSaveBuffers--;
    sendToInterfaceForFreeing(sb);
    return;
  }
  if (saveState != SAVE_WAITING) {
    dspPrint("LC:: %i, %i: save buffer not asked for", track, scene);
    sendToInterfaceForFreeing(sb);
    return;
  }
  if (!sb || sb->getSize() < saveLength) {
    if (sb)
      dspPrint("LC:: %i, %i: can't save, buf too small", track, scene);
    else
      dspPrint("LC:: %i, %i: can't save, no memory", track, scene);
    sendToInterfaceForFreeing(sb);
    endSave();
    Stately::error("");
    return;
  }
  saveTo = sb;
  saveState = SAVE_COPYING;
  copySave(0); // finishes an empty copy at once
}

int64_t LooperClip::continueSave(int64_t budget)
{
  flushPendingFrees();
  if (saveState == SAVE_ASKING)
    askForSaveBuffer();
  if (saveState != SAVE_COPYING || budget <= 0)
    return 0;
  const int64_t before = saveCopied;
  copySave(saveCopied + budget);
  return (saveState == SAVE_IDLE ? saveLength : saveCopied) - before;
}

void LooperClip::copySave(int64_t upTo)
{
  upTo = minFrames(upTo, saveLength);
  if (upTo > saveCopied) {
    saveFrom.copyOut(saveCopied, upTo - saveCopied, saveTo->getLeft().data() + saveCopied,
                     saveTo->getRight().data() + saveCopied);
    saveCopied = upTo;
  }
  if (saveCopied == saveLength)
    finishSave();
}

void LooperClip::finishSave()
{
  AudioBuffer* sb = saveTo;
  sb->setID(saveID);
  sb->setBeats(saveBeats);
  sb->setLengthFrames(saveLength);
  sb->setName(saveName);
  EventStateSaveBuffer done(track, scene, sb, false);
  if (!handToGui(&done))
    return; // copied, and handed over as soon as the queue has room
  saveTo = nullptr;
  endSave();
  Stately::success();
}

void LooperClip::failSave()
{
  dspPrint("LC:: %i, %i: re-recorded before saved", track, scene);
  if (saveState == SAVE_WAITING)
    staleSaveBuffers++;
  else
    sendToInterfaceForFreeing(saveTo);
  saveTo = nullptr;
  endSave();
  Stately::error("");
}

void LooperClip::endSave()
{
  saveState = SAVE_IDLE;
  Frames from = saveFrom;
  saveFrom = Frames();
  release(from.buf);
  release(from.old);
}

void LooperClip::Frames::copyOut(int64_t from, int64_t count, float* dl, float* dr) const
{
  const int64_t stop = from + count;
  int64_t i = from;
  while (i < stop) {
    const AudioBuffer* b = buf;
    int64_t segmentEnd = stop;
    if (old && i < moved)
      segmentEnd = minFrames(stop, moved);
    else if (old && i < end) {
      b = old;
      segmentEnd = minFrames(stop, end);
    }
    copyFrames(dl + (i - from), b->getLeft().data() + i, segmentEnd - i);
    copyFrames(dr + (i - from), b->getRight().data() + i, segmentEnd - i);
    i = segmentEnd;
  }
}

void LooperClip::release(AudioBuffer* b)
{
  if (!b || audio.holds(b) || (saveState != SAVE_IDLE && saveFrom.holds(b)))
    return;
  sendToInterfaceForFreeing(b);
}

void LooperClip::sendToInterfaceForFreeing(AudioBuffer* b)
{
  if (!b)
    return;
  flushPendingFrees();
  EventDeallocateBuffer back(b);
  if (pendingFreeCount == 0 && handToGui(&back))
    return;
  if (pendingFreeCount < PENDING_FREES) {
    pendingFrees[pendingFreeCount++] = b;
    return;
  }
  handOverToGui(&back); // the engine's shared list, when the clip's own is full
}

void LooperClip::flushPendingFrees()
{
  int sent = 0;
  while (sent < pendingFreeCount) {
    EventDeallocateBuffer back(pendingFrees[sent]);
    if (!handToGui(&back))
      break;
    sent++;
  }
  for (int i = sent; i < pendingFreeCount; i++)
    pendingFrees[i - sent] = pendingFrees[i];
  pendingFreeCount -= sent;
}

void LooperClip::loadBuffer(AudioBuffer* ab)
{
  if (!ab || audio.holds(ab) || saveFrom.holds(ab) || ab == saveTo) {
    dspPrint("LC:: %i, %i: load refused", track, scene);
    return;
  }
  _hasAudio = true;
  stopAll();

  Frames previous = audio;
  audio = Frames();
  audio.buf = ab;
  release(previous.buf);
  release(previous.old);

  _playhead = 0;
  _barCount = 0;
  updater()->progress(track, scene, 0);
  _recordHead = ab->getSize();
}

int64_t LooperClip::growthStep() const
{
  const int64_t size = audio.buf->getSize();
  return size / GROWTH_FRACTION > GROWTH_FRAMES ? size / GROWTH_FRACTION : GROWTH_FRAMES;
}

bool LooperClip::wantsLargerBuffer() const
{
  if (_bufferRequested || audio.old)
    return false;
  // A queued take starts at frame 0 of the buffer: ask before it starts, so that its first
  // frames do not depend on how fast the interface answers.
  int64_t room;
  if (_recordQueued)
    room = audio.buf->getSize();
  else if (_isRecording)
    room = (int64_t)recordSpaceLeft();
  else
    return false;
  // Ten seconds stay ahead while the answer is on its way, not only until it is asked for.
  return room < reserveFrames + growthStep();
}

int64_t LooperClip::largerBufferSize() const { return audio.buf->getSize() + growthStep(); }

void LooperClip::receiveRecordBuffer(AudioBuffer* ab)
{
  if (!ab)
    return;
  if (!_bufferRequested || audio.old || ab->getSize() <= audio.buf->getSize()) {
    // An answer to a request that no longer stands: the looper asks again if need be.
    _bufferRequested = false;
    sendToInterfaceForFreeing(ab);
    return;
  }
  AudioBuffer* previous = audio.buf;
  ab->setID(previous->getID());
  ab->setBeats(previous->getBeats());
  ab->setLengthFrames(previous->getLengthFrames());
  ab->setName(previous->getName());
  // New frames go into the new buffer from now on; those before are moved over a slice
  // per period, and read from the old buffer until then.
  audio.buf = ab;
  audio.old = previous;
  audio.moved = 0;
  audio.end = minFrames(_recordHead, previous->getSize());
  _bufferRequested = false;
  if (audio.end <= 0)
    stopBufferMove();
}

void LooperClip::continueBufferMove(int nframes)
{
  if (pendingFreeCount > 0)
    flushPendingFrees();
  if (!audio.old || nframes <= 0)
    return;
  const int64_t n = minFrames((int64_t)MOVE_FRAMES_PER_FRAME * nframes, audio.end - audio.moved);
  copyFrames(audio.buf->getLeft().data() + audio.moved, audio.old->getLeft().data() + audio.moved, n);
  copyFrames(audio.buf->getRight().data() + audio.moved, audio.old->getRight().data() + audio.moved, n);
  audio.moved += n;
  if (audio.moved >= audio.end)
    stopBufferMove();
}

void LooperClip::stopBufferMove()
{
  AudioBuffer* old = audio.old;
  audio.old = nullptr;
  audio.moved = 0;
  audio.end = 0;
  release(old);
}

AudioBuffer* LooperClip::rescue()
{
  if (!_hasAudio)
    return nullptr;
  AudioBuffer* b = audio.buf;
  if (audio.old) {
    // Frames still waiting in the old buffer: the move would have brought them over.
    const int64_t count = audio.end - audio.moved;
    if (count > 0) {
      memcpy(b->getLeft().data() + audio.moved, audio.old->getLeft().data() + audio.moved,
             sizeof(float) * (size_t)count);
      memcpy(b->getRight().data() + audio.moved, audio.old->getRight().data() + audio.moved,
             sizeof(float) * (size_t)count);
    }
    audio.moved = audio.end;
  }
  if (_isRecording) {
    const int64_t frames = minFrames(_recordHead, b->getSize());
    b->setLengthFrames(frames);
    int beats = fpb > 0 ? (int)(frames / fpb + 0.5) : b->getBeats();
    b->setBeats(beats > 0 ? beats : 1);
    _isRecording = false;
  }
  return b->getLengthFrames() > 0 ? b : nullptr;
}

void LooperClip::record(int n, const float* inL, const float* inR)
{
  const int64_t size = audio.buf->getSize();
  const int64_t room = size > _recordHead ? size - _recordHead : 0;
  const int64_t count = n < 0 ? 0 : minFrames(n, room);
  if (count < n)
    dspPrint("LooperClip t %i, s %i, Error: out of mem!", track, scene);
  if (count > 0) {
    // A save still reading these frames takes them before they are overwritten.
    if (saveState != SAVE_IDLE && saveFrom.buf == audio.buf && _recordHead < saveLength) {
      if (saveState == SAVE_COPYING)
        copySave(_recordHead + count);
      else
        failSave();
    }
    const size_t bytes = sizeof(float) * (size_t)count;
    memcpy(audio.buf->getLeft().data() + _recordHead, inL, bytes);
    memcpy(audio.buf->getRight().data() + _recordHead, inR, bytes);
    _recordHead += count;
  }
  _hasAudio = true;
}

void LooperClip::nextSample(long double speed, float& outL, float& outR)
{
  const int64_t size = audio.buf->getSize();
  if (size == 0) {
    outL = 0.f;
    outR = 0.f;
    return;
  }
  if (_playhead >= _recordHead || _playhead >= size || _playhead < 0) {
    _playhead = 0;
    _barCount = 0;
  }
  int64_t i = (int64_t)(_playhead + 0.5L);
  // Rounding up from the last half frame lands on the loop's first frame, not past it.
  if (i >= _recordHead || i >= size)
    i = 0;
  const AudioBuffer* b = audio.at(i);
  outL = b->getLeft()[i];
  outR = b->getRight()[i];
  _playhead += speed;
}

void LooperClip::play(long double speed, float* outL, float* outR, unsigned n)
{
  const int64_t size = audio.buf->getSize();
  if (size == 0)
    return;
  // What nextSample reads per frame, read once.
  const int64_t limit = _recordHead < size ? _recordHead : size;
  const float* bufL = audio.buf->getLeft().data();
  const float* bufR = audio.buf->getRight().data();
  const float* oldL = audio.old ? audio.old->getLeft().data() : nullptr;
  const float* oldR = audio.old ? audio.old->getRight().data() : nullptr;
  const int64_t moved = audio.moved, end = audio.end;
  long double head = _playhead;
  for (unsigned k = 0; k < n; k++) {
    if (head >= _recordHead || head >= size || head < 0) {
      head = 0;
      _barCount = 0;
    }
    int64_t i = (int64_t)(head + 0.5L);
    if (i >= limit)
      i = 0;
    if (oldL && i >= moved && i < end) {
      outL[k] += oldL[i];
      outR[k] += oldR[i];
    } else {
      outL[k] += bufL[i];
      outR[k] += bufR[i];
    }
    head += speed;
  }
  _playhead = head;
}

void LooperClip::bar()
{
  AudioBuffer* b = audio.buf;
  if (_isRecording) {
    b->setBeats(b->getBeats() + 4);
    b->setLengthFrames((int64_t)(fpb * b->getBeats()));
  }
  if (_isPlaying) {
    _barCount++;
    if (_barCount >= b->getBeats() / 4) {
      _barCount = 0;
      _playhead = 0;
    }
  }
  if (_playhead >= _recordHead) {
    _playhead = 0;
    _barCount = 0;
  }

  if (_playQueued && _hasAudio) {
    _isPlaying = true;
    _isRecording = false;
    _playQueued = false;
    _playhead = 0;
    _barCount = 0;
  } else if (_stopQueued && _hasAudio) {
    _isPlaying = false;
    _isRecording = false;
    _stopQueued = false;
    updater()->progress(track, scene, 0);
  } else if (_recordQueued) {
    _isPlaying = false;
    _isRecording = true;
    _recordQueued = false;
    b->setBeats(0);
    _recordHead = 0;
    // The new take replaces what was still being moved.
    stopBufferMove();
  } else if (_playQueued) {
    _playQueued = false;
  } else {
    return;
  }
  // The state the clip is now in: a stop with a recording still queued shows the queued
  // recording, not "Stopped".
  updater()->setSceneState(track, scene, getState());
}

void LooperClip::queuePlay()
{
  _playQueued = true;
  _stopQueued = false;
  _recordQueued = false;
}

void LooperClip::queueStop()
{
  if (!_hasAudio)
    return;
  _playQueued = false;
  _stopQueued = true;
}

void LooperClip::queueRecord()
{
  _recordQueued = true;
  _playQueued = false;
  _stopQueued = false;
}

void LooperClip::clearQueue()
{
  _playQueued = false;
  _stopQueued = false;
  _recordQueued = false;
}

int LooperClip::getState() const
{
  if (_recordQueued)
    return STATE_RECORD_QUEUED;
  if (_stopQueued)
    return STATE_STOP_QUEUED;
  if (_playQueued)
    return STATE_PLAY_QUEUED;
  if (_isRecording)
    return STATE_RECORDING;
  if (_isPlaying)
    return STATE_PLAYING;
  if (_hasAudio)
    return STATE_STOPPED;
  return STATE_EMPTY;
}

void LooperClip::setPlayhead(float p)
{
  if (!_isPlaying || _isRecording)
    return;
  _playhead = p;
  updater()->progress(track, scene, _recordHead > 0 ? (float)(p / _recordHead) : 0.f);
}

float LooperClip::getProgress() const
{
  if (!_isPlaying || _recordHead <= 0)
    return 0.f;
  return (float)(_playhead / _recordHead);
}

uint64_t LooperClip::recordSpaceLeft() const
{
  const int64_t size = audio.buf->getSize();
  return size > _recordHead ? (uint64_t)(size - _recordHead) : 0;
}
