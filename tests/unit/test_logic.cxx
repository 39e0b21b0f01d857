// The logic facade: its track checks, the change it makes and what it announces.

#include <gtest/gtest.h>

#include "controllerupdater.hxx"
#include "engine_fixture.hxx"
#include "guiside.hxx"
#include "listener.hxx"
#include "logic.hxx"
#include "metronome.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "timemanager.hxx"
#include "trackoutput.hxx"

namespace
{
class LogicTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    jack->getControllerUpdater()->registerController(&heard);
    logic = jack->getLogic();
    discardGui();
  }
  Logic* logic = nullptr;
  Listener heard;
  GuiSide gui;
};
} // namespace

TEST_F(LogicTest, TrackVolumeTakesMinusOneAsTheMasterAndRefusesOthers)
{
  {
    rtcheck::ProcessScope rt;
    logic->trackVolume(-1, 0.5f);
    logic->trackVolume(3, 0.25f);
    logic->trackVolume(8, 0.5f);
    logic->trackVolume(-2, 0.5f);
  }
  EXPECT_EQ(heard.log, (std::vector<Heard>{{Heard::MASTER_VOLUME, 0, 0, 0, 0.5f},
                                          {Heard::VOLUME, 3, 0, 0, 0.25f}}));
  EXPECT_EQ(jack->getTrackOutput(3)->getMaster(), 0.25f);
  gui.drain();
  EXPECT_EQ(gui.prints, (std::vector<std::string>{"trackVolume: invalid track number 8:",
                                                 "check controller map has \"track\" field.",
                                                 "trackVolume: invalid track number -2:",
                                                 "check controller map has \"track\" field."}));
}

// Every operation with a track check refuses -2 (a binding without "track") and 8, and
// changes or announces nothing then; pan refuses without a word.
TEST_F(LogicTest, EveryTrackCheckRefusesOutsideTracks)
{
  for (int bad : {-2, -1, 8, 1000}) {
    rtcheck::ProcessScope rt;
    logic->trackRecordArm(bad, true);
    logic->trackSendActive(bad, 0, true);
    logic->trackSend(bad, 0, 0.5f);
    logic->trackJackSendActivate(bad, true);
    logic->trackJackSend(bad, 0.5f);
    logic->looperClipLenght(bad, 0, 8);
    logic->trackPan(bad, 0.1f);
  }
  EXPECT_TRUE(heard.log.empty());
  gui.drain();
  EXPECT_EQ(gui.prints.size(), 4u * 6 * 2) << "two lines per refusal, none for pan";
}

TEST_F(LogicTest, ChangesComeFirstThenTheAnnouncement)
{
  {
    rtcheck::ProcessScope rt;
    logic->trackRecordArm(2, true);
    logic->trackPan(2, -0.5f);
    logic->masterInputTo(3, 0.7f);        // no level there, announced all the same
    logic->masterInputToActive(2, true); // no switch there, announced all the same
    logic->metronomeEnable(true);
  }
  EXPECT_TRUE(jack->getTrackOutput(2)->recordArm());
  EXPECT_TRUE(jack->getMetronome()->getActive());
  EXPECT_EQ(heard.log, (std::vector<Heard>{{Heard::RECORD_ARM, 2, 0, 1, 0.f},
                                          {Heard::PAN, 2, 0, 0, -0.5f},
                                          {Heard::INPUT_TO, 3, 0, 0, 0.7f},
                                          {Heard::INPUT_TO_ACTIVE, 2, 0, 0, 1.f},
                                          {Heard::METRONOME, 0, 0, 1, 0.f}}));
}

TEST_F(LogicTest, AClipsLengthSetsTheTempoAtTheNextBarLine)
{
  auto* ab = new AudioBuffer(88200);
  LooperClip* clip = jack->getLooper(1)->getClip(2);
  {
    rtcheck::ProcessScope rt;
    logic->looperUseAsTempo(1, 2); // empty: no beats, nothing happens
    clip->loadBuffer(ab);
    logic->looperClipLenght(1, 2, 4);
    logic->looperClipLenght(1, 12, 4); // no such scene: refused
    logic->looperUseAsTempo(1, 2);
    logic->looperUseAsTempo(-1, 99);
  }
  EXPECT_EQ(clip->getBeats(), 4);
  EXPECT_EQ(jack->getTimeManager()->getFpb(), 24000) << "only queued";
  fakejack::cycle(); // the first bar line
  EXPECT_EQ(jack->getTimeManager()->getFpb(), 88200 / 4);
}

TEST_F(LogicTest, TempoFaderEndsAreSixtyAndTwoHundredTwenty)
{
  {
    rtcheck::ProcessScope rt;
    logic->setBpmZeroOne(0.f);
  }
  fakejack::cycle();
  EXPECT_DOUBLE_EQ(jack->getTimeManager()->getFpb(), 48000.0 * 60 / 60);
  {
    rtcheck::ProcessScope rt;
    logic->setBpmZeroOne(1.f);
  }
  fakejack::cycles(4 * 48000 / 256 + 2); // a bar at 60 BPM is four seconds
  EXPECT_NEAR(jack->getTimeManager()->getFpb(), 48000.0 * 60 / 220, 1e-6);
}

// The engine dispatch of the records now applied: what binding learning captures from each,
// and the binding-action name it shows while learning.
TEST_F(LogicTest, DispatchedRecordsFillTheLearnRecord)
{
  struct Row {
    const char* what;
    int type, track, scene, send, active;
    const char* target; // null: the record has no binding-action name
  };
  auto run = [&](EventBase* ev, const Row& row) {
    SCOPED_TRACE(row.what);
    writeToDspRingbuffer(ev);
    fakejack::cycle();
    gui.clear();
    gui.drain();
    EXPECT_EQ(jack->bindingEventType(), row.type);
    EXPECT_EQ(jack->bindingTrack(), row.track);
    EXPECT_EQ(jack->bindingScene(), row.scene);
    EXPECT_EQ(jack->bindingSend(), row.send);
    EXPECT_EQ(jack->bindingActive(), row.active);
    EXPECT_EQ(gui.count(EVENT_CONTROLLER_BINDING_TARGET), row.target ? 1 : 0);
  };
  EventControllerBindingEnable learn(0, true);
  writeToDspRingbuffer(&learn);
  EventTrackSend send(3, 1, 0.5f);
  run(&send, {"send level", EVENT_TRACK_SEND, 3, -1, 1, 1, "track:send"});
  EventTrackRecordArm arm(2, 1.f);
  run(&arm, {"arm", EVENT_TRACK_RECORD_ARM, 2, -1, 1, 1, "track:record_arm"});
  EXPECT_TRUE(jack->getTrackOutput(2)->recordArm());
  EventTrackRecordArm disarm(2, 0.f);
  run(&disarm, {"disarm", EVENT_TRACK_RECORD_ARM, 2, -1, 1, 0, "track:record_arm"});
  EXPECT_FALSE(jack->getTrackOutput(2)->recordArm());
  EventGridEvent press(4, 6, false);
  run(&press, {"grid", EVENT_GRID_EVENT, 4, 6, 1, 0, "grid:event"});
  EventGridLaunchScene launch(7);
  run(&launch, {"launch", EVENT_GRID_LAUNCH_SCENE, 4, 7, 1, 0, "grid:launch_scene"});
  EventTrackJackSendActivate jackSend(5, true);
  run(&jackSend, {"jack send", EVENT_TRACK_JACKSEND_ACTIVATE, 5, 7, 1, 1, "track:jack_send_activate"});
  EventTrackPan pan(6, 0.2f);
  run(&pan, {"pan learns only its type", EVENT_TRACK_PAN, 5, 7, 1, 1, "track:pan"});
  EventGridSelectNewChosen chosen(1, 1);
  run(&chosen, {"no name", EVENT_GRID_SELECT_NEW_CHOSEN, 5, 7, 1, 1, nullptr});
}
