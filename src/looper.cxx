#include "looper.hxx"

#include "audiobuffer.hxx"
#include "buffers.hxx"
#include "controllerupdater.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "looperclip.hxx"
#include "timemanager.hxx"

Looper::Looper(int t) : track(t)
{
  progressInterval = (int)(jack->getSamplerate() / 30.f);
  progressCounter = progressInterval;
  for (int s = 0; s < NSCENES; s++)
    clips[s] = new LooperClip(track, s);
  setFpb(jack->getTimeManager()->getFpb());
}

LooperClip* Looper::getClip(int scene)
{
  return (scene >= 0 && scene < NSCENES) ? clips[scene] : nullptr;
}

void Looper::receiveRecordBuffer(int scene, AudioBuffer* ab)
{
  if (LooperClip* clip = getClip(scene)) {
    clip->receiveRecordBuffer(ab);
  } else if (ab) {
    EventDeallocateBuffer back(ab);
    handOverToGui(&back);
  }
}

void Looper::setFpb(double f)
{
  fpb = f;
  // A bar line sets a recording's length at the tempo then current.
  for (int s = 0; s < NSCENES; s++)
    clips[s]->setFpb(f);
}

void Looper::transportRestart()
{
  for (int s = 0; s < NSCENES; s++)
    clips[s]->setPlayhead(0);
}

void Looper::process(unsigned int nframes, Buffers* buffers)
{
  float** a = buffers->audio;
  for (int s = 0; s < NSCENES; s++) {
    LooperClip* clip = clips[s];
    // Recording clips, and clips about to record, ask for room in time.
    if (clip->wantsLargerBuffer()) {
      EventLooperClipRequestBuffer request(track, s, (uint64_t)clip->largerBufferSize(), nullptr);
      if (handToGui(&request)) // else asked again next period
        clip->setBufferRequested(true);
    }
    if (clip->isRecording()) {
      // The engine has scaled the input by the master input gain, once for everyone.
      clip->record(nframes, a[Buffers::INPUT_GAINED_L], a[Buffers::INPUT_GAINED_R]);
    } else if (clip->isPlaying()) {
      const int64_t target = (int64_t)(clip->getBeats() * fpb);
      const int64_t actual = clip->getLengthFrames();
      const long double speed = (target != 0 && actual != 0) ? (long double)actual / target : 1.0L;
      float* outL = a[Buffers::looperOutL(track)];
      float* outR = a[Buffers::looperOutR(track)];
      clip->play(speed, outL, outR, nframes);
      if (progressCounter > progressInterval) {
        jack->getControllerUpdater()->progress(track, s, clip->getProgress());
        progressCounter = 0;
      }
      progressCounter += nframes;
    }
    // A buffer that has just grown takes over what was recorded before, a slice a time.
    clip->continueBufferMove(nframes);
  }
}
