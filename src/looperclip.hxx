#ifndef VESKO_LOOPERCLIP_HXX
#define VESKO_LOOPERCLIP_HXX

#include <cstdint>

#include "audiobuffer.hxx"
#include "stately.hxx"

// One cell of the grid: the slot of one scene of one track. Holds its audio, records into
// it, plays it as a loop and carries the requests queued for the next bar line.
//
// The constructor runs on the interface thread while the engine is being built; every
// other function runs on the JACK thread. Buffers are made and destroyed on the interface
// thread only: the clip asks for them and hands them back in records.
//
// No period's work here grows with the length of a clip:
// - a larger recording buffer is adopted at once and the frames recorded so far are moved
//   into it a bounded slice per period (continueBufferMove), reads meanwhile taking each
//   frame from whichever buffer holds it;
// - a save copies a bounded slice per period (continueSave) from a snapshot of where the
//   clip's frames were when the save began. Buffers the snapshot still reads are kept
//   until the copy is done, and a new recording never overwrites a frame the copy has not
//   taken yet.
class LooperClip : public Stately
{
public:
  // A recording buffer grows by this much at least, and by an eighth of its size once it
  // is large, so that growing stays rare and the move of what is already recorded always
  // finishes long before the next growth.
  static const int64_t GROWTH_FRAMES = 44100;
  static const int GROWTH_FRACTION = 8;
  // A recording asks for more room while less than this plus one growth step is left ahead
  // of it, so that an interface busy for this long (writing a session, say) still answers
  // in time, even when it stops just after a request.
  static const int RESERVE_SECONDS = 10;
  // Frames of an old recording buffer moved into its successor per frame of the period.
  static const int MOVE_FRAMES_PER_FRAME = 64;

  LooperClip(int track, int scene);
  ~LooperClip() override;

  // Back to empty; the buffer and its samples stay.
  void clear();
  void reset() override;
  void save() override;
  int64_t continueSave(int64_t budget) override;

  // The buffer asked for by save(), from the interface.
  void receiveSaveBuffer(AudioBuffer* sb);
  // Takes a complete buffer (a loaded sample, a session clip); the clip is left stopped.
  void loadBuffer(AudioBuffer* ab);
  // The larger recording buffer asked for by the looper.
  void receiveRecordBuffer(AudioBuffer* ab);
  // Moves part of the recording into a newly adopted buffer; from the looper, every call.
  void continueBufferMove(int nframes);

  void record(int n, const float* inL, const float* inR);
  void nextSample(long double speed, float& outL, float& outR);
  // n frames of nextSample, added into outL and outR: the looper's per-period playback.
  void play(long double speed, float* outL, float* outR, unsigned n);
  // The time manager's bar line, through the grid logic.
  void bar();
  // The tempo at which a bar line sets a recording's length; from the looper.
  void setFpb(double f) { fpb = f; }

  void queuePlay();
  void queueStop();
  void queueRecord();
  void clearQueue();
  bool isQueued() const { return _playQueued || _stopQueued || _recordQueued; }
  int getState() const;

  void setPlayhead(float p);
  float getProgress() const;

  uint64_t recordSpaceLeft() const;
  int64_t getBufferLength() const { return audio.buf->getSize(); }
  int64_t getRecordedLength() const { return _recordHead; }
  int64_t getLengthFrames() const { return audio.buf->getLengthFrames(); }
  void setBeats(int beats) { audio.buf->setBeats(beats); }
  int getBeats() const { return audio.buf->getBeats(); }

  bool isPlaying() const { return _isPlaying; }
  bool isRecording() const { return _isRecording; }
  bool hasAudio() const { return _hasAudio; }

  void setBufferRequested(bool b) { _bufferRequested = b; }
  bool bufferRequested() const { return _bufferRequested; }
  // True when the looper should ask for a larger recording buffer now (for a clip that
  // records or is queued to), and its size.
  bool wantsLargerBuffer() const;
  int64_t largerBufferSize() const;
  bool movingBuffer() const { return audio.old != nullptr; }

  // The clip's own buffer, lent for saving the clip alone; null while it records or is
  // queued to (the interface would read frames being written) or while frames are still
  // being moved into it (it would miss them).
  AudioBuffer* lendableBuffer() { return (_isRecording || _recordQueued || audio.old) ? nullptr : audio.buf; }

  // Interface thread, only once the JACK thread can never run again (the server is gone):
  // the clip's audio as a buffer ready to be written, or null when it holds none. A move
  // into a larger buffer is completed first, and a clip that was still recording keeps
  // every frame it took, its beats rounded to the nearest whole beat at the tempo then.
  // The clip keeps the buffer.
  AudioBuffer* rescue();

  // For tests: the buffer the clip plays and records.
  const AudioBuffer* buffer() const { return audio.buf; }
  bool saveUnderWay() const { return saveState != SAVE_IDLE; }

private:
  // JACK thread: nothing plays, records or waits for a bar line.
  void stopAll();
  // Where the clip's frames are: in `buf`, except for frames [moved, end), which are still
  // in `old` while they are being moved into `buf`.
  struct Frames {
    AudioBuffer* buf = nullptr;
    AudioBuffer* old = nullptr;
    int64_t moved = 0;
    int64_t end = 0;

    bool holds(const AudioBuffer* b) const { return b && (b == buf || b == old); }
    const AudioBuffer* at(int64_t i) const { return (old && i >= moved && i < end) ? old : buf; }
    // count frames from frame `from` into dl and dr.
    void copyOut(int64_t from, int64_t count, float* dl, float* dr) const;
  };

  // Asking: the request for a save buffer waits for room in the queue; waiting: asked;
  // copying: the buffer is here.
  enum SaveState { SAVE_IDLE, SAVE_ASKING, SAVE_WAITING, SAVE_COPYING };

  // Hands a buffer back to the interface once neither the clip nor a save still reads it.
  void release(AudioBuffer* b);
  void sendToInterfaceForFreeing(AudioBuffer* b);
  // Buffers to hand back that found the queue full, tried again each period.
  void flushPendingFrees();
  void askForSaveBuffer();
  void stopBufferMove();
  int64_t growthStep() const;
  // Copies the save up to frame `upTo` (it never goes beyond the saved length).
  void copySave(int64_t upTo);
  void finishSave();
  void failSave();
  void endSave();

  int track;
  int scene;

  bool _hasAudio = false;
  bool _isPlaying = false;
  bool _isRecording = false;
  bool _playQueued = false;
  bool _stopQueued = false;
  bool _recordQueued = false;
  bool _bufferRequested = false;

  long double _playhead = 0;
  // Frames recorded, counted exactly: a float stops counting at 2^24 frames.
  int64_t _recordHead = 0;
  int _barCount = 0;

  Frames audio;
  double fpb = 0; // set by the looper before any bar line
  int64_t reserveFrames = 0;

  // The save under way: waiting for its buffer, then copying into it.
  SaveState saveState = SAVE_IDLE;
  Frames saveFrom;
  AudioBuffer* saveTo = nullptr;
  int64_t saveLength = 0;
  int64_t saveCopied = 0;
  int saveID = 0;
  int saveBeats = 0;
  char saveName[AudioBuffer::NAME_LENGTH + 1] = {};
  // Save buffers still to come for saves that failed before theirs arrived.
  int staleSaveBuffers = 0;

  static const int PENDING_FREES = 4;
  AudioBuffer* pendingFrees[PENDING_FREES] = {};
  int pendingFreeCount = 0;
};

#endif
