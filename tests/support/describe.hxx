#ifndef VESKO_TEST_DESCRIBE_HXX
#define VESKO_TEST_DESCRIBE_HXX

// A record toward the interface as one line of text, "name(field, ...)", so that tables of
// expected records read as what they mean. Pointers show as "buffer"/"controller" or null.

#include <cstdio>
#include <string>

#include "event.hxx"

inline std::string describe(const EventBase* e)
{
  char s[160];
  auto ptr = [](const void* p, const char* what) { return p ? what : "null"; };
#define AS(T) (*static_cast<const T*>(e))
#define SAY(...) snprintf(s, sizeof(s), __VA_ARGS__); break
  switch (e->type()) {
  case EVENT_MASTER_VOL: SAY("masterVol(%g)", AS(EventMasterVol).vol);
  case EVENT_MASTER_INPUT_VOL: SAY("masterInputVol(%g)", AS(EventMasterInputVol).vol);
  case EVENT_MASTER_INPUT_TO: SAY("masterInputTo(%d, %g)", AS(EventMasterInputTo).place, AS(EventMasterInputTo).value);
  case EVENT_MASTER_INPUT_TO_ACTIVE:
    SAY("masterInputToActive(%d, %d)", AS(EventMasterInputToActive).place, (int)AS(EventMasterInputToActive).active);
  case EVENT_MASTER_RETURN: SAY("masterReturn(%d, %g)", AS(EventMasterReturn).ret, AS(EventMasterReturn).vol);
  case EVENT_METRONOME_ACTIVE: SAY("metronomeActive(%d)", (int)AS(EventMetronomeActive).active);
  case EVENT_TRACK_SEND:
    SAY("trackSend(%d, %d, %g)", AS(EventTrackSend).track, AS(EventTrackSend).send, AS(EventTrackSend).value);
  case EVENT_TRACK_SEND_ACTIVE:
    SAY("trackSendActive(%d, %d, %d)", AS(EventTrackSendActive).track, AS(EventTrackSendActive).send,
        (int)AS(EventTrackSendActive).active);
  case EVENT_TRACK_JACKSEND: SAY("trackJackSend(%d, %g)", AS(EventTrackJackSend).track, AS(EventTrackJackSend).value);
  case EVENT_TRACK_JACKSEND_ACTIVATE:
    SAY("trackJackSendActivate(%d, %d)", AS(EventTrackJackSendActivate).track, (int)AS(EventTrackJackSendActivate).active);
  case EVENT_GRID_SELECT_NEW_CHOSEN:
    SAY("gridSelectNewChosen(%d, %d)", AS(EventGridSelectNewChosen).track, AS(EventGridSelectNewChosen).scene);
  case EVENT_TRACK_PAN: SAY("trackPan(%d, %g)", AS(EventTrackPan).track, AS(EventTrackPan).pan);
  case EVENT_TRACK_VOLUME: SAY("trackVol(%d, %g)", AS(EventTrackVol).track, AS(EventTrackVol).vol);
  case EVENT_LOOPER_PROGRESS: SAY("looperProgress(%d, %g)", AS(EventLooperProgress).track, AS(EventLooperProgress).progress);
  case EVENT_TRACK_RECORD_ARM: SAY("trackRecordArm(%d, %g)", AS(EventTrackRecordArm).track, AS(EventTrackRecordArm).recordArm);
  case EVENT_GRID_STATE:
    SAY("gridState(%d, %d, %d)", AS(EventGridState).track, AS(EventGridState).scene, AS(EventGridState).state);
  case EVENT_GRID_LAUNCH_SCENE: SAY("gridLaunchScene(%d)", AS(EventGridLaunchScene).scene);
  case EVENT_TIME_BPM: SAY("timeBPM(%g)", AS(EventTimeBPM).bpm);
  case EVENT_GUI_PRINT: SAY("print(%s)", AS(EventGuiPrint).print);
  case EVENT_CONTROLLER_BINDING_TARGET: SAY("bindingTarget(%s)", AS(EventControllerBindingTarget).target);
  case EVENT_STATE_SAVE_BUFFER:
    SAY("stateSaveBuffer(%d, %d, %s, %d)", AS(EventStateSaveBuffer).track, AS(EventStateSaveBuffer).scene,
        ptr(AS(EventStateSaveBuffer).ab, "buffer"), (int)AS(EventStateSaveBuffer).keepBuffer);
  case EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE:
    SAY("getToWrite(%d, %s)", AS(EventControllerInstanceGetToWrite).ID,
        ptr(AS(EventControllerInstanceGetToWrite).controller, "controller"));
  case EVENT_CONTROLLER_INSTANCE: SAY("controllerInstance(%s)", ptr(AS(EventControllerInstance).controller, "controller"));
  case EVENT_DEALLOCATE_BUFFER: SAY("deallocate(%s)", ptr(AS(EventDeallocateBuffer).ab, "buffer"));
  case EVENT_LOOPER_CLIP_REQUEST_BUFFER:
    SAY("requestBuffer(%d, %d, %llu)", AS(EventLooperClipRequestBuffer).track, AS(EventLooperClipRequestBuffer).scene,
        (unsigned long long)AS(EventLooperClipRequestBuffer).numElements);
  case EVENT_REQUEST_SAVE_BUFFER:
    SAY("requestSaveBuffer(%d, %d, %llu)", AS(EventRequestSaveBuffer).track, AS(EventRequestSaveBuffer).scene,
        (unsigned long long)AS(EventRequestSaveBuffer).bufferSize);
  case EVENT_QUIT: SAY("quit()");
  case EVENT_STATE_SAVE_FINISH: SAY("stateSaveFinish()");
  default: SAY("type %d", e->type());
  }
#undef AS
#undef SAY
  return s;
}

#endif
