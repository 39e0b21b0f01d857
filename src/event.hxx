#ifndef VESKO_EVENT_HXX
#define VESKO_EVENT_HXX

// Event records: the only things that cross between the interface thread and the JACK
// process thread. A record is copied byte for byte into a ring buffer, so a record class
// holds plain fields only; its first 8 bytes (the dispatch pointer) tell the reader which
// class it is. Both threads live in one process, which is what makes that valid.

#include <cstdint>

class AudioBuffer;
class Controller;
class Binding;

enum EventType {
  EVENT_NULL = 0,
  EVENT_MASTER_VOL = 1,
  EVENT_MASTER_INPUT_VOL = 2,
  EVENT_MASTER_INPUT_TO = 3,
  EVENT_MASTER_INPUT_TO_ACTIVE = 4,
  EVENT_MASTER_RETURN = 5,
  EVENT_STATE_SAVE = 7,
  EVENT_STATE_RESET = 8,
  EVENT_STATE_SAVE_FINISH = 9,
  EVENT_STATE_SAVE_BUFFER = 10,
  EVENT_REQUEST_SAVE_BUFFER = 11,
  EVENT_GRID_EVENT = 12,
  EVENT_GRID_STATE = 13,
  EVENT_GRID_LAUNCH_SCENE = 14,
  EVENT_GRID_SELECT_CLIP_ENABLE = 15,
  EVENT_GRID_SELECT_CLIP_EVENT = 16,
  EVENT_GRID_SELECT_NEW_CHOSEN = 17,
  EVENT_TRACK_JACKSEND = 18,
  EVENT_TRACK_JACKSEND_ACTIVATE = 19,
  EVENT_TRACK_SEND = 20,
  EVENT_TRACK_SEND_ACTIVE = 21,
  EVENT_TRACK_SIGNAL_LEVEL = 22,
  EVENT_TRACK_VOLUME = 23,
  EVENT_TRACK_PAN = 24,
  EVENT_TRACK_RECORD_ARM = 25,
  EVENT_FX_REVERB = 26,
  EVENT_LOOPER_LOAD = 27,
  EVENT_LOOPER_STATE = 28,
  EVENT_LOOPER_PROGRESS = 29,
  EVENT_LOOPER_LOOP_LENGTH = 30,
  EVENT_LOOPER_USE_AS_TEMPO = 31,
  EVENT_METRONOME_ACTIVE = 32,
  EVENT_METRONOME_VOLUME = 33,
  EVENT_TRANSPORT = 34,
  EVENT_TIME_BPM = 35,
  EVENT_TIME_BAR_BEAT = 36,
  EVENT_TIME_TEMPO_TAP = 37,
  EVENT_GUI_PRINT = 38,
  EVENT_LOOPER_CLIP_REQUEST_BUFFER = 39,
  EVENT_DEALLOCATE_BUFFER = 40,
  EVENT_SAMPLERATE = 41,
  EVENT_CONTROLLER_INSTANCE = 42,
  EVENT_CONTROLLER_INSTANCE_REMOVE = 43,
  EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE = 44,
  EVENT_CONTROLLER_BINDING_ENABLE = 45,
  EVENT_CONTROLLER_BINDING_TARGET = 46,
  EVENT_CONTROLLER_BINDING_MADE = 47,
  EVENT_CONTROLLER_BINDING_REMOVE = 48,
  EVENT_QUIT = 49,

  EVENT_TYPE_FINAL = 50, // ids 0 .. 49 are looked up by name
};

// The binding-action names, in table order, followed by a null entry.
extern const char* const EventNames[19];

// The name of a type id, or null when that id has none.
const char* eventNameForType(int type);
// The first type id whose name equals `name` exactly, or 0 when none does.
int eventTypeForName(const char* name);

class EventBase
{
public:
  virtual ~EventBase() {}
  virtual int type() const { return EVENT_NULL; }
  virtual uint32_t size() const { return sizeof(EventBase); }
  virtual const char* name() const { return nullptr; }
};

#define VESKO_EVENT(ID)                                                                        \
  int type() const override { return ID; }                                                     \
  uint32_t size() const override { return sizeof(*this); }

#define VESKO_EVENT_NAMED(ID, INDEX)                                                           \
  VESKO_EVENT(ID)                                                                              \
  const char* name() const override { return EventNames[INDEX]; }

class EventMasterVol : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_MASTER_VOL, 0)
  float vol;
  explicit EventMasterVol(float v = 0) : vol(v) {}
};

class EventMasterInputVol : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_MASTER_INPUT_VOL, 2)
  float vol;
  explicit EventMasterInputVol(float v = 0) : vol(v) {}
};

// place: 0 post-fader send, 1 mix, 2 side-chain crossfade, 3 side-chain key.
class EventMasterInputTo : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_MASTER_INPUT_TO, 3)
  int place;
  float value;
  EventMasterInputTo(int p = 0, float v = 0) : place(p), value(v) {}
};

class EventMasterInputToActive : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_MASTER_INPUT_TO_ACTIVE, 4)
  int place;
  bool active;
  EventMasterInputToActive(int p = 0, bool a = false) : place(p), active(a) {}
};

class EventMasterReturn : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_MASTER_RETURN, 1)
  int ret;
  float vol;
  EventMasterReturn(int r = 1, float v = 0) : ret(r), vol(v) {}
};

class EventStateSave : public EventBase
{
public:
  VESKO_EVENT(EVENT_STATE_SAVE)
};

class EventStateReset : public EventBase
{
public:
  VESKO_EVENT(EVENT_STATE_RESET)
};

// clipsNotSaved: clips the engine could not hand over (no save buffer came, or the clip
// was recorded over first); the session written without them would lose them.
class EventStateSaveFinish : public EventBase
{
public:
  VESKO_EVENT(EVENT_STATE_SAVE_FINISH)
  int clipsNotSaved;
  explicit EventStateSaveFinish(int notSaved = 0) : clipsNotSaved(notSaved) {}
};

// keepBuffer: the engine only lends the buffer; the interface must not free it.
class EventStateSaveBuffer : public EventBase
{
public:
  VESKO_EVENT(EVENT_STATE_SAVE_BUFFER)
  int track;
  int scene;
  AudioBuffer* ab;
  bool keepBuffer;
  EventStateSaveBuffer(int t = 0, int s = 0, AudioBuffer* a = nullptr, bool k = false)
      : track(t), scene(s), ab(a), keepBuffer(k) {}
};

class EventRequestSaveBuffer : public EventBase
{
public:
  VESKO_EVENT(EVENT_REQUEST_SAVE_BUFFER)
  int track;
  int scene;
  uint64_t bufferSize;
  AudioBuffer* ab;
  EventRequestSaveBuffer(int t = 0, int s = 0, uint64_t frames = 0, AudioBuffer* a = nullptr)
      : track(t), scene(s), bufferSize(frames), ab(a) {}
};

class EventGridEvent : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_GRID_EVENT, 16)
  int track;
  int scene;
  bool pressed;
  EventGridEvent(int t = 0, int s = 0, bool p = false) : track(t), scene(s), pressed(p) {}
};

class EventGridState : public EventBase
{
public:
  VESKO_EVENT(EVENT_GRID_STATE)
  int track;
  int scene;
  int state;
  EventGridState(int t = 0, int s = 0, int st = 0) : track(t), scene(s), state(st) {}
};

class EventGridLaunchScene : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_GRID_LAUNCH_SCENE, 17)
  int scene;
  explicit EventGridLaunchScene(int s = 0) : scene(s) {}
};

class EventGridSelectClipEnable : public EventBase
{
public:
  VESKO_EVENT(EVENT_GRID_SELECT_CLIP_ENABLE)
  bool enable;
  explicit EventGridSelectClipEnable(bool e = false) : enable(e) {}
};

class EventGridSelectClipEvent : public EventBase
{
public:
  VESKO_EVENT(EVENT_GRID_SELECT_CLIP_EVENT)
  bool pressed;
  explicit EventGridSelectClipEvent(bool p = false) : pressed(p) {}
};

class EventGridSelectNewChosen : public EventBase
{
public:
  VESKO_EVENT(EVENT_GRID_SELECT_NEW_CHOSEN)
  int track;
  int scene;
  EventGridSelectNewChosen(int t = 0, int s = 0) : track(t), scene(s) {}
};

class EventTrackJackSend : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_JACKSEND, 9)
  int track;
  float value;
  EventTrackJackSend(int t = 0, float v = 0) : track(t), value(v) {}
};

class EventTrackJackSendActivate : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_JACKSEND_ACTIVATE, 10)
  int track;
  bool active;
  EventTrackJackSendActivate(int t = 0, bool a = false) : track(t), active(a) {}
};

// send: 0 post-fader send, 1 side-chain key, 2 side-chain crossfade.
class EventTrackSend : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_SEND, 7)
  int track;
  int send;
  float value;
  EventTrackSend(int t = 0, int s = 0, float v = 0) : track(t), send(s), value(v) {}
};

class EventTrackSendActive : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_SEND_ACTIVE, 8)
  int track;
  int send;
  bool active;
  EventTrackSendActive(int t = 0, int s = 0, bool a = false) : track(t), send(s), active(a) {}
};

// track -1 is the master output meter, -2 the master input meter.
class EventTrackSignalLevel : public EventBase
{
public:
  VESKO_EVENT(EVENT_TRACK_SIGNAL_LEVEL)
  int track;
  float left;
  float right;
  EventTrackSignalLevel(int t = 0, float l = 0, float r = 0) : track(t), left(l), right(r) {}
};

// track -1 is the master fader.
class EventTrackVol : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_VOLUME, 6)
  int track;
  float vol;
  EventTrackVol(int t = 0, float v = 0) : track(t), vol(v) {}
};

class EventTrackPan : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_PAN, 5)
  int track;
  float pan;
  EventTrackPan(int t = 0, float p = 0) : track(t), pan(p) {}
};

class EventTrackRecordArm : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TRACK_RECORD_ARM, 11)
  int track;
  float recordArm;
  EventTrackRecordArm(int t = 0, float r = 0) : track(t), recordArm(r) {}
};

class EventFxReverb : public EventBase
{
public:
  VESKO_EVENT(EVENT_FX_REVERB)
  bool enable;
  float rtSize;
  float wet;
  float damping;
  EventFxReverb(bool e = false, float s = 0, float w = 0, float d = 0)
      : enable(e), rtSize(s), wet(w), damping(d) {}
};

class EventLooperLoad : public EventBase
{
public:
  VESKO_EVENT(EVENT_LOOPER_LOAD)
  int track;
  int clip;
  AudioBuffer* audioBuffer;
  EventLooperLoad(int t = 0, int c = 0, AudioBuffer* ab = nullptr)
      : track(t), clip(c), audioBuffer(ab) {}
};

// Carries nothing that anyone reads.
class EventLooperState : public EventBase
{
public:
  VESKO_EVENT(EVENT_LOOPER_STATE)
  int unused = 0;
};

class EventLooperProgress : public EventBase
{
public:
  VESKO_EVENT(EVENT_LOOPER_PROGRESS)
  int track;
  float progress;
  EventLooperProgress(int t = 0, float p = 0) : track(t), progress(p) {}
};

class EventLooperLoopLength : public EventBase
{
public:
  VESKO_EVENT(EVENT_LOOPER_LOOP_LENGTH)
  int track;
  int scene;
  int beats;
  EventLooperLoopLength(int t = 0, int s = 0, int b = 0) : track(t), scene(s), beats(b) {}
};

class EventLooperUseAsTempo : public EventBase
{
public:
  VESKO_EVENT(EVENT_LOOPER_USE_AS_TEMPO)
  int track;
  int scene;
  int64_t unused = 0;
  EventLooperUseAsTempo(int t = 0, int s = 0) : track(t), scene(s) {}
};

class EventMetronomeActive : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_METRONOME_ACTIVE, 14)
  bool active;
  explicit EventMetronomeActive(bool a = false) : active(a) {}
};

class EventMetronomeVolume : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_METRONOME_VOLUME, 15)
  float vol;
  explicit EventMetronomeVolume(float v = 0) : vol(v) {}
};

// state: 1 rolling, 0 stopped.
class EventTransportState : public EventBase
{
public:
  VESKO_EVENT(EVENT_TRANSPORT)
  int ts;
  explicit EventTransportState(int s = 0) : ts(s) {}
};

class EventTimeBPM : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TIME_BPM, 12)
  float bpm;
  explicit EventTimeBPM(float b = 0) : bpm(b) {}
};

class EventTimeBarBeat : public EventBase
{
public:
  VESKO_EVENT(EVENT_TIME_BAR_BEAT)
  int bar;
  int beat;
  EventTimeBarBeat(int ba = 0, int be = 0) : bar(ba), beat(be) {}
};

class EventTimeTempoTap : public EventBase
{
public:
  VESKO_EVENT_NAMED(EVENT_TIME_TEMPO_TAP, 13)
  bool pressed;
  explicit EventTimeTempoTap(bool p = false) : pressed(p) {}
};

// Text from the JACK thread for the interface's log, at most 49 characters.
class EventGuiPrint : public EventBase
{
public:
  VESKO_EVENT(EVENT_GUI_PRINT)
  char print[50];
  EventGuiPrint();
  explicit EventGuiPrint(const char* s);
  const char* getMessage() const { return print; }
};

class EventLooperClipRequestBuffer : public EventBase
{
public:
  VESKO_EVENT(EVENT_LOOPER_CLIP_REQUEST_BUFFER)
  int track;
  int scene;
  uint64_t numElements;
  AudioBuffer* ab;
  EventLooperClipRequestBuffer(int t = 0, int s = 0, uint64_t frames = 0,
                               AudioBuffer* a = nullptr)
      : track(t), scene(s), numElements(frames), ab(a) {}
};

class EventDeallocateBuffer : public EventBase
{
public:
  VESKO_EVENT(EVENT_DEALLOCATE_BUFFER)
  AudioBuffer* ab;
  explicit EventDeallocateBuffer(AudioBuffer* a = nullptr) : ab(a) {}
};

class EventSamplerate : public EventBase
{
public:
  VESKO_EVENT(EVENT_SAMPLERATE)
  int samplerate;
  explicit EventSamplerate(int sr = 0) : samplerate(sr) {}
};

class EventControllerInstance : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_INSTANCE)
  Controller* controller;
  explicit EventControllerInstance(Controller* c = nullptr) : controller(c) {}
};

class EventControllerInstanceRemove : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_INSTANCE_REMOVE)
  int ID;
  explicit EventControllerInstanceRemove(int id = 0) : ID(id) {}
};

class EventControllerInstanceGetToWrite : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE)
  int ID;
  Controller* controller;
  EventControllerInstanceGetToWrite(int id = 0, Controller* c = nullptr)
      : ID(id), controller(c) {}
};

class EventControllerBindingEnable : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_BINDING_ENABLE)
  int controllerID;
  bool enable;
  EventControllerBindingEnable(int id = 0, bool e = false) : controllerID(id), enable(e) {}
};

class EventControllerBindingTarget : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_BINDING_TARGET)
  char target[50];
  EventControllerBindingTarget();
  explicit EventControllerBindingTarget(const char* s);
};

class EventControllerBindingMade : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_BINDING_MADE)
  int controllerID;
  Binding* binding;
  EventControllerBindingMade(int id = 0, Binding* b = nullptr) : controllerID(id), binding(b) {}
};

class EventControllerBindingRemove : public EventBase
{
public:
  VESKO_EVENT(EVENT_CONTROLLER_BINDING_REMOVE)
  int controllerID;
  int bindingID;
  void* unused;
  EventControllerBindingRemove(int c = 0, int b = 0) : controllerID(c), bindingID(b), unused(nullptr) {}
};

class EventQuit : public EventBase
{
public:
  VESKO_EVENT(EVENT_QUIT)
};

#undef VESKO_EVENT
#undef VESKO_EVENT_NAMED

#endif
