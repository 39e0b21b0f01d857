#include "event.hxx"

#include <cstdio>
#include <cstring>

const char* const EventNames[19] = {
  "master:volume",   "master:return",    "master:input_vol",         "master:input_to",
  "master:input_to_active", "track:pan",  "track:volume",             "track:send",
  "track:send_active", "track:jack_send", "track:jack_send_activate", "track:record_arm",
  "tempo_bpm",       "tempo_tap",        "metronome:active",         "metronome:volume",
  "grid:event",      "grid:launch_scene", nullptr,
};

// The records' memory images are part of the queue protocol: check every one.
#define VESKO_SIZE(CLASS, BYTES) static_assert(sizeof(CLASS) == BYTES, #CLASS " has the wrong size")
VESKO_SIZE(EventBase, 8);
VESKO_SIZE(EventMasterVol, 16);
VESKO_SIZE(EventMasterInputVol, 16);
VESKO_SIZE(EventMasterInputTo, 16);
VESKO_SIZE(EventMasterInputToActive, 16);
VESKO_SIZE(EventMasterReturn, 16);
VESKO_SIZE(EventStateSave, 8);
VESKO_SIZE(EventStateReset, 8);
VESKO_SIZE(EventStateSaveFinish, 16);
VESKO_SIZE(EventStateSaveBuffer, 32);
VESKO_SIZE(EventRequestSaveBuffer, 32);
VESKO_SIZE(EventGridEvent, 24);
VESKO_SIZE(EventGridState, 24);
VESKO_SIZE(EventGridLaunchScene, 16);
VESKO_SIZE(EventGridSelectClipEnable, 16);
VESKO_SIZE(EventGridSelectClipEvent, 16);
VESKO_SIZE(EventGridSelectNewChosen, 16);
VESKO_SIZE(EventTrackJackSend, 16);
VESKO_SIZE(EventTrackJackSendActivate, 16);
VESKO_SIZE(EventTrackSend, 24);
VESKO_SIZE(EventTrackSendActive, 24);
VESKO_SIZE(EventTrackSignalLevel, 24);
VESKO_SIZE(EventTrackVol, 16);
VESKO_SIZE(EventTrackPan, 16);
VESKO_SIZE(EventTrackRecordArm, 16);
VESKO_SIZE(EventFxReverb, 24);
VESKO_SIZE(EventLooperLoad, 24);
VESKO_SIZE(EventLooperState, 16);
VESKO_SIZE(EventLooperProgress, 16);
VESKO_SIZE(EventLooperLoopLength, 24);
VESKO_SIZE(EventLooperUseAsTempo, 24);
VESKO_SIZE(EventMetronomeActive, 16);
VESKO_SIZE(EventMetronomeVolume, 16);
VESKO_SIZE(EventTransportState, 16);
VESKO_SIZE(EventTimeBPM, 16);
VESKO_SIZE(EventTimeBarBeat, 16);
VESKO_SIZE(EventTimeTempoTap, 16);
VESKO_SIZE(EventGuiPrint, 64);
VESKO_SIZE(EventLooperClipRequestBuffer, 32);
VESKO_SIZE(EventDeallocateBuffer, 16);
VESKO_SIZE(EventSamplerate, 16);
VESKO_SIZE(EventControllerInstance, 16);
VESKO_SIZE(EventControllerInstanceRemove, 16);
VESKO_SIZE(EventControllerInstanceGetToWrite, 24);
VESKO_SIZE(EventControllerBindingEnable, 16);
VESKO_SIZE(EventControllerBindingTarget, 64);
VESKO_SIZE(EventControllerBindingMade, 24);
VESKO_SIZE(EventControllerBindingRemove, 24);
VESKO_SIZE(EventQuit, 8);
#undef VESKO_SIZE

namespace
{
// Index into EventNames for each type id 0 .. 49, -1 where the id has no name.
struct NameIndex {
  int index[EVENT_TYPE_FINAL];
  constexpr NameIndex() : index()
  {
    for (int i = 0; i < EVENT_TYPE_FINAL; i++)
      index[i] = -1;
    index[EVENT_MASTER_VOL] = 0;
    index[EVENT_MASTER_RETURN] = 1;
    index[EVENT_MASTER_INPUT_VOL] = 2;
    index[EVENT_MASTER_INPUT_TO] = 3;
    index[EVENT_MASTER_INPUT_TO_ACTIVE] = 4;
    index[EVENT_TRACK_PAN] = 5;
    index[EVENT_TRACK_VOLUME] = 6;
    index[EVENT_TRACK_SEND] = 7;
    index[EVENT_TRACK_SEND_ACTIVE] = 8;
    index[EVENT_TRACK_JACKSEND] = 9;
    index[EVENT_TRACK_JACKSEND_ACTIVATE] = 10;
    index[EVENT_TRACK_RECORD_ARM] = 11;
    index[EVENT_TIME_BPM] = 12;
    index[EVENT_TIME_TEMPO_TAP] = 13;
    index[EVENT_METRONOME_ACTIVE] = 14;
    index[EVENT_METRONOME_VOLUME] = 15;
    index[EVENT_GRID_EVENT] = 16;
    index[EVENT_GRID_LAUNCH_SCENE] = 17;
  }
};
constexpr NameIndex nameIndex;

// Copies s into a 50-byte field, or leaves the field empty and says why.
void copyText(char (&field)[50], const char* s, const char* who)
{
  field[0] = '\0';
  if (!s)
    return;
  if (strlen(s) >= sizeof(field)) {
    printf("%s() error! Size of string too long!\n", who);
    return;
  }
  strcpy(field, s);
}
} // namespace

const char* eventNameForType(int type)
{
  if (type < 0 || type >= EVENT_TYPE_FINAL)
    return nullptr;
  int i = nameIndex.index[type];
  return i < 0 ? nullptr : EventNames[i];
}

int eventTypeForName(const char* name)
{
  if (!name)
    return 0;
  for (int t = 0; t < EVENT_TYPE_FINAL; t++) {
    const char* n = eventNameForType(t);
    if (n && strcmp(n, name) == 0)
      return t;
  }
  return 0;
}

EventGuiPrint::EventGuiPrint() { print[0] = '\0'; }
EventGuiPrint::EventGuiPrint(const char* s) { copyText(print, s, "EventGuiPrint"); }

EventControllerBindingTarget::EventControllerBindingTarget() { target[0] = '\0'; }
EventControllerBindingTarget::EventControllerBindingTarget(const char* s)
{
  copyText(target, s, "EventControllerBindingTarget");
}
