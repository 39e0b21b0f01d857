// The grid: presses by state, one clip per track, record arm, select mode, scene launch,
// and refusing numbers outside the grid. Everything through the engine's own objects.

#include <gtest/gtest.h>

#include "controllerupdater.hxx"
#include "engine_fixture.hxx"
#include "gridlogic.hxx"
#include "guiside.hxx"
#include "listener.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "statemanager.hxx"
#include "trackoutput.hxx"

namespace
{
class GridTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    jack->getControllerUpdater()->registerController(&heard);
    grid = jack->getGridLogic();
    discardGui();
  }

  LooperClip* clip(int t, int s) { return jack->getLooper(t)->getClip(s); }

  // Puts audio into a clip, stopped (as a loaded sample leaves it).
  void fill(int t, int s, int frames = 1000)
  {
    auto* ab = new AudioBuffer(frames);
    ab->setBeats(4);
    ab->setLengthFrames(frames);
    rtcheck::ProcessScope rt;
    grid->loadClip(t, s, ab);
  }

  // A bar line, as the time manager gives it.
  void barLine()
  {
    rtcheck::ProcessScope rt;
    grid->bar();
  }

  void press(int t, int s)
  {
    rtcheck::ProcessScope rt;
    heard.log.clear();
    grid->pressed(t, s);
  }

  GridLogic* grid = nullptr;
  Listener heard;
  GuiSide gui;
};
} // namespace

// The press on each state, the request it makes, and the state shown at once.
TEST_F(GridTest, APressActsOnTheClipsState)
{
  struct Case {
    const char* what;
    int before, after;
  };
  // Each case on its own track, so the others' clips stay out of the way.
  fill(1, 0);                 // stopped
  fill(2, 0);                 // playing
  fill(3, 0);                 // stop queued, still playing
  fill(4, 0);                 // play queued
  {
    rtcheck::ProcessScope rt;
    clip(2, 0)->queuePlay();
    clip(3, 0)->queuePlay();
    clip(6, 0)->queueRecord();
    grid->bar(); // 2 and 3 play, 6 records
    clip(3, 0)->queueStop();
    clip(4, 0)->queuePlay();
    clip(5, 0)->queueRecord(); // record queued, empty
  }
  const Case cases[] = {
    {"empty records", STATE_EMPTY, STATE_RECORD_QUEUED},    // track 0
    {"stopped plays", STATE_STOPPED, STATE_PLAY_QUEUED},    // track 1
    {"playing stops", STATE_PLAYING, STATE_STOP_QUEUED},    // track 2
    {"stop queued keeps playing", STATE_STOP_QUEUED, STATE_PLAYING},
    {"play queued stops", STATE_PLAY_QUEUED, STATE_STOP_QUEUED},
    {"record queued is cancelled", STATE_RECORD_QUEUED, STATE_EMPTY},
    {"recording ends and plays", STATE_RECORDING, STATE_PLAY_QUEUED},
  };
  for (int t = 0; t < 7; t++) {
    SCOPED_TRACE(cases[t].what);
    ASSERT_EQ(clip(t, 0)->getState(), cases[t].before);
    press(t, 0);
    EXPECT_EQ(clip(t, 0)->getState(), cases[t].after);
    // The pressed clip is announced last, after the nine others of its track.
    ASSERT_EQ(heard.log.size(), 10u);
    EXPECT_EQ(heard.log.back(), stateOf(t, 0, cases[t].after));
    for (int s = 1; s < NSCENES; s++)
      EXPECT_EQ(heard.log[s - 1], stateOf(t, s, STATE_EMPTY));
  }
}

TEST_F(GridTest, PressingAnEmptyClipStopsTheTracksPlayingClipAtTheBar)
{
  fill(2, 3);
  {
    rtcheck::ProcessScope rt;
    clip(2, 3)->queuePlay();
    grid->bar();
  }
  press(2, 0);
  EXPECT_EQ(clip(2, 0)->getState(), STATE_RECORD_QUEUED);
  EXPECT_EQ(clip(2, 3)->getState(), STATE_STOP_QUEUED);
  EXPECT_EQ(heard.log[2], stateOf(2, 3, STATE_STOP_QUEUED));
  barLine();
  EXPECT_EQ(clip(2, 0)->getState(), STATE_RECORDING);
  EXPECT_EQ(clip(2, 3)->getState(), STATE_STOPPED);
  // Another track is left alone.
  EXPECT_EQ(clip(3, 3)->getState(), STATE_EMPTY);
}

TEST_F(GridTest, PressingAStopQueuedClipThatStillPlaysCancelsTheStopAtOnce)
{
  fill(0, 4);
  {
    rtcheck::ProcessScope rt;
    clip(0, 4)->queuePlay();
    grid->bar();
    clip(0, 4)->queueStop();
  }
  press(0, 4);
  EXPECT_EQ(clip(0, 4)->getState(), STATE_PLAYING);
  EXPECT_EQ(heard.log.back(), stateOf(0, 4, STATE_PLAYING));
}

TEST_F(GridTest, ARecordArmedTrackRecordsOnPressAndDisarms)
{
  fill(5, 2);
  jack->getTrackOutput(5)->recordArm(true);
  press(5, 2);
  EXPECT_EQ(clip(5, 2)->getState(), STATE_RECORD_QUEUED) << "a stopped clip records instead of playing";
  EXPECT_FALSE(jack->getTrackOutput(5)->recordArm());
  EXPECT_EQ(heard.log.front(), (Heard{Heard::RECORD_ARM, 5, 0, 0, 0.f}));

  // A clip already recording is not restarted by an armed press: it ends and plays.
  barLine();
  jack->getTrackOutput(5)->recordArm(true);
  press(5, 2);
  EXPECT_EQ(clip(5, 2)->getState(), STATE_PLAY_QUEUED);
  EXPECT_TRUE(jack->getTrackOutput(5)->recordArm());
}

TEST_F(GridTest, SelectModeOnlyChoosesTheSpecialClipClamped)
{
  {
    rtcheck::ProcessScope rt;
    grid->setSelectMode(true);
  }
  press(3, 12);
  EXPECT_EQ(heard.log, std::vector<Heard>{(Heard{Heard::SPECIAL, 3, 9, 0, 0.f})});
  EXPECT_EQ(clip(3, 9)->getState(), STATE_EMPTY);
  {
    rtcheck::ProcessScope rt;
    heard.log.clear();
    grid->setSelectMode(false);
    grid->setSpecialClip(-1, -5);
    grid->specialClipEvent(true);
  }
  EXPECT_EQ(heard.log.front(), (Heard{Heard::SPECIAL, 0, 0, 0, 0.f}));
  EXPECT_EQ(clip(0, 0)->getState(), STATE_RECORD_QUEUED) << "the special clip was pressed";
  gui.drain();
  EXPECT_TRUE(gui.printed("Select track enable 1"));
  EXPECT_TRUE(gui.printed("Select track enable 0"));
}

TEST_F(GridTest, LaunchingASceneStartsItAcrossTracksAndStopsWhatPlays)
{
  for (int t = 0; t < NTRACKS; t++) {
    fill(t, 5);
    if (t % 2 == 0)
      fill(t, 2); // odd tracks have nothing in scene 2
  }
  {
    rtcheck::ProcessScope rt;
    grid->launchScene(5);
    grid->bar();
    heard.log.clear();
    grid->launchScene(2);
  }
  for (int t = 0; t < NTRACKS; t++) {
    EXPECT_EQ(clip(t, 2)->getState(), STATE_PLAY_QUEUED);
    EXPECT_EQ(clip(t, 5)->getState(), STATE_STOP_QUEUED);
  }
  EXPECT_EQ(heard.log.size(), 2u * NTRACKS + 1) << "only the clips that change are announced";
  EXPECT_EQ(heard.log.back(), (Heard{Heard::LAUNCH, 2, 0, 0, 0.f}));
  EXPECT_EQ(grid->getSceneLaunched(), 2);
  barLine();
  for (int t = 0; t < NTRACKS; t++) {
    EXPECT_EQ(clip(t, 2)->getState(), t % 2 == 0 ? STATE_PLAYING : STATE_EMPTY);
    EXPECT_EQ(clip(t, 5)->getState(), STATE_STOPPED);
  }
}

// MIDI bindings carry -2 and -1 when a map leaves a field out, and the footswitch can step
// to scene -1 or 10: none of that reaches a clip.
TEST_F(GridTest, NumbersOutsideTheGridAreRefused)
{
  auto* ab = new AudioBuffer(100);
  {
    rtcheck::ProcessScope rt;
    heard.log.clear();
    for (int t : {-2, -1, 8, 100})
      for (int s : {-1, 0, 10}) {
        grid->pressed(t, s);
        grid->released(t, s);
        grid->clearClip(t, s);
      }
    grid->pressed(0, -1);
    grid->pressed(0, 10);
    grid->launchScene(-1);
    grid->launchScene(10);
    grid->loadClip(-1, 3, ab);
  }
  EXPECT_TRUE(heard.log.empty());
  EXPECT_EQ(grid->getSceneLaunched(), 0);
  gui.drain();
  EXPECT_TRUE(gui.wasFreed(ab)) << "a refused load hands its buffer back";
  EXPECT_TRUE(gui.printed("GridLogic::pressed() refused -2, -1"));
}

TEST_F(GridTest, ReleaseAnnouncesAndClearEmpties)
{
  fill(4, 4);
  {
    rtcheck::ProcessScope rt;
    heard.log.clear();
    grid->released(4, 4);
    grid->clearClip(4, 4);
  }
  EXPECT_EQ(heard.log, (std::vector<Heard>{stateOf(4, 4, STATE_STOPPED), progressOf(4, 4, 0.f),
                                          stateOf(4, 4, STATE_EMPTY)}));
  EXPECT_FALSE(clip(4, 4)->hasAudio());
}

// From the interface, a clip state record only ever means "clear it".
TEST_F(GridTest, GridStateRecordsOnlyClear)
{
  fill(1, 1);
  fill(1, 2);
  EventGridState keep(1, 1, 3), clear(1, 2, 0), outside(9, 0, 0);
  writeToDspRingbuffer(&keep);
  writeToDspRingbuffer(&clear);
  writeToDspRingbuffer(&outside);
  fakejack::cycle();
  EXPECT_TRUE(clip(1, 1)->hasAudio());
  EXPECT_FALSE(clip(1, 2)->hasAudio());
}

TEST_F(GridTest, ResetEmptiesEveryClipAndShowsAllStates)
{
  fill(0, 1);
  fill(6, 8);
  {
    rtcheck::ProcessScope rt;
    heard.log.clear();
    jack->getStateManager()->reset();
  }
  gui.drain();
  std::vector<std::string> expected = {"LC::reset() track 0, scene 1", "LC::reset() track 6, scene 8"};
  expected.insert(expected.end(), 80, "Empty");
  EXPECT_EQ(gui.prints, expected);
  std::vector<Heard> states = heard.only(Heard::STATE);
  ASSERT_EQ(states.size(), 80u);
  for (int i = 0; i < 80; i++)
    EXPECT_EQ(states[i], stateOf(i / NSCENES, i % NSCENES, STATE_EMPTY));
}
