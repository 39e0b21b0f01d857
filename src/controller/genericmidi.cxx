#include "controller/genericmidi.hxx"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include <cjson/cJSON.h>

#include "event.hxx"
#include "eventhandler.hxx"
#include "gridlogic.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "logic.hxx"

GenericMIDI::GenericMIDI(std::string n) : name(std::move(n))
{
  VESKO_NOTE("Adding GenericMIDI %s", name.c_str());
  makeInputList();
  registerMidiPorts(name);
  stat = 1;
  // Not through setFootswitchToNextScene: that reports on the JACK thread's queue, and
  // this is the interface thread.
  footswitchNextScene = footswitchPrevScene = false;
  VESKO_NOTE("Set Footswitch to %i", 0);
}

GenericMIDI::GenericMIDI(MapFile file) : name("generic")
{
  const int loaded = loadController(file.path);
  makeInputList();
  if (loaded != 0) {
    VESKO_ERROR("%s", "Error in loading controller map!");
    stat = 0;
    return;
  }
  VESKO_NOTE("GenericMIDI registering ports: %s", name.c_str());
  registerMidiPorts(name);
  stat = 1;
}

GenericMIDI::~GenericMIDI() {}

GenericMIDI* GenericMIDI::loadAndHandOver(const std::string& path)
{
  GenericMIDI* c = new GenericMIDI(MapFile{path});
  EventControllerInstance e(c);
  handToEngine(&e);
  return c;
}

void GenericMIDI::makeInputList()
{
  learnt.assign(LEARN_CAPACITY, Binding(Binding::Unnumbered{}));
  inputBindings.reset(new BindingList((int)mapInputs.size() + LEARN_CAPACITY));
  for (auto& b : mapInputs)
    inputBindings->append(b.get());
}

int GenericMIDI::registerComponents()
{
  jack->registerMidiIO(this);
  return 0;
}

void GenericMIDI::unregisterComponents() { jack->unregisterMidiIO(this); }

// ---- Learning and removal (JACK thread) ----

const Binding* GenericMIDI::setupBinding(int action, int status, int data, int track, int scene,
                                         int send, int active)
{
  dspPrint("MIDI binding, track %d, send %d from eventType %d to %d, %d", track, send, action,
           status, data);
  if (learntUsed >= (int)learnt.size() || inputBindings->placesUsed() >= inputBindings->capacity()) {
    dspPrint("%s: no room to learn more bindings", name.c_str());
    return nullptr;
  }
  Binding* b = &learnt[learntUsed++];
  *b = Binding(); // a new ID; no allocation
  b->action = action;
  b->status = (unsigned char)status;
  b->data = (unsigned char)data;
  b->track = track;
  b->scene = scene;
  b->send = send;
  b->active = active;
  inputBindings->append(b);
  return b;
}

void GenericMIDI::removeBinding(int id) { inputBindings->remove(id); }

void GenericMIDI::setFootswitchToNextScene(int v)
{
  dspPrint("Set Footswitch to %i", v);
  footswitchNextScene = v > 0;
  footswitchPrevScene = v < 0;
}

// ---- Incoming messages (JACK thread) ----

void GenericMIDI::midi(const unsigned char* data)
{
  const unsigned char s = data[0];
  const unsigned char d1 = data[1];
  const unsigned char d2 = data[2];

  if (jack->bindingLearnEnable()) {
    const Binding* b = setupBinding(jack->bindingEventType(), s, d1, jack->bindingTrack(),
                                    jack->bindingScene(), jack->bindingSend(), jack->bindingActive());
    jack->resetLearnRecord();
    EventControllerBindingEnable off(getID(), false);
    writeToGuiRingbuffer(&off);
    if (b) {
      EventControllerBindingMade made(getID(), const_cast<Binding*>(b));
      writeToGuiRingbuffer(&made);
    }
  }

  if (s == 0x90) {
    if (d1 == 100)
      setFootswitchToNextScene(1);
    else if (d1 == 101)
      setFootswitchToNextScene(-1);
    else if (d1 == 96)
      setFootswitchToNextScene(0);
  }

  const float x = d2 / 127.f;
  inputBindings->forEach([&](const Binding& b) {
    if (b.status == s && b.data == d1)
      act(b, x);
  });
}

void GenericMIDI::act(const Binding& b, float x)
{
  // Switches take their value from the binding, not from the message: a button that sends
  // note-on and note-off needs one binding for each.
  const bool on = b.active != 0;
  Logic* logic = jack->getLogic();
  GridLogic* grid = jack->getGridLogic();
  switch (b.action) {
  case EVENT_MASTER_VOL: logic->trackVolume(-1, x); break;
  case EVENT_MASTER_INPUT_VOL: logic->masterInputVol(x); break;
  case EVENT_MASTER_INPUT_TO: logic->masterInputTo(b.send, x); break;
  case EVENT_MASTER_INPUT_TO_ACTIVE: logic->masterInputToActive(b.send, on); break;
  case EVENT_MASTER_RETURN: logic->masterReturnVolume(x); break;
  case EVENT_GRID_EVENT:
    // The grid logic refuses a track or scene outside the grid.
    if (b.active == -1)
      grid->clearClip(b.track, b.scene);
    else if (b.active == 1)
      grid->pressed(b.track, b.scene);
    else
      grid->released(b.track, b.scene);
    break;
  case EVENT_GRID_LAUNCH_SCENE: grid->launchScene(b.scene); break;
  case EVENT_GRID_SELECT_CLIP_ENABLE: grid->setSelectMode(on); break;
  case EVENT_GRID_SELECT_CLIP_EVENT:
    // A scene step past the first or last scene is refused by the grid logic: stepping
    // stops at the ends.
    if (footswitchNextScene && x > 0.5f) {
      dspPrint("footswitch next scene *now*");
      grid->launchScene(grid->getSceneLaunched() + 1);
    } else if (footswitchPrevScene && x > 0.5f) {
      dspPrint("footswitch prev scene *now*");
      grid->launchScene(grid->getSceneLaunched() - 1);
    } else {
      dspPrint("footswitch special clip action now");
      grid->specialClipEvent(x != 0.f);
    }
    break;
  case EVENT_TRACK_JACKSEND: logic->trackJackSend(b.track, x); break;
  case EVENT_TRACK_JACKSEND_ACTIVATE: logic->trackJackSendActivate(b.track, on); break;
  case EVENT_TRACK_SEND: logic->trackSend(b.track, b.send, x); break;
  case EVENT_TRACK_SEND_ACTIVE: logic->trackSendActive(b.track, b.send, on); break;
  case EVENT_TRACK_VOLUME: logic->trackVolume(b.track, x); break;
  case EVENT_TRACK_RECORD_ARM: logic->trackRecordArm(b.track, on); break;
  case EVENT_METRONOME_ACTIVE: logic->metronomeEnable(on); break;
  case EVENT_TIME_BPM: logic->setBpmZeroOne(x); break;
  case EVENT_TIME_TEMPO_TAP: logic->tapTempo(); break;
  default: break; // none, track pan and metronome volume do nothing here
  }
}

// ---- Feedback (JACK thread) ----

void GenericMIDI::send(const Binding& b, int value)
{
  const unsigned char msg[3] = {b.status, b.data, (unsigned char)(value & 0xFF)};
  writeMidi(msg);
}

void GenericMIDI::metronomeEnable(bool on)
{
  for (auto& b : outputBindings)
    if (b->action == EVENT_METRONOME_ACTIVE) {
      send(*b, on ? 127 : 0);
      return;
    }
}

void GenericMIDI::trackSend(int track, int sendNumber, float v)
{
  // A level outside 0..1 (or not a number) must not reach the integer conversion.
  if (!(v >= 0.f))
    v = 0.f;
  if (v > 1.f)
    v = 1.f;
  for (auto& b : outputBindings)
    if (b->action == EVENT_TRACK_SEND && b->track == track && b->send == sendNumber) {
      send(*b, (int)(v * 127));
      return;
    }
}

void GenericMIDI::trackSendActive(int track, int sendNumber, bool on)
{
  for (auto& b : outputBindings)
    if (b->action == EVENT_TRACK_SEND_ACTIVE && b->track == track && b->send == sendNumber) {
      send(*b, on ? 127 : 0);
      return;
    }
}

void GenericMIDI::recordArm(int track, bool armed)
{
  for (auto& b : outputBindings)
    if (b->action == EVENT_TRACK_RECORD_ARM && b->track == track) {
      send(*b, armed ? 127 : 0);
      return;
    }
}

void GenericMIDI::setSceneState(int track, int scene, int state)
{
  for (auto& b : outputBindings) {
    int value;
    if (b->action == EVENT_GRID_STATE && b->track == track && b->scene == scene &&
        b->clipStateValue(state, &value))
      send(*b, value);
  }
}

void GenericMIDI::launchScene(int scene)
{
  // A map lists its scene buttons as its first output bindings, in scene order: the one at
  // the launched position lights, the others go dark.
  const int n = (int)outputBindings.size();
  for (int i = 0; i < n; i++)
    if (outputBindings[i]->action == EVENT_GRID_LAUNCH_SCENE)
      send(*outputBindings[i], i == scene ? 127 : 0);
}

// ---- The map reader (interface thread) ----

namespace
{
const char* const CLIP_STATE_KEYS[Binding::CLIP_STATES] = {
  "empty", "playing", "queuePlaying", "stopped", "queueStopped", "recording", "queueRecording",
};

// A string field of the map's root: copied when it is a string, ignored with a warning
// when it is anything else.
void readText(const cJSON* root, const char* key, std::string* out, const char* found,
              const char* missing)
{
  const cJSON* item = cJSON_GetObjectItem(root, key);
  if (!item) {
    VESKO_NOTE("%s", missing);
    return;
  }
  if (!cJSON_IsString(item) || !item->valuestring) {
    VESKO_WARN("The \"%s\" field of the .ctlr map is not a string: ignored", key);
    return;
  }
  *out = item->valuestring;
  VESKO_NOTE(found, out->c_str());
}

// An optional number of a binding. False (with a warning) when present but not a number.
bool readNumber(const cJSON* object, const char* key, int* out, const char* action)
{
  const cJSON* item = cJSON_GetObjectItem(object, key);
  if (!item)
    return true;
  if (!cJSON_IsNumber(item)) {
    VESKO_WARN("Binding w Action:%s has a \"%s\" field that is not a number: fix .ctlr file",
               action, key);
    return false;
  }
  *out = item->valueint;
  return true;
}

// The parser's view of where the text went wrong: the line at the error, then five more.
void logParseError(const char* at)
{
  std::string rest = at ? at : "";
  size_t pos = 0;
  for (int line = 0; line < 6; line++) {
    std::string text;
    if (pos <= rest.size()) {
      size_t nl = rest.find('\n', pos);
      text = rest.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      pos = nl == std::string::npos ? rest.size() + 1 : nl + 1;
    }
    VESKO_ERROR("%s %s", line == 0 ? "Error in JSON *before*: " : "Error in JSON         : ",
                text.c_str());
  }
}

void readBindings(const cJSON* root, const char* key, std::vector<std::unique_ptr<Binding>>* into,
                  bool warnWhenMissing, const char* missing, const char* zero)
{
  const cJSON* array = cJSON_GetObjectItem(root, key);
  if (!array) {
    if (warnWhenMissing)
      VESKO_WARN("%s", missing);
    else
      VESKO_NOTE("%s", missing);
    return;
  }
  if (!cJSON_IsArray(array)) {
    VESKO_WARN("The \"%s\" field of the .ctlr map is not an array: ignored", key);
    return;
  }
  if (cJSON_GetArraySize(array) == 0) {
    VESKO_NOTE("%s", zero);
    return;
  }
  const cJSON* element;
  cJSON_ArrayForEach(element, array)
  {
    std::unique_ptr<Binding> b = GenericMIDI::setupBinding(element);
    if (b)
      into->push_back(std::move(b));
  }
}
} // namespace

int GenericMIDI::loadController(const std::string& path)
{
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 1) {
    VESKO_WARN("%s %s", "No controller file found at ", path.c_str());
    return 1;
  }
  if (st.st_size > MAX_MAP_BYTES) {
    VESKO_ERROR("Controller map %s is too large (%lld bytes): refused", path.c_str(),
                (long long)st.st_size);
    return 2;
  }
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    VESKO_WARN("%s %s", "No controller file found at ", path.c_str());
    return 1;
  }
  std::string text((size_t)st.st_size, '\0');
  const size_t got = fread(&text[0], 1, text.size(), f);
  fclose(f);
  text.resize(got);
  if (got == 0) {
    VESKO_WARN("%s %s", "No controller file found at ", path.c_str());
    return 1;
  }

  // The length bounds the parser, so a truncated file cannot make it read past the text.
  const char* errorAt = nullptr;
  cJSON* root = cJSON_ParseWithLengthOpts(text.data(), text.size(), &errorAt, 0);
  if (!root) {
    logParseError(errorAt);
    return 2;
  }
  if (!cJSON_IsObject(root)) {
    VESKO_ERROR("Controller map %s is not a JSON object", path.c_str());
    cJSON_Delete(root);
    return 2;
  }

  readText(root, "name", &name, "Device %s", "Has no name field");
  readText(root, "author", &author, "Author %s", "Has no author field");
  readText(root, "link", &link, "Link %s", "Has no link field");

  readBindings(root, "inputBindings", &mapInputs, true, "No input bindings array in .ctlr map.",
               "Zero input bindings present in .ctlr map.");
  readBindings(root, "outputBindings", &outputBindings, false,
               "No output bindings array in .ctlr map.", "Zero output bindings present in .ctlr map.");

  cJSON_Delete(root);
  VESKO_NOTE("%s", "Controller loading complete.");
  return 0;
}

std::unique_ptr<Binding> GenericMIDI::setupBinding(const cJSON* object)
{
  std::unique_ptr<Binding> b(new Binding());
  if (!cJSON_IsObject(object)) {
    VESKO_WARN("%s", "Binding is not a JSON object: fix .ctlr file");
    return nullptr;
  }
  const cJSON* actionItem = cJSON_GetObjectItem(object, "action");
  if (!actionItem) {
    VESKO_WARN("%s", "Binding doesn't have action field: fix .ctlr file");
    return nullptr;
  }
  if (!cJSON_IsString(actionItem) || !actionItem->valuestring) {
    VESKO_WARN("%s", "Binding action field is not a string: fix .ctlr file");
    return nullptr;
  }
  const char* action = actionItem->valuestring;

  const cJSON* status = cJSON_GetObjectItem(object, "status");
  const cJSON* data = cJSON_GetObjectItem(object, "data");
  if (!status || !data) {
    VESKO_WARN("Binding w Action:%s doesn't have status / data field: fix .ctlr file", action);
    return nullptr;
  }
  int statusValue = 0, dataValue = 0;
  if (!readNumber(object, "status", &statusValue, action) ||
      !readNumber(object, "data", &dataValue, action) ||
      !readNumber(object, "active", &b->active, action) ||
      !readNumber(object, "send", &b->send, action))
    return nullptr;
  b->status = (unsigned char)(statusValue & 0xFF);
  b->data = (unsigned char)(dataValue & 0xFF);

  if (strcmp(action, "grid:clip_state") == 0) {
    b->action = EVENT_GRID_STATE;
    if (const cJSON* states = cJSON_GetObjectItem(object, "state")) {
      if (!cJSON_IsObject(states)) {
        VESKO_WARN("Binding w Action:%s has a \"state\" field that is not an object: ignored",
                   action);
      } else {
        for (int s = 0; s < Binding::CLIP_STATES; s++) {
          const cJSON* v = cJSON_GetObjectItem(states, CLIP_STATE_KEYS[s]);
          if (v && cJSON_IsNumber(v))
            b->setClipStateValue(s, v->valueint);
          else if (v)
            VESKO_WARN("Clip state \"%s\" of a grid:clip_state binding is not a number: ignored",
                       CLIP_STATE_KEYS[s]);
        }
      }
    }
  } else if (strcmp(action, "grid:launch_scene") == 0) {
    b->action = EVENT_GRID_LAUNCH_SCENE;
  } else if (strcmp(action, "grid:special_clip_event") == 0) {
    b->action = EVENT_GRID_SELECT_CLIP_EVENT;
  } else if (strcmp(action, "grid:select_clip_enable") == 0) {
    b->action = EVENT_GRID_SELECT_CLIP_ENABLE;
  } else if (strcmp(action, "master:volume") == 0) {
    b->action = EVENT_MASTER_VOL;
  } else if (strcmp(action, "metronome:active") == 0) {
    b->action = EVENT_METRONOME_ACTIVE;
    VESKO_NOTE("binding metro active event, tmp->active == %i", b->active);
  } else {
    b->action = eventTypeForName(action);
  }
  if (b->action == EVENT_NULL) {
    VESKO_WARN("Binding action not recognized: %s", action);
    return nullptr;
  }

  if (!readNumber(object, "track", &b->track, action) ||
      !readNumber(object, "scene", &b->scene, action))
    return nullptr;
  return b;
}
