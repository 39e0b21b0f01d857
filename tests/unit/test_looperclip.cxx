#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "controllerupdater.hxx"
#include "engine_fixture.hxx"
#include "gridstate.hxx"
#include "guiside.hxx"
#include "listener.hxx"
#include "looperclip.hxx"
#include "statemanager.hxx"

namespace
{
// Frame i of a test signal: each channel tells the frame's number exactly.
inline float markL(int64_t i) { return (float)(i & 0xFFFF); }
inline float markR(int64_t i) { return (float)(i >> 16); }

class ClipTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    jack->getControllerUpdater()->registerController(&heard);
    discardGui();
  }

  std::unique_ptr<LooperClip> makeClip(int track = 1, int scene = 2)
  {
    auto c = std::make_unique<LooperClip>(track, scene);
    c->setFpb(fpb);
    return c;
  }

  // Records n frames of the marked signal, from frame `from` of that signal.
  void recordMarked(LooperClip& c, int64_t from, int n)
  {
    for (int i = 0; i < n; i++) {
      inL[i] = markL(from + i);
      inR[i] = markR(from + i);
    }
    c.record(n, inL, inR);
  }

  // Plays the looper's part in growing a recording: ask when the clip wants a larger
  // buffer, hand the answer over the next period, keep the move going. Returns the
  // number of frames written.
  int64_t recordWithGrowth(LooperClip& c, GuiSide& gui, int64_t from, int64_t frames, int n)
  {
    gui.answerThroughQueue = false;
    int64_t done = 0;
    while (done < frames) {
      const int k = (int)std::min<int64_t>(n, frames - done);
      {
        rtcheck::ProcessScope rt;
        if (AudioBuffer* ab = gui.take(EVENT_LOOPER_CLIP_REQUEST_BUFFER))
          c.receiveRecordBuffer(ab);
        if (c.wantsLargerBuffer()) {
          EventLooperClipRequestBuffer req(0, 0, c.largerBufferSize());
          writeToGuiRingbuffer(&req);
          c.setBufferRequested(true);
        }
        recordMarked(c, from + done, k);
        c.continueBufferMove(k);
      }
      gui.drain();
      done += k;
    }
    return done;
  }

  // Records at least `frames` frames, then on until a move into a larger buffer has just
  // begun. Returns the frames written.
  int64_t recordUntilMoving(LooperClip& c, GuiSide& gui, int64_t frames, int n)
  {
    int64_t done = recordWithGrowth(c, gui, 0, frames, n);
    while (!c.movingBuffer())
      done += recordWithGrowth(c, gui, done, n, n);
    return done;
  }

  double fpb = 300; // short bars keep the recordings in the clip's first buffer
  Listener heard;
  float inL[8192], inR[8192];
};

// Drives a fresh clip into a state by the requests and bar lines a performer would use.
void reach(LooperClip& c, int state)
{
  float l[16] = {}, r[16] = {};
  for (int i = 0; i < 16; i++)
    l[i] = r[i] = 0.1f * i;
  switch (state) {
  case STATE_EMPTY: break;
  case STATE_RECORD_QUEUED: c.queueRecord(); break;
  case STATE_RECORDING:
    c.queueRecord();
    c.bar();
    c.record(16, l, r);
    break;
  case STATE_PLAYING:
    reach(c, STATE_RECORDING);
    c.queuePlay();
    c.bar();
    break;
  case STATE_STOP_QUEUED:
    reach(c, STATE_PLAYING);
    c.queueStop();
    break;
  case STATE_STOPPED:
    reach(c, STATE_PLAYING);
    c.queueStop();
    c.bar();
    break;
  case STATE_PLAY_QUEUED:
    reach(c, STATE_STOPPED);
    c.queuePlay();
    break;
  }
}
} // namespace

// Every state, every request, then the bar line: the state after the request, the state
// after the bar, and what the bar announced (-1: nothing).
TEST_F(ClipTest, StateMachineTable)
{
  enum Request { NONE, PLAY, STOP, RECORD, CLEAR_QUEUE };
  struct Row {
    int start;
    Request request;
    int afterRequest, afterBar, announced;
  };
  const int none = -1;
  const Row table[] = {
    {STATE_EMPTY, NONE, 0, 0, none},
    {STATE_EMPTY, PLAY, 2, 0, 0},
    {STATE_EMPTY, STOP, 0, 0, none},
    {STATE_EMPTY, RECORD, 6, 5, 5},
    {STATE_EMPTY, CLEAR_QUEUE, 0, 0, none},

    {STATE_RECORD_QUEUED, NONE, 6, 5, 5},
    {STATE_RECORD_QUEUED, PLAY, 2, 0, 0},
    {STATE_RECORD_QUEUED, STOP, 6, 5, 5},
    {STATE_RECORD_QUEUED, RECORD, 6, 5, 5},
    {STATE_RECORD_QUEUED, CLEAR_QUEUE, 0, 0, none},

    {STATE_RECORDING, NONE, 5, 5, none},
    {STATE_RECORDING, PLAY, 2, 1, 1},
    {STATE_RECORDING, STOP, 4, 3, 3},
    {STATE_RECORDING, RECORD, 6, 5, 5},
    {STATE_RECORDING, CLEAR_QUEUE, 5, 5, none},

    {STATE_PLAY_QUEUED, NONE, 2, 1, 1},
    {STATE_PLAY_QUEUED, PLAY, 2, 1, 1},
    {STATE_PLAY_QUEUED, STOP, 4, 3, 3},
    {STATE_PLAY_QUEUED, RECORD, 6, 5, 5},
    {STATE_PLAY_QUEUED, CLEAR_QUEUE, 3, 3, none},

    {STATE_PLAYING, NONE, 1, 1, none},
    {STATE_PLAYING, PLAY, 2, 1, 1},
    {STATE_PLAYING, STOP, 4, 3, 3},
    {STATE_PLAYING, RECORD, 6, 5, 5},
    {STATE_PLAYING, CLEAR_QUEUE, 1, 1, none},

    {STATE_STOP_QUEUED, NONE, 4, 3, 3},
    {STATE_STOP_QUEUED, PLAY, 2, 1, 1},
    {STATE_STOP_QUEUED, STOP, 4, 3, 3},
    {STATE_STOP_QUEUED, RECORD, 6, 5, 5},
    {STATE_STOP_QUEUED, CLEAR_QUEUE, 1, 1, none},

    {STATE_STOPPED, NONE, 3, 3, none},
    {STATE_STOPPED, PLAY, 2, 1, 1},
    {STATE_STOPPED, STOP, 4, 3, 3},
    {STATE_STOPPED, RECORD, 6, 5, 5},
    {STATE_STOPPED, CLEAR_QUEUE, 3, 3, none},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(testing::Message() << GridStateNames[row.start] << " + request " << row.request);
    auto clip = makeClip(3, 4);
    int reached, afterRequest, afterBar;
    bool queued;
    {
      rtcheck::ProcessScope rt;
      reach(*clip, row.start);
      reached = clip->getState();
      heard.log.clear();
      switch (row.request) {
      case NONE: break;
      case PLAY: clip->queuePlay(); break;
      case STOP: clip->queueStop(); break;
      case RECORD: clip->queueRecord(); break;
      case CLEAR_QUEUE: clip->clearQueue(); break;
      }
      afterRequest = clip->getState();
      queued = clip->isQueued();
      clip->bar();
      afterBar = clip->getState();
    }
    ASSERT_EQ(reached, row.start);
    EXPECT_EQ(afterRequest, row.afterRequest);
    EXPECT_EQ(queued, row.afterRequest == 2 || row.afterRequest == 4 || row.afterRequest == 6);
    EXPECT_EQ(afterBar, row.afterBar);
    std::vector<Heard> states = heard.only(Heard::STATE);
    if (row.announced == none)
      EXPECT_TRUE(states.empty());
    else
      EXPECT_EQ(states, std::vector<Heard>{stateOf(3, 4, row.announced)});
    // Stopping at a bar line also resets the progress shown.
    std::vector<Heard> progress = heard.only(Heard::PROGRESS);
    if (row.afterBar == STATE_STOPPED && row.announced == STATE_STOPPED)
      EXPECT_EQ(progress, std::vector<Heard>{progressOf(3, 4, 0.f)});
    else
      EXPECT_TRUE(progress.empty());
  }
}

// A stop and a recording queued together on a clip with audio: the bar stops it and the
// next bar starts recording. In between it shows the queued recording, which is what is
// going to happen, rather than "Stopped".
TEST_F(ClipTest, StopWithRecordingQueuedRecordsAtTheFollowingBar)
{
  auto clip = makeClip(0, 0);
  {
    rtcheck::ProcessScope rt;
    reach(*clip, STATE_PLAYING);
    clip->queueRecord();
    clip->queueStop();
    EXPECT_EQ(clip->getState(), STATE_RECORD_QUEUED);
    heard.log.clear();
    clip->bar();
    EXPECT_FALSE(clip->isPlaying());
    EXPECT_FALSE(clip->isRecording());
    clip->bar();
    EXPECT_TRUE(clip->isRecording());
  }
  EXPECT_EQ(heard.only(Heard::STATE), (std::vector<Heard>{stateOf(0, 0, 6), stateOf(0, 0, 5)}));
}

// Recorded from one bar line to the third after it, then played: 12 beats, a length of
// 12 frames-per-beat, and playback that starts on the bar line with frame 0.
TEST_F(ClipTest, ThreeBarsRecordedThenPlayedSampleExact)
{
  fpb = 300.7; // lengthFrames is truncated
  auto clip = makeClip();
  const int barFrames = 1203; // four beats of 300.7, as the time manager lays them
  rtcheck::ProcessScope rt;
  clip->queueRecord();
  clip->bar();
  int64_t frame = 0;
  for (int bar = 0; bar < 3; bar++) {
    for (int done = 0; done < barFrames; done += 401) {
      recordMarked(*clip, frame, 401);
      frame += 401;
    }
    if (bar == 2)
      clip->queuePlay();
    clip->bar();
  }
  EXPECT_EQ(clip->getBeats(), 12);
  EXPECT_EQ(clip->getLengthFrames(), (int64_t)(12 * 300.7));
  EXPECT_EQ(clip->getRecordedLength(), 3 * barFrames);
  ASSERT_EQ(clip->getState(), STATE_PLAYING);
  for (int64_t i = 0; i < 2 * 3 * barFrames; i++) {
    float l, r;
    clip->nextSample(1.0L, l, r);
    const int64_t want = i % (3 * barFrames);
    ASSERT_EQ(l, markL(want)) << "frame " << i;
    ASSERT_EQ(r, markR(want)) << "frame " << i;
  }
}

TEST_F(ClipTest, PlaybackRestartsEveryBarForShortClipsAndEveryFourBeatsOtherwise)
{
  auto clip = makeClip();
  rtcheck::ProcessScope rt;
  reach(*clip, STATE_PLAYING); // 16 frames, 4 beats
  float l, r;
  for (int i = 0; i < 5; i++)
    clip->nextSample(1.0L, l, r);
  clip->setBeats(2);
  clip->bar();
  EXPECT_EQ(clip->getProgress(), 0.f) << "a clip of fewer than four beats restarts at every bar";

  clip->setBeats(8);
  for (int i = 0; i < 5; i++)
    clip->nextSample(1.0L, l, r);
  clip->bar();
  EXPECT_GT(clip->getProgress(), 0.f) << "an eight-beat clip runs on through its first bar";
  clip->bar();
  EXPECT_EQ(clip->getProgress(), 0.f);
}

TEST_F(ClipTest, SetPlayheadOnlyMovesAPlayingClip)
{
  auto clip = makeClip(5, 6);
  {
    rtcheck::ProcessScope rt;
    reach(*clip, STATE_STOPPED);
    heard.log.clear();
    clip->setPlayhead(0);
    EXPECT_TRUE(heard.log.empty());
    clip->queuePlay();
    clip->bar();
    heard.log.clear();
    clip->setPlayhead(4);
  }
  EXPECT_EQ(heard.log, std::vector<Heard>{progressOf(5, 6, 4.f / 16)});
  EXPECT_FLOAT_EQ(clip->getProgress(), 4.f / 16);
}

// The last half frame before the end of a full buffer rounds up to the loop's first frame,
// not to a frame past the channel.
TEST_F(ClipTest, PlaybackNeverReadsPastTheChannel)
{
  auto clip = makeClip();
  auto* ab = new AudioBuffer(10);
  for (int i = 0; i < 10; i++)
    ab->getLeft()[i] = ab->getRight()[i] = i + 1.f;
  rtcheck::ProcessScope rt;
  clip->loadBuffer(ab);
  clip->queuePlay();
  clip->bar();
  clip->setPlayhead(9.6f);
  float l, r;
  clip->nextSample(1.5L, l, r);
  EXPECT_EQ(l, 1.f);
  clip->nextSample(1.5L, l, r); // 11.1: past the end, so the loop starts again
  EXPECT_EQ(l, 1.f);
  clip->nextSample(1.5L, l, r); // 1.5 rounds to frame 2
  EXPECT_EQ(r, 3.f);
}

TEST_F(ClipTest, LoadingStopsTheClipAndHandsTheOldBufferBack)
{
  auto clip = makeClip(2, 7);
  GuiSide gui;
  auto* loaded = new AudioBuffer(500);
  const AudioBuffer* old = clip->buffer();
  {
    rtcheck::ProcessScope rt;
    reach(*clip, STATE_PLAYING);
    heard.log.clear();
    clip->loadBuffer(loaded);
  }
  EXPECT_EQ(clip->getState(), STATE_STOPPED);
  EXPECT_EQ(clip->getRecordedLength(), 500);
  EXPECT_EQ(clip->getProgress(), 0.f);
  EXPECT_EQ(heard.log, std::vector<Heard>{progressOf(2, 7, 0.f)});
  gui.drain();
  EXPECT_EQ(gui.freed, std::vector<const AudioBuffer*>{old});
  EXPECT_EQ(clip->buffer(), loaded);
}

TEST_F(ClipTest, AFullBufferDropsTheRestAndSaysSoOncePerCall)
{
  fpb = 24000;
  auto clip = makeClip(4, 1);
  GuiSide gui;
  {
    rtcheck::ProcessScope rt;
    clip->queueRecord();
    clip->bar();
    for (int i = 0; i < 17; i++)
      recordMarked(*clip, i * 256, 256); // 4352 frames
    recordMarked(*clip, 17 * 256, 256);  // only 58 fit
  }
  EXPECT_EQ(clip->getRecordedLength(), 4410);
  EXPECT_EQ(clip->recordSpaceLeft(), 0u);
  gui.drain();
  EXPECT_EQ(gui.prints, std::vector<std::string>{"LooperClip t 4, s 1, Error: out of mem!"});
}

// Past 2^24 frames a float frame counter stops counting; the clip keeps every frame. The
// buffer grows several times on the way, each move of what was recorded taking bounded
// slices, and every frame read back is the frame recorded.
TEST_F(ClipTest, RecordingLongerThanTwoToThe24FramesIsKeptWhole)
{
  fpb = 24000;
  auto clip = makeClip();
  GuiSide gui;
  const int64_t total = (1 << 24) + 12345;
  {
    rtcheck::ProcessScope rt;
    clip->queueRecord();
    clip->bar();
  }
  recordWithGrowth(*clip, gui, 0, total, 1024);
  EXPECT_EQ(clip->getRecordedLength(), total);
  EXPECT_TRUE(gui.prints.empty()) << "no frame dropped: " << gui.prints.front();
  EXPECT_GT(gui.recordRequests.size(), 10u);
  // Stop at a bar line and play it back while the last move may still be under way.
  {
    rtcheck::ProcessScope rt;
    clip->queuePlay();
    clip->bar();
  }
  int64_t wrong = 0;
  for (int64_t i = 0; i < total; i += 1024) {
    rtcheck::ProcessScope rt;
    for (int64_t j = i; j < std::min(total, i + 1024); j++) {
      float l, r;
      clip->nextSample(1.0L, l, r);
      wrong += (l != markL(j) || r != markR(j));
    }
    clip->continueBufferMove(1024);
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_FALSE(clip->movingBuffer());
  // Every replaced buffer went back to the interface.
  gui.drain();
  EXPECT_EQ(gui.freed.size(), gui.recordRequests.size() - gui.answers.size());
}

// A new take while the previous one is still being moved into a larger buffer starts
// cleanly from frame 0; the move is dropped and its old buffer handed back.
TEST_F(ClipTest, ANewTakeDuringABufferMoveStartsCleanly)
{
  fpb = 24000;
  auto clip = makeClip();
  GuiSide gui;
  {
    rtcheck::ProcessScope rt;
    clip->queueRecord();
    clip->bar();
  }
  recordUntilMoving(*clip, gui, 400000, 64);
  {
    rtcheck::ProcessScope rt;
    clip->queueRecord();
    clip->bar();
  }
  EXPECT_FALSE(clip->movingBuffer());
  recordWithGrowth(*clip, gui, 1000000, 3000, 64);
  {
    rtcheck::ProcessScope rt;
    clip->queuePlay();
    clip->bar();
    for (int64_t i = 0; i < 3000; i++) {
      float l, r;
      clip->nextSample(1.0L, l, r);
      ASSERT_EQ(l, markL(1000000 + i));
      ASSERT_EQ(r, markR(1000000 + i));
    }
  }
}

// Answers to requests that no longer stand, and buffers no larger than the current one,
// go back to the interface instead of being adopted or leaked.
TEST_F(ClipTest, UnwantedRecordBuffersGoBack)
{
  auto clip = makeClip();
  GuiSide gui;
  auto* unasked = new AudioBuffer(100000);
  auto* small = new AudioBuffer(1000);
  const AudioBuffer* original = clip->buffer();
  {
    rtcheck::ProcessScope rt;
    clip->receiveRecordBuffer(unasked);
    clip->setBufferRequested(true);
    clip->receiveRecordBuffer(small);
    EXPECT_FALSE(clip->bufferRequested()) << "the looper may ask again";
  }
  EXPECT_EQ(clip->buffer(), original);
  gui.drain();
  EXPECT_EQ(gui.freed, (std::vector<const AudioBuffer*>{unasked, small}));
}

// ---- saving one clip ----

class ClipSaveTest : public ClipTest
{
protected:
  // A stopped clip holding `frames` frames of the marked signal, 4 beats long.
  std::unique_ptr<LooperClip> clipWith(int64_t frames, int track = 6, int scene = 3)
  {
    fpb = frames / 4.0;
    auto clip = makeClip(track, scene);
    {
      rtcheck::ProcessScope rt;
      clip->queueRecord();
      clip->bar();
    }
    recordWithGrowth(*clip, gui, 0, frames, 256);
    {
      rtcheck::ProcessScope rt;
      clip->queueStop();
      clip->bar();
    }
    for (int i = 0; i < 100000 && clip->movingBuffer(); i++) {
      rtcheck::ProcessScope rt;
      clip->continueBufferMove(256);
    }
    gui.clear();
    gui.answerThroughQueue = false;
    return clip;
  }

  void expectMarked(const GuiSide::Saved& s, int64_t frames)
  {
    ASSERT_EQ((int64_t)s.left.size(), frames);
    int64_t wrong = 0;
    for (int64_t i = 0; i < frames; i++)
      wrong += s.left[i] != markL(i) || s.right[i] != markR(i);
    EXPECT_EQ(wrong, 0);
  }

  GuiSide gui;
};

TEST_F(ClipSaveTest, ACopyIsSpreadOverPeriodsAndCarriesTheClipsFacts)
{
  auto clip = clipWith(100000);
  {
    rtcheck::ProcessScope rt;
    jack->getStateManager()->save();
  }
  gui.drain();
  ASSERT_EQ(gui.saveRequests, std::vector<uint64_t>{100000});
  EXPECT_TRUE(gui.printed("LC::save() track 6, scene 3"));
  AudioBuffer* sb = gui.take(EVENT_REQUEST_SAVE_BUFFER);
  int periods = 0;
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(sb);
    while (clip->saveUnderWay()) {
      EXPECT_LE(clip->continueSave(4096), 4096);
      periods++;
    }
  }
  EXPECT_EQ(periods, (100000 + 4095) / 4096);
  gui.drain();
  EXPECT_EQ(gui.finishes, 1) << "the clip's answer completed the save";
  EXPECT_EQ(gui.types.back(), EVENT_STATE_SAVE_FINISH);
  ASSERT_EQ(gui.saved.size(), 1u);
  const GuiSide::Saved& s = gui.saved[0];
  EXPECT_EQ(s.track, 6);
  EXPECT_EQ(s.scene, 3);
  EXPECT_EQ(s.id, clip->buffer()->getID());
  EXPECT_EQ(s.beats, 4);
  EXPECT_EQ(s.lengthFrames, 100000);
  EXPECT_FALSE(s.keepBuffer);
  expectMarked(s, 100000);
  EXPECT_EQ(clip->getState(), STATE_STOPPED) << "the clip itself is untouched";
}

// A clip that starts a new take while its copy is under way still saves what it held
// when the save began: the take never overwrites a frame the copy has not taken.
TEST_F(ClipSaveTest, ANewTakeDuringTheCopyDoesNotReachTheSavedAudio)
{
  auto clip = clipWith(50000);
  {
    rtcheck::ProcessScope rt;
    clip->save();
  }
  gui.drain();
  AudioBuffer* sb = gui.take(EVENT_REQUEST_SAVE_BUFFER);
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(sb);
    clip->continueSave(1000);
    clip->queueRecord();
    clip->bar();
  }
  // A loud new take, recorded while the copy crawls along a few frames a period.
  for (int p = 0; p < 400 && clip->saveUnderWay(); p++) {
    rtcheck::ProcessScope rt;
    for (int i = 0; i < 256; i++)
      inL[i] = inR[i] = -1.f;
    clip->record(256, inL, inR);
    clip->continueSave(10);
  }
  EXPECT_FALSE(clip->saveUnderWay());
  gui.drain();
  ASSERT_EQ(gui.saved.size(), 1u);
  expectMarked(gui.saved[0], 50000);
}

// Loading a sample into a clip whose copy is under way: the save still writes the old
// audio, and the old buffer goes back only once the copy has done with it.
TEST_F(ClipSaveTest, LoadingDuringTheCopyKeepsTheOldBufferUntilItIsCopied)
{
  auto clip = clipWith(50000);
  const AudioBuffer* old = clip->buffer();
  auto* loaded = new AudioBuffer(10);
  {
    rtcheck::ProcessScope rt;
    clip->save();
  }
  gui.drain();
  AudioBuffer* sb = gui.take(EVENT_REQUEST_SAVE_BUFFER);
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(sb);
    clip->continueSave(1000);
    clip->loadBuffer(loaded);
  }
  gui.drain();
  EXPECT_FALSE(gui.wasFreed(old));
  {
    rtcheck::ProcessScope rt;
    while (clip->saveUnderWay())
      clip->continueSave(1000);
  }
  gui.drain();
  EXPECT_TRUE(gui.wasFreed(old));
  ASSERT_EQ(gui.saved.size(), 1u);
  expectMarked(gui.saved[0], 50000);
}

// A save that begins while the clip is moving into a larger buffer reads each frame
// from wherever it is.
TEST_F(ClipSaveTest, ASaveDuringABufferMoveReadsEveryFrame)
{
  fpb = 24000;
  auto clip = makeClip(1, 1);
  {
    rtcheck::ProcessScope rt;
    clip->queueRecord();
    clip->bar();
  }
  recordUntilMoving(*clip, gui, 400000, 64);
  {
    rtcheck::ProcessScope rt;
    clip->setBeats(0);
    clip->queueStop();
    clip->bar(); // 4 beats of 24000 frames are all the save writes
  }
  ASSERT_TRUE(clip->movingBuffer());
  gui.clear();
  gui.answerThroughQueue = false;
  {
    rtcheck::ProcessScope rt;
    clip->save();
  }
  gui.drain();
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(gui.take(EVENT_REQUEST_SAVE_BUFFER));
    while (clip->saveUnderWay()) {
      clip->continueSave(5000);
      clip->continueBufferMove(64); // the move goes on beside the copy
    }
  }
  gui.drain();
  ASSERT_EQ(gui.saved.size(), 1u);
  expectMarked(gui.saved[0], 96000);
}

TEST_F(ClipSaveTest, ATooSmallSaveBufferIsRefusedAndHandedBack)
{
  auto clip = clipWith(20000, 2, 5);
  gui.saveBufferShortBy = 1;
  {
    rtcheck::ProcessScope rt;
    jack->getStateManager()->save();
  }
  gui.drain();
  AudioBuffer* sb = gui.take(EVENT_REQUEST_SAVE_BUFFER);
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(sb);
  }
  EXPECT_FALSE(clip->saveUnderWay());
  gui.drain();
  EXPECT_TRUE(gui.printed("LC:: 2, 5: can't save, buf too small"));
  EXPECT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.prints.back(), "Saved with 1 clips !saved due to errors");
  EXPECT_TRUE(gui.wasFreed(sb));
  EXPECT_TRUE(gui.saved.empty());
}

// A new take that begins before the save buffer has even arrived would overwrite the
// audio to be saved: that clip's save fails, openly, and its buffer goes back unused.
TEST_F(ClipSaveTest, ATakeBeforeTheSaveBufferArrivesFailsThatSave)
{
  auto clip = clipWith(20000, 3, 3);
  {
    rtcheck::ProcessScope rt;
    jack->getStateManager()->save();
    clip->queueRecord();
    clip->bar();
    recordMarked(*clip, 0, 256);
  }
  gui.drain();
  EXPECT_TRUE(gui.printed("LC:: 3, 3: re-recorded before saved"));
  EXPECT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.prints.back(), "Saved with 1 clips !saved due to errors");
  AudioBuffer* sb = gui.take(EVENT_REQUEST_SAVE_BUFFER);
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(sb);
  }
  gui.drain();
  EXPECT_TRUE(gui.wasFreed(sb));
  EXPECT_TRUE(gui.saved.empty());
}

TEST_F(ClipSaveTest, EmptyAndRecordingClipsCountAsSavedAtOnce)
{
  auto empty = makeClip(0, 0);
  auto recording = makeClip(0, 1);
  auto queued = makeClip(0, 2);
  {
    rtcheck::ProcessScope rt;
    reach(*recording, STATE_RECORDING);
    reach(*queued, STATE_PLAYING);
    queued->queueRecord();
    jack->getStateManager()->save();
  }
  gui.drain();
  EXPECT_TRUE(gui.saveRequests.empty());
  EXPECT_EQ(gui.finishes, 1) << "every clip answered at once";
  EXPECT_TRUE(gui.saved.empty());
}

TEST_F(ClipTest, ResetEmptiesAClipWithAudioAndSaysSo)
{
  auto clip = makeClip(7, 9);
  auto empty = makeClip(7, 8);
  GuiSide gui;
  {
    rtcheck::ProcessScope rt;
    reach(*clip, STATE_PLAYING);
    heard.log.clear();
    clip->reset();
    empty->reset();
  }
  EXPECT_EQ(clip->getState(), STATE_EMPTY);
  EXPECT_EQ(clip->getRecordedLength(), 0);
  EXPECT_EQ(heard.log, std::vector<Heard>{progressOf(7, 9, 0.f)});
  gui.drain();
  EXPECT_EQ(gui.prints, std::vector<std::string>{"LC::reset() track 7, scene 9"});
}

// A second save while the first is still waiting for its buffers would share its counts
// and could finish it early: it is refused, and the first completes untouched.
TEST_F(ClipSaveTest, ASecondSaveBeforeTheFirstIsDoneIsRefused)
{
  auto clip = clipWith(30000, 4, 4);
  StateManager* sm = jack->getStateManager();
  {
    rtcheck::ProcessScope rt;
    sm->save();
    sm->save();
  }
  gui.drain();
  EXPECT_EQ(gui.saveRequests.size(), 1u);
  EXPECT_TRUE(gui.printed("Save refused: the last save is not done yet"));
  {
    rtcheck::ProcessScope rt;
    clip->receiveSaveBuffer(gui.take(EVENT_REQUEST_SAVE_BUFFER));
    for (int i = 0; i < 100 && sm->saving(); i++)
      sm->process(64);
  }
  gui.drain();
  EXPECT_EQ(gui.finishes, 1);
  ASSERT_EQ(gui.saved.size(), 1u);
  expectMarked(gui.saved[0], 30000);
  EXPECT_EQ(Stately::getSaveSuccess(), 0);
  EXPECT_EQ(Stately::getSaveErrors(), 0);

  // Once done, the next save goes ahead.
  {
    rtcheck::ProcessScope rt;
    sm->save();
  }
  gui.drain();
  EXPECT_EQ(gui.saveRequests.size(), 2u);
}
