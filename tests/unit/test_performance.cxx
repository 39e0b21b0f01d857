// A whole performance through the engine's queue, period by period, with the test in the
// interface's seat: record (the buffer growing on the way), play, stop, launch scenes,
// change tempo, switch the metronome, move the mixer, save and reset. The fixture checks
// that nothing was allocated, freed or locked on the JACK thread all along.

#include <cmath>

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "gridstate.hxx"
#include "guiside.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "timemanager.hxx"

namespace
{
template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }

class PerformanceTest : public EngineTest
{
protected:
  void cycle()
  {
    float* l = fakejack::audio("master_in_left");
    float* r = fakejack::audio("master_in_right");
    for (int i = 0; i < period(); i++) {
      l[i] = 0.5f * std::sin(0.01f * (float)(frame + i));
      r[i] = -l[i];
    }
    fakejack::cycle();
    frame += period();
    gui.drain();
  }
  void bars(double n)
  {
    const int64_t until = frame + (int64_t)(n * 4 * jack->getTimeManager()->getFpb());
    while (frame < until)
      cycle();
  }
  LooperClip* clip(int t, int s) { return jack->getLooper(t)->getClip(s); }

  int64_t frame = 0;
  GuiSide gui;
};
} // namespace

TEST_F(PerformanceTest, AScriptedSetReadsNoAllocationOnTheJackThread)
{
  send(EventMetronomeActive(true));
  send(EventGridEvent(0, 0, true)); // record track 0 for a long take: the buffer grows
  bars(0.5);
  bars(8);
  send(EventGridEvent(0, 0, true)); // ... and play it
  bars(1);
  ASSERT_TRUE(clip(0, 0)->isPlaying());
  EXPECT_GT(gui.recordRequests.size(), 3u);

  send(EventGridEvent(1, 0, true)); // a second track records a bar over it
  bars(1);
  send(EventGridEvent(1, 0, false));
  send(EventGridEvent(1, 0, true));
  bars(1.5);
  EXPECT_TRUE(clip(1, 0)->isPlaying());

  auto* sample = new AudioBuffer(96000);
  sample->setBeats(4);
  sample->setLengthFrames(96000);
  send(EventLooperLoad(2, 1, sample));
  send(EventGridLaunchScene(1)); // scene 1: track 2 plays, scene 0 stops
  bars(1);
  EXPECT_TRUE(clip(2, 1)->isPlaying());
  EXPECT_FALSE(clip(0, 0)->isPlaying());

  send(EventTimeBPM(150));
  send(EventTrackVol(2, 0.5f));
  send(EventTrackPan(2, -0.3f));
  send(EventTrackSend(2, 0, 0.4f));
  send(EventTrackSendActive(2, 0, true));
  send(EventTrackJackSendActivate(3, true));
  send(EventMasterInputVol(0.7f));
  send(EventGridLaunchScene(0));
  bars(2);
  EXPECT_NEAR(jack->getTimeManager()->getFpb(), 48000 * 60.0 / 150, 1e-6);
  EXPECT_TRUE(clip(0, 0)->isPlaying());

  send(EventGridSelectClipEnable(true));
  send(EventGridEvent(4, 4, true));
  send(EventGridSelectClipEnable(false));
  send(EventGridSelectClipEvent(true)); // records the special clip (4, 4)
  bars(1.2);
  EXPECT_TRUE(clip(4, 4)->isRecording());

  send(EventStateSave()); // (4, 4) records, so three clips are written
  bars(1);
  EXPECT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.saved.size(), 3u);

  send(EventStateReset());
  bars(0.5);
  for (int t = 0; t < NTRACKS; t++)
    for (int s = 0; s < NSCENES; s++)
      ASSERT_EQ(clip(t, s)->getState(), STATE_EMPTY);
  for (const std::string& p : gui.prints)
    EXPECT_EQ(p.find("out of mem"), std::string::npos) << p;
}
