// The looper inside the running engine: recording to the bar, playback fitted to the
// tempo, buffer requests, progress, and the master input gain.

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "controllerupdater.hxx"
#include "engine_fixture.hxx"
#include "gridstate.hxx"
#include "guiside.hxx"
#include "listener.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "timemanager.hxx"

namespace
{
template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }

// The engine with the per-track direct outputs, which carry a track's looper output times
// its fader (0.8) and nothing else: playback can be read there frame by frame.
class LooperTest : public EngineTest
{
protected:
  void SetUp() override
  {
    Jack::setPerTrackOutputs(true);
    EngineTest::SetUp();
    jack->getControllerUpdater()->registerController(&heard);
    discardGui();
  }
  void TearDown() override
  {
    EngineTest::TearDown();
    Jack::setPerTrackOutputs(false);
  }

  LooperClip* clip(int t, int s) { return jack->getLooper(t)->getClip(s); }

  // One period with the input telling each frame's number (left) and its negative (right);
  // the interface's part is played between periods.
  void cycle()
  {
    float* l = fakejack::audio("master_in_left");
    float* r = fakejack::audio("master_in_right");
    for (int i = 0; i < period(); i++) {
      l[i] = (float)(frame + i);
      r[i] = -(float)(frame + i);
    }
    fakejack::cycle();
    frame += period();
    gui.drain();
  }
  void cyclesUntil(int64_t f)
  {
    while (frame < f)
      cycle();
  }

  // The recorded frame numbers heard on a track's direct output in the last period.
  std::vector<double> heardFrames(int track)
  {
    char name[16];
    snprintf(name, sizeof(name), "track_%d_l", track + 1);
    const float* out = fakejack::audio(name);
    std::vector<double> f(period());
    for (int i = 0; i < period(); i++)
      f[i] = out[i] / 0.8;
    return f;
  }

  int64_t frame = 0;
  Listener heard;
  GuiSide gui;
};
} // namespace

// At 48 kHz and 120 BPM a bar is 96000 frames and falls on the first frame of a 256-frame
// period. The take starts at the first bar line, the second press comes during its third
// bar, and from the third bar line on the track plays frame 0, 1, 2 ... of the take.
TEST_F(LooperTest, ThreeBarsRecordedThenPlayedFromTheBarLine)
{
  send(EventGridEvent(0, 0, true));
  cycle(); // the first bar line is this period's first frame
  ASSERT_TRUE(clip(0, 0)->isRecording());
  cyclesUntil(256000);
  send(EventGridEvent(0, 0, true));
  cyclesUntil(288000);
  EXPECT_EQ(clip(0, 0)->getState(), STATE_PLAY_QUEUED);
  cycle();
  ASSERT_EQ(clip(0, 0)->getState(), STATE_PLAYING);
  EXPECT_EQ(clip(0, 0)->getBeats(), 12);
  EXPECT_EQ(clip(0, 0)->getLengthFrames(), 12 * 24000);
  EXPECT_EQ(clip(0, 0)->getRecordedLength(), 288000) << "no frame lost while the buffer grew";
  for (const std::string& p : gui.prints)
    EXPECT_EQ(p.find("out of mem"), std::string::npos) << p;
  for (int64_t start = 288000; start < 288000 + 2 * 288000; start += 256) {
    std::vector<double> f = heardFrames(0);
    for (int i = 0; i < 256; i++)
      ASSERT_NEAR(f[i], (double)((start + i - 288000) % 288000), 0.05) << "output frame " << start + i;
    cycle();
  }
}

// A 16-beat loop made at 120 BPM, played on at 140 BPM: 16 beats now take 16 x 20571
// frames, and the loop runs faster by 384000 / 329142.
TEST_F(LooperTest, ALoopRecordedAt120PlaysFasterAt140)
{
  send(EventGridEvent(0, 0, true));
  cycle();
  cyclesUntil(4 * 96000 - 20000);
  send(EventGridEvent(0, 0, true));
  cyclesUntil(4 * 96000 + 256);
  ASSERT_TRUE(clip(0, 0)->isPlaying());
  EXPECT_EQ(clip(0, 0)->getBeats(), 16);
  std::vector<double> f = heardFrames(0);
  for (int i = 1; i < 256; i++)
    ASSERT_EQ(std::lround(f[i]) - std::lround(f[i - 1]), 1) << "speed 1 at the tempo it was made at";

  send(EventTimeBPM(140));
  cyclesUntil(5 * 96000 + 2560); // the change waits for the next bar line
  const double fpb = 48000 * 60.0 / 140;
  EXPECT_NEAR(jack->getTimeManager()->getFpb(), fpb, 1e-6);
  EXPECT_NEAR(jack->getLooper(0)->getFpb(), fpb, 1e-6);
  const long double speed = (long double)(16 * 24000) / (int64_t)(16 * fpb);
  f = heardFrames(0);
  const double covered = std::lround(f[255]) - std::lround(f[0]);
  EXPECT_NEAR(covered / 255, (double)speed, 1.0 / 255);
  for (int i = 1; i < 256; i++) {
    long step = std::lround(f[i]) - std::lround(f[i - 1]);
    ASSERT_TRUE(step == 1 || step == 2) << step;
  }
}

// The master input gain applies once: two tracks recording at the same time both get
// input x gain, and so does the monitored input on the master output.
TEST_F(LooperTest, TheInputGainAppliesOnceForRecordingAndMonitoring)
{
  send(EventMasterInputVol(0.25f)); // gain 0.5
  send(EventMasterInputTo(1, 1.f));
  send(EventMasterInputToActive(1, true));
  for (int i = 0; i < 450; i++) { // the take starts at the bar line of period 375
    std::fill(fakejack::audio("master_in_left"), fakejack::audio("master_in_left") + 256, 0.4f);
    std::fill(fakejack::audio("master_in_right"), fakejack::audio("master_in_right") + 256, 0.4f);
    if (i == 150) {
      send(EventGridEvent(0, 0, true));
      send(EventGridEvent(1, 0, true));
    }
    fakejack::cycle();
    gui.drain();
  }
  ASSERT_TRUE(clip(0, 0)->isRecording());
  ASSERT_TRUE(clip(1, 0)->isRecording());
  for (int t = 0; t < 2; t++) {
    const AudioBuffer* ab = clip(t, 0)->buffer();
    ASSERT_GT(clip(t, 0)->getRecordedLength(), 1000);
    EXPECT_NEAR(ab->getLeft()[500], 0.2f, 1e-4) << "track " << t;
    EXPECT_NEAR(ab->getRight()[500], 0.2f, 1e-4) << "track " << t;
  }
  EXPECT_NEAR(fakejack::audio("master_left")[255], 0.75f * 0.2f, 1e-4);
}

// A queued take on the 4410-frame first buffer asks for 44100 frames more in its first
// period, and asks only once while that request is outstanding. Answered, requests go on,
// one at a time, until ten seconds of room lie ahead; then one comes whenever the room
// left falls below ten seconds. Steps are 44100 frames, or an eighth of the buffer once
// that is more.
TEST_F(LooperTest, BufferRequestsComeInTimeAndOneAtATime)
{
  gui.answerRecordRequests = false;
  cycle(); // past the first bar line
  send(EventGridEvent(2, 3, true));
  cyclesUntil(96000 + 20 * 256); // into the take, the request still unanswered
  ASSERT_TRUE(clip(2, 3)->isRecording());
  EXPECT_EQ(gui.recordRequests, std::vector<uint64_t>{4410 + 44100}) << "asked before the take started";
  EXPECT_EQ(clip(2, 3)->getRecordedLength(), 4410) << "full: the rest waits for a buffer";

  gui.clear(); // answering again; clip (2, 3) still waits for its own answer
  send(EventGridEvent(5, 3, true));
  cyclesUntil(2 * 96000);
  std::vector<uint64_t> steps = {48510,  92610,  136710, 180810, 224910, 269010,
                                 313110, 357210, 401861, 452093, 508604, 572179};
  EXPECT_EQ(gui.recordRequests, steps);
  // Ten seconds (480000 frames) and one growth step (572179 / 8) are ahead of the take.
  EXPECT_EQ(clip(5, 3)->getBufferLength(), 572179);
  cyclesUntil(2 * 96000 + 20736);
  EXPECT_EQ(gui.recordRequests.size(), steps.size());
  cyclesUntil(2 * 96000 + 20736 + 256);
  steps.push_back(572179 + 572179 / 8);
  EXPECT_EQ(gui.recordRequests, steps);
}

// At 44.1 kHz with 256-frame periods a playing clip's progress is announced in the second
// period and then every sixth; a track that plays nothing announces nothing.
class LooperProgressTest : public LooperTest
{
protected:
  int samplerate() const override { return 44100; }
};

TEST_F(LooperProgressTest, ProgressIsAnnouncedAboutThirtyTimesASecond)
{
  auto* ab = new AudioBuffer(44100 * 8);
  ab->setBeats(16);
  ab->setLengthFrames(44100 * 8);
  send(EventLooperLoad(4, 1, ab));
  send(EventGridEvent(4, 1, true));
  std::vector<int> announcedIn;
  for (int c = 0; c < 20; c++) {
    heard.log.clear();
    cycle();
    for (const Heard& h : heard.only(Heard::PROGRESS))
      if (h.a == 4 && h.b == 1 && h.f > 0)
        announcedIn.push_back(c);
    for (const Heard& h : heard.only(Heard::PROGRESS))
      EXPECT_EQ(h.a, 4) << "only the playing track reports progress";
  }
  EXPECT_EQ(announcedIn, (std::vector<int>{1, 7, 13, 19}));
}

TEST_F(LooperTest, ATransportRestartStartsPlayingClipsAgain)
{
  auto* ab = new AudioBuffer(96000);
  ab->setBeats(4);
  ab->setLengthFrames(96000);
  send(EventLooperLoad(6, 0, ab));
  send(EventGridEvent(6, 0, true));
  cyclesUntil(10000);
  ASSERT_GT(clip(6, 0)->getProgress(), 0.f);
  send(EventTransportState(0));
  send(EventTransportState(1));
  heard.log.clear();
  fakejack::cycle();
  EXPECT_EQ(heard.only(Heard::PROGRESS).front(), progressOf(6, 0, 0.f));
  EXPECT_LT(clip(6, 0)->getProgress(), 256.f / 96000 + 1e-6);
}

// Without a beat count (a sample whose beats were never given) a clip plays at speed 1.
TEST_F(LooperTest, AClipWithoutBeatsPlaysAtSpeedOne)
{
  auto* ab = new AudioBuffer(50000);
  for (int i = 0; i < 50000; i++)
    ab->getLeft()[i] = (float)i;
  ab->setLengthFrames(50000);
  send(EventLooperLoad(3, 0, ab));
  send(EventGridEvent(3, 0, true));
  cyclesUntil(2560);
  std::vector<double> f = heardFrames(3);
  EXPECT_NEAR(f[0], 2304, 0.05);
  for (int i = 1; i < 256; i++)
    ASSERT_NEAR(f[i] - f[i - 1], 1.0, 0.1);
}
