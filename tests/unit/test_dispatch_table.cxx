// Every record the interface sends toward the engine, through the engine's drain with
// learning on: the change it makes, what the interface is told after it, and what the
// learn record keeps.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "controller/genericmidi.hxx"
#include "controllerupdater.hxx"
#include "describe.hxx"
#include "engine_fixture.hxx"
#include "gridlogic.hxx"
#include "gridstate.hxx"
#include "jacksendreturn.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "metronome.hxx"
#include "statemanager.hxx"
#include "timemanager.hxx"
#include "trackoutput.hxx"

namespace
{
struct Learnt {
  int track, scene, send, active;
};

struct Row {
  std::function<void()> send;       // writes the record toward the engine
  std::function<bool()> changed;    // the engine change, seen after the period (null: none to see)
  std::vector<std::string> told;    // records toward the interface, meters and bar/beat aside
  Learnt learnt;
};

template <class E> std::function<void()> record(E ev)
{
  return [ev]() mutable { writeToDspRingbuffer(&ev); };
}

LooperClip* clip(int t, int s) { return jack->getLooper(t)->getClip(s); }
} // namespace

TEST_F(EngineTest, EveryEngineBoundRecordChangesTellsAndLearns)
{
  auto* loaded = new AudioBuffer(1000);
  loaded->setLengthFrames(1000);
  auto* grown = new AudioBuffer(100000);
  auto* saveCopy = new AudioBuffer(1000);
  ControllerUpdater* u = jack->getControllerUpdater();
  // A controller that is the engine's until row 43 hands it back.
  auto* pad = new GenericMIDI("pad");
  const int padID = pad->getID();
  const std::string found = "print(getController target ID: " + std::to_string(padID) + ", found ID: " +
                            std::to_string(padID) + ", returnin)";

  const std::vector<std::pair<int, Row>> table = {
    {EVENT_MASTER_VOL, {record(EventMasterVol(0.3f)), [] { return jack->getMasterVolume() == 0.3f; },
                        {"bindingTarget(master:volume)"}, {-2, -1, -1, 1}}},
    {EVENT_MASTER_INPUT_VOL, {record(EventMasterInputVol(0.25f)), [] { return jack->getInputVolume() == 0.5f; },
                              {"bindingTarget(master:input_vol)", "masterInputVol(0.25)"}, {-2, -1, -1, 1}}},
    {EVENT_MASTER_INPUT_TO, {record(EventMasterInputTo(2, 0.7f)), nullptr,
                             {"bindingTarget(master:input_to)", "masterInputTo(2, 0.7)"}, {-2, -1, 2, 1}}},
    {EVENT_MASTER_INPUT_TO_ACTIVE, {record(EventMasterInputToActive(3, false)), nullptr,
                                    {"bindingTarget(master:input_to_active)", "masterInputToActive(3, 0)"}, {-2, -1, 3, 0}}},
    {EVENT_MASTER_RETURN, {record(EventMasterReturn(1, 0.4f)), [] { return jack->getReturnVolume() == 0.4f; },
                           {"bindingTarget(master:return)"}, {-2, -1, -1, 1}}},
    {EVENT_MASTER_RETURN, {record(EventMasterReturn(2, 0.9f)), [] { return jack->getReturnVolume() == 0.4f; },
                           {"bindingTarget(master:return)"}, {-2, -1, -1, 1}}},
    {EVENT_TRACK_JACKSEND, {record(EventTrackJackSend(3, 0.6f)), [] { return jack->getJackSendReturn(3)->getSendVolume() == 0.6f; },
                            {"bindingTarget(track:jack_send)", "trackJackSend(3, 0.6)"}, {3, -1, -1, 1}}},
    {EVENT_TRACK_JACKSEND_ACTIVATE, {record(EventTrackJackSendActivate(4, true)), [] { return jack->getJackSendReturn(4)->getActive(); },
                                     {"bindingTarget(track:jack_send_activate)", "trackJackSendActivate(4, 1)"}, {4, -1, -1, 1}}},
    {EVENT_TRACK_SEND, {record(EventTrackSend(5, 2, 0.5f)), nullptr,
                        {"bindingTarget(track:send)", "trackSend(5, 2, 0.5)"}, {5, -1, 2, 1}}},
    {EVENT_TRACK_SEND_ACTIVE, {record(EventTrackSendActive(6, 1, false)), nullptr,
                               {"bindingTarget(track:send_active)", "trackSendActive(6, 1, 0)"}, {6, -1, 1, 0}}},
    {EVENT_TRACK_VOLUME, {record(EventTrackVol(7, 0.2f)), [] { return jack->getTrackOutput(7)->getMaster() == 0.2f; },
                          {"bindingTarget(track:volume)", "trackVol(7, 0.2)"}, {7, -1, -1, 1}}},
    {EVENT_TRACK_VOLUME, {record(EventTrackVol(-1, 0.6f)), [] { return jack->getMasterVolume() == 0.6f; },
                          {"bindingTarget(track:volume)", "masterVol(0.6)"}, {-1, -1, -1, 1}}},
    {EVENT_TRACK_PAN, {record(EventTrackPan(2, -0.5f)), nullptr,
                       {"bindingTarget(track:pan)", "trackPan(2, -0.5)"}, {-2, -1, -1, 1}}},
    {EVENT_TRACK_RECORD_ARM, {record(EventTrackRecordArm(1, 1.f)), [] { return jack->getTrackOutput(1)->recordArm(); },
                              {"bindingTarget(track:record_arm)", "trackRecordArm(1, 1)"}, {1, -1, -1, 1}}},
    {EVENT_TRACK_RECORD_ARM, {record(EventTrackRecordArm(1, 0.f)), [] { return !jack->getTrackOutput(1)->recordArm(); },
                              {"bindingTarget(track:record_arm)", "trackRecordArm(1, 0)"}, {1, -1, -1, 0}}},
    {EVENT_METRONOME_ACTIVE, {record(EventMetronomeActive(true)), [] { return jack->getMetronome()->getActive(); },
                              {"bindingTarget(metronome:active)", "metronomeActive(1)"}, {-2, -1, -1, 1}}},
    {EVENT_METRONOME_VOLUME, {record(EventMetronomeVolume(0.3f)), [] { return jack->getMetronome()->getVolume() == 0.15f; },
                              {"bindingTarget(metronome:volume)", "print(EventDSP: MetroVol 0.300000)"}, {-2, -1, -1, 1}}},
    {EVENT_LOOPER_LOAD, {record(EventLooperLoad(1, 2, loaded)), [=] { return clip(1, 2)->buffer() == loaded; },
                         {"deallocate(buffer)", "looperProgress(1, 0)", "gridState(1, 2, 3)"}, {-2, -1, -1, 1}}},
    {EVENT_LOOPER_LOOP_LENGTH, {record(EventLooperLoopLength(1, 2, 8)), [] { return clip(1, 2)->getBeats() == 8; },
                                {}, {-2, -1, -1, 1}}},
    {EVENT_LOOPER_USE_AS_TEMPO, {record(EventLooperUseAsTempo(1, 2)), [] { return jack->getTimeManager()->getFpb() == 24000; },
                                 {"print(drop TM::qfpb() 125 bpm = 23040)"}, {-2, -1, -1, 1}}},
    {EVENT_STATE_SAVE_BUFFER, {record(EventStateSaveBuffer(1, 2, nullptr, false)), nullptr,
                               {"print(jack got save buffer in 1, 2)", "stateSaveBuffer(1, 2, buffer, 1)"}, {-2, -1, -1, 1}}},
    {EVENT_STATE_SAVE, {record(EventStateSave()), [] { return jack->getStateManager()->saving(); },
                        {"print(LC::save() track 1, scene 2)", "requestSaveBuffer(1, 2, 1000)"}, {-2, -1, -1, 1}}},
    {EVENT_REQUEST_SAVE_BUFFER, {record(EventRequestSaveBuffer(1, 2, 1000, saveCopy)), [] { return !jack->getStateManager()->saving(); },
                                 {"stateSaveBuffer(1, 2, buffer, 0)", "stateSaveFinish()"}, {-2, -1, -1, 1}}},
    {EVENT_GRID_EVENT, {record(EventGridEvent(4, 6, true)), [] { return clip(4, 6)->getState() == STATE_RECORD_QUEUED; },
                        {"bindingTarget(grid:event)", "gridState(4, 0, 0)", "gridState(4, 1, 0)", "gridState(4, 2, 0)", "gridState(4, 3, 0)",
                         "gridState(4, 4, 0)", "gridState(4, 5, 0)", "gridState(4, 7, 0)", "gridState(4, 8, 0)", "gridState(4, 9, 0)",
                         "gridState(4, 6, 6)", "requestBuffer(4, 6, 48510)"}, {4, 6, -1, 1}}},
    {EVENT_LOOPER_CLIP_REQUEST_BUFFER, {record(EventLooperClipRequestBuffer(4, 6, 0, grown)), [=] { return clip(4, 6)->buffer() == grown; },
                                        {"deallocate(buffer)", "requestBuffer(4, 6, 144100)"}, {-2, -1, -1, 1}}},
    {EVENT_GRID_EVENT, {record(EventGridEvent(4, 6, false)), nullptr,
                        {"bindingTarget(grid:event)", "gridState(4, 6, 6)"}, {4, 6, -1, 1}}},
    {EVENT_GRID_STATE, {record(EventGridState(4, 6, 3)), [] { return clip(4, 6)->getState() == STATE_RECORD_QUEUED; },
                        {}, {-2, -1, -1, 1}}},
    {EVENT_GRID_STATE, {record(EventGridState(1, 2, 0)), [] { return clip(1, 2)->getState() == STATE_EMPTY; },
                        {"looperProgress(1, 0)", "gridState(1, 2, 0)"}, {-2, -1, -1, 1}}},
    {EVENT_GRID_LAUNCH_SCENE, {record(EventGridLaunchScene(7)), [] { return jack->getGridLogic()->getSceneLaunched() == 7; },
                               {"bindingTarget(grid:launch_scene)", "gridState(0, 7, 2)", "gridState(1, 7, 2)", "gridState(2, 7, 2)", "gridState(3, 7, 2)",
                                "gridState(4, 6, 0)", "gridState(4, 7, 2)", "gridState(5, 7, 2)", "gridState(6, 7, 2)", "gridState(7, 7, 2)",
                                "gridLaunchScene(7)"}, {-2, 7, -1, 1}}},
    {EVENT_GRID_SELECT_CLIP_ENABLE, {record(EventGridSelectClipEnable(true)), [] { return jack->getGridLogic()->getSelectMode(); },
                                     {"print(Select track enable 1)"}, {-2, -1, -1, 1}}},
    {EVENT_GRID_SELECT_NEW_CHOSEN, {record(EventGridSelectNewChosen(2, 5)), [] { return jack->getGridLogic()->getSpecialScene() == 5; },
                                    {"gridSelectNewChosen(2, 5)"}, {-2, -1, -1, 1}}},
    {EVENT_GRID_SELECT_CLIP_EVENT, {record(EventGridSelectClipEvent(true)), nullptr, {"gridSelectNewChosen(2, 5)"}, {-2, -1, -1, 1}}},
    {EVENT_TIME_BPM, {record(EventTimeBPM(90.f)), nullptr, {"bindingTarget(tempo_bpm)"}, {-2, -1, -1, 1}}},
    {EVENT_TIME_TEMPO_TAP, {record(EventTimeTempoTap(true)), nullptr, {"bindingTarget(tempo_tap)"}, {-2, -1, -1, 1}}},
    {EVENT_TRANSPORT, {record(EventTransportState(0)), nullptr, {}, {-2, -1, -1, 1}}},
    {EVENT_FX_REVERB, {record(EventFxReverb(true, 0.5f, 0.5f, 0.5f)), nullptr, {}, {-2, -1, -1, 1}}},
    {EVENT_LOOPER_STATE, {record(EventLooperState()), nullptr, {}, {-2, -1, -1, 1}}},
    {EVENT_CONTROLLER_INSTANCE, {record(EventControllerInstance(pad)), [=] { return jack->getControllerUpdater()->getController(padID) == pad; },
                                 {found}, {-2, -1, -1, 1}}},
    {EVENT_CONTROLLER_BINDING_REMOVE, {record(EventControllerBindingRemove(padID, 12345)), nullptr, {found}, {-2, -1, -1, 1}}},
    {EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE, {record(EventControllerInstanceGetToWrite(padID)), nullptr,
                                              {found, "print(controller instance get to write id " + std::to_string(padID) + ")", "getToWrite(" + std::to_string(padID) + ", controller)"}, {-2, -1, -1, 1}}},
    {EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE, {record(EventControllerInstanceGetToWrite(999)), nullptr,
                                              {"print(controller instance get to write id 999)", "getToWrite(999, null)"}, {-2, -1, -1, 1}}},
    {EVENT_CONTROLLER_INSTANCE_REMOVE, {record(EventControllerInstanceRemove(padID)), [=] { return jack->getControllerUpdater()->getController(padID) == nullptr; },
                                        {"print(Removing item " + std::to_string(padID) + " with name pad)",
                                         "print(Jack::unregisterMidiIO() removing mo at 0)", "controllerInstance(controller)"}, {-2, -1, -1, 1}}},
    {EVENT_STATE_RESET, {record(EventStateReset()), [] { return clip(4, 6)->getState() == STATE_EMPTY; },
                         {}, {-2, -1, -1, 1}}},
    {EVENT_CONTROLLER_BINDING_ENABLE, {record(EventControllerBindingEnable(0, false)), [] { return !jack->bindingLearnEnable(); },
                                       {}, {-2, -1, -1, 1}}},
    // The client cannot be closed from its own process callback: the interface is asked to.
    {EVENT_QUIT, {record(EventQuit()), nullptr, {"quit()"}, {-2, -1, -1, 1}}},
  };

  discardGui();
  for (const auto& [id, row] : table) {
    SCOPED_TRACE("record id " + std::to_string(id));
    jack->resetLearnRecord();
    EventControllerBindingEnable learn(0, true);
    writeToDspRingbuffer(&learn);
    row.send();
    fakejack::cycle();
    if (row.changed)
      EXPECT_TRUE(row.changed());
    std::vector<std::string> told;
    drainGui([&](int type, const char* b) {
      if (type != EVENT_TRACK_SIGNAL_LEVEL && type != EVENT_TIME_BAR_BEAT)
        told.push_back(describe(reinterpret_cast<const EventBase*>(b)));
    });
    if (id != EVENT_STATE_RESET) // a reset tells every clip's state
      EXPECT_EQ(told, row.told);
    EXPECT_EQ(jack->bindingEventType(), id);
    EXPECT_EQ(jack->bindingTrack(), row.learnt.track);
    EXPECT_EQ(jack->bindingScene(), row.learnt.scene);
    EXPECT_EQ(jack->bindingSend(), row.learnt.send);
    EXPECT_EQ(jack->bindingActive(), row.learnt.active);
  }
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 0u);
  delete pad;
}
