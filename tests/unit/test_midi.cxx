#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "controller/bindinglist.hxx"
#include "gridlogic.hxx"
#include "timemanager.hxx"
#include "trackoutput.hxx"
#include "midi_fixture.hxx"

namespace
{
// A controller that answers every message with the message itself and a copy whose last
// byte is one higher, and remembers what it was given. Fixed storage: it runs on the JACK
// thread.
class Echo : public Controller, public MidiIO
{
public:
  explicit Echo(const char* n) : name(n) { registerMidiPorts(name); }
  const char* getName() override { return name.c_str(); }
  int registerComponents() override
  {
    jack->registerMidiIO(this);
    return 0;
  }
  void unregisterComponents() override { jack->unregisterMidiIO(this); }
  void midi(const unsigned char* d) override
  {
    if (count < 64) {
      heard[count][0] = d[0];
      heard[count][1] = d[1];
      heard[count][2] = d[2];
    }
    count++;
    writeMidi(d);
    const unsigned char next[3] = {d[0], d[1], (unsigned char)(d[2] + 1)};
    writeMidi(next);
  }
  Bytes message(int i) const { return Bytes(heard[i], heard[i] + 3); }

  std::string name;
  unsigned char heard[64][3] = {};
  int count = 0;
};

const char* FEEDBACK_MAP = R"({
  "name": "fb",
  "outputBindings": [
    {"action": "grid:launch_scene", "status": 144, "data": 82, "scene": 0},
    {"action": "grid:launch_scene", "status": 144, "data": 83, "scene": 1},
    {"action": "grid:launch_scene", "status": 144, "data": 84, "scene": 2},
    {"action": "grid:clip_state", "status": 144, "data": 53, "track": 0, "scene": 0,
     "state": {"playing": 1, "stopped": 3}},
    {"action": "grid:clip_state", "status": 145, "data": 53, "track": 0, "scene": 0,
     "state": {"playing": 5}},
    {"action": "track:send", "status": 176, "data": 20, "track": 0, "send": 0},
    {"action": "track:send", "status": 176, "data": 21, "track": 0, "send": 0},
    {"action": "track:send_active", "status": 144, "data": 30, "track": 1, "send": 2},
    {"action": "track:record_arm", "status": 144, "data": 40, "track": 2},
    {"action": "metronome:active", "status": 144, "data": 50},
    {"action": "metronome:active", "status": 144, "data": 51}
  ]})";
} // namespace

TEST_F(MidiTest, PortsCarryTheNameAndOutputIsWrittenAtFrameZeroIntoAFreshBufferEachPeriod)
{
  GenericMIDI pad("pad");
  ASSERT_NE(fakejack::port("pad in"), nullptr);
  ASSERT_NE(fakejack::port("pad out"), nullptr);
  EXPECT_EQ(fakejack::port("pad in")->type, JACK_DEFAULT_MIDI_TYPE);
  EXPECT_EQ(fakejack::port("pad in")->flags, (unsigned long)JackPortIsInput);
  EXPECT_EQ(fakejack::port("pad out")->flags, (unsigned long)JackPortIsOutput);

  Echo* echo = handOver(new Echo("echo"));
  fakejack::sendMidi("echo in", {0x90, 36, 100});
  fakejack::sendMidi("echo in", {0xB0, 7, 5}, 17);
  fakejack::cycle();
  std::vector<Bytes> expected = {{0x90, 36, 100}, {0x90, 36, 101}, {0xB0, 7, 5}, {0xB0, 7, 6}};
  EXPECT_EQ(sent("echo out"), expected) << "in the order written, all at frame 0";

  fakejack::cycle();
  EXPECT_TRUE(sent("echo out").empty()) << "a period that writes nothing sends nothing";
  EXPECT_EQ(echo->count, 2) << "each message is read once";

  // A one-byte clock tick and a two-byte program change: the missing bytes read as 0.
  fakejack::sendMidi("echo in", {0xF8});
  fakejack::sendMidi("echo in", {0xC0, 5});
  fakejack::cycle();
  ASSERT_EQ(echo->count, 4);
  EXPECT_EQ(echo->message(2), (Bytes{0xF8, 0, 0}));
  EXPECT_EQ(echo->message(3), (Bytes{0xC0, 5, 0}));
}

// A period that a beat cuts in two runs two pieces; its MIDI is read in the first only.
TEST_F(MidiTest, EachMessageIsReadOnceAlsoInPeriodsCutByABeat)
{
  Echo* echo = handOver(new Echo("echo"));
  TimeManager* time = jack->getTimeManager();
  ASSERT_NE(std::fmod(time->getFpb(), 256.0), 0.0) << "beats must fall inside periods";
  const int beatsBefore = time->getBeatCounter();
  const int before = echo->count;
  for (int i = 0; i < 400; i++) {
    fakejack::sendMidi("echo in", {0x90, 36, (unsigned char)(i & 0x7F)});
    fakejack::cycle();
    ASSERT_EQ(sent("echo out").size(), 2u) << "period " << i;
  }
  EXPECT_GE(time->getBeatCounter() - beatsBefore, 3);
  EXPECT_EQ(echo->count - before, 400);
}

// While the transport is stopped the event drain still runs, but no MIDI is read: the
// device's messages of those periods are lost, and learning waits for a message that is.
TEST_F(MidiTest, NothingIsReadWhileTheTransportIsStopped)
{
  Echo* echo = handOver(new Echo("echo"));
  GenericMIDI* pad = handOver(new GenericMIDI("pad"));
  EventTransportState stopTransport(0);
  writeToDspRingbuffer(&stopTransport);
  EventControllerBindingEnable learn(-1, true);
  writeToDspRingbuffer(&learn);
  fakejack::cycle();
  const int before = echo->count;
  fakejack::sendMidi("echo in", {0x90, 36, 100});
  fakejack::sendMidi("pad in", {0x90, 36, 100});
  fakejack::cycles(3);
  EXPECT_EQ(echo->count, before);
  EXPECT_TRUE(sent("echo out").empty());
  EXPECT_TRUE(pad->getInputBindings().empty());
  EXPECT_TRUE(jack->bindingLearnEnable()) << "learning still waits";

  EventTransportState startTransport(1);
  writeToDspRingbuffer(&startTransport);
  fakejack::cycle();
  EXPECT_EQ(echo->count, before) << "what came while stopped is not read later";
  fakejack::sendMidi("pad in", {0x90, 37, 100});
  fakejack::cycle();
  ASSERT_EQ(pad->getInputBindings().size(), 1u);
  EXPECT_EQ(pad->getInputBindings()[0].data, 37);
}

TEST_F(MidiTest, AFullOutputBufferDropsFurtherMessagesQuietly)
{
  fakejack::setMidiCapacity(7); // room for two three-byte messages
  handOver(new Echo("small"));
  fakejack::sendMidi("small in", {0x90, 1, 1});
  fakejack::sendMidi("small in", {0x90, 2, 1});
  fakejack::cycle();
  std::vector<Bytes> expected = {{0x90, 1, 1}, {0x90, 1, 2}};
  EXPECT_EQ(sent("small out"), expected);
}

TEST_F(MidiTest, ASecondControllerOfTheSameNameHasNoPortsAndSendsNothing)
{
  std::string map = writeMap("dup.ctlr", R"({"name": "dup", "outputBindings": [
    {"action": "metronome:active", "status": 144, "data": 10}]})");
  GenericMIDI* first = handOver(new GenericMIDI(GenericMIDI::MapFile{map}));
  testing::internal::CaptureStdout();
  GenericMIDI* second = new GenericMIDI(GenericMIDI::MapFile{map});
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error registering JACK ports"), std::string::npos) << out;
  handOver(second);
  EXPECT_TRUE(first->midiPortsRegistered());
  EXPECT_FALSE(second->midiPortsRegistered());
  EXPECT_EQ(second->status(), 1) << "still a valid controller";

  fakejack::cycle();
  {
    rtcheck::ProcessScope rt;
    jack->getControllerUpdater()->metronomeEnable(true);
  }
  EXPECT_EQ(sent("dup out"), (std::vector<Bytes>{{0x90, 10, 127}}));
}

TEST_F(MidiTest, ARemovedControllerLeavesTheMidiListBeforeTheInterfaceDestroysIt)
{
  GenericMIDI* pad = handOver(new GenericMIDI("pad"));
  EXPECT_EQ(jack->midiIOCount(), 1);
  EXPECT_TRUE(pad->inEngineList());

  EventControllerInstanceRemove remove(pad->getID());
  writeToDspRingbuffer(&remove);
  fakejack::cycle();
  EXPECT_EQ(jack->midiIOCount(), 0);
  EXPECT_FALSE(pad->inEngineList()) << "out of the list before it is handed back";

  testing::internal::CaptureStdout();
  handleGuiEvents(); // the interface destroys what the engine handed back
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Deleting controller pad"), std::string::npos) << out;
  EXPECT_EQ(out.find("still services it"), std::string::npos) << out;
  for (const std::string& name : fakejack::portNames())
    EXPECT_EQ(name.find("pad "), std::string::npos) << name << " is still registered";

  // The engine goes on without touching the destroyed object (a sanitizer build would
  // catch it), and the names are free for a new controller.
  fakejack::sendMidi("pad in", {0x90, 36, 127});
  fakejack::cycles(3);
  GenericMIDI again("pad");
  EXPECT_TRUE(again.midiPortsRegistered());
}

TEST_F(MidiTest, FeedbackFollowsTheOutputBindings)
{
  handOver(new GenericMIDI(GenericMIDI::MapFile{writeMap("fb.ctlr", FEEDBACK_MAP)}));
  ControllerUpdater* u = jack->getControllerUpdater();
  struct Case {
    const char* what;
    std::function<void()> announce;
    std::vector<Bytes> expected;
  };
  std::vector<Case> cases = {
    {"send level 1.0", [&] { u->trackSend(0, 0, 1.f); }, {{0xB0, 20, 127}}},
    {"send level 0.5, first binding only", [&] { u->trackSend(0, 0, 0.5f); }, {{0xB0, 20, 63}}},
    {"send of another number", [&] { u->trackSend(0, 1, 0.5f); }, {}},
    {"send switch on", [&] { u->trackSendActive(1, 2, true); }, {{0x90, 30, 127}}},
    {"send switch off", [&] { u->trackSendActive(1, 2, false); }, {{0x90, 30, 0}}},
    {"record arm", [&] { u->recordArm(2, true); }, {{0x90, 40, 127}}},
    {"record arm of an unmapped track", [&] { u->recordArm(3, true); }, {}},
    {"metronome, first binding only", [&] { u->metronomeEnable(false); }, {{0x90, 50, 0}}},
    {"playing: every clip-state binding", [&] { u->setSceneState(0, 0, 1); },
     {{0x90, 53, 1}, {0x91, 53, 5}}},
    {"stopped", [&] { u->setSceneState(0, 0, 3); }, {{0x90, 53, 3}}},
    {"a state the map lacks", [&] { u->setSceneState(0, 0, 5); }, {}},
    {"another clip", [&] { u->setSceneState(0, 1, 1); }, {}},
    {"scene 1 lights position 1", [&] { u->launchScene(1); },
     {{0x90, 82, 0}, {0x90, 83, 127}, {0x90, 84, 0}}},
    {"scene 5 lights nothing", [&] { u->launchScene(5); }, {{0x90, 82, 0}, {0x90, 83, 0}, {0x90, 84, 0}}},
    {"volume is not shown", [&] { u->volume(0, 0.5f); }, {}},
  };
  for (Case& c : cases) {
    fakejack::cycle();
    {
      rtcheck::ProcessScope rt;
      c.announce();
    }
    EXPECT_EQ(sent("fb out"), c.expected) << c.what;
  }
}

TEST_F(MidiTest, LearningBindsTheLastTargetToTheNextMessageAndRemovalUnbindsIt)
{
  GenericMIDI* pad = handOver(new GenericMIDI("pad"));
  takeGui();

  EventControllerBindingEnable on(-1, true);
  writeToDspRingbuffer(&on);
  EventMasterInputToActive target(3, true); // place 3, switched on
  writeToDspRingbuffer(&target);
  fakejack::cycle();
  fakejack::sendMidi("pad in", {0xB0, 64, 127});
  fakejack::cycle();

  const Binding* made = nullptr;
  bool switchedOff = false;
  for (const GuiRecord& r : takeGui()) {
    if (r.type == EVENT_CONTROLLER_BINDING_ENABLE) {
      EXPECT_EQ(r.as<EventControllerBindingEnable>().controllerID, pad->getID());
      switchedOff = !r.as<EventControllerBindingEnable>().enable;
      EXPECT_EQ(made, nullptr) << "the button goes off before the row arrives";
    } else if (r.type == EVENT_CONTROLLER_BINDING_MADE) {
      EXPECT_EQ(r.as<EventControllerBindingMade>().controllerID, pad->getID());
      made = r.as<EventControllerBindingMade>().binding;
    }
  }
  EXPECT_TRUE(switchedOff);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->action, EVENT_MASTER_INPUT_TO_ACTIVE);
  EXPECT_EQ(made->status, 0xB0);
  EXPECT_EQ(made->data, 64);
  EXPECT_EQ(made->send, 3);
  EXPECT_EQ(made->active, 1);
  EXPECT_EQ(made->track, -2);
  EXPECT_EQ(made->scene, -1);
  EXPECT_FALSE(jack->bindingLearnEnable());
  EXPECT_EQ(jack->bindingEventType(), 0);
  EXPECT_EQ(jack->bindingSend(), -1) << "the learn record starts afresh";

  fakejack::sendMidi("pad in", {0xB0, 65, 127});
  fakejack::cycle();
  std::vector<Binding> bindings = pad->getInputBindings();
  ASSERT_EQ(bindings.size(), 1u) << "learning is off again";
  EXPECT_EQ(bindings[0].ID, made->ID);

  // Removal requests: an unknown binding, the window's controller, then the real one.
  for (EventControllerBindingRemove r : {EventControllerBindingRemove(pad->getID(), made->ID + 1000),
                                         EventControllerBindingRemove(0, made->ID),
                                         EventControllerBindingRemove(pad->getID(), made->ID)})
    writeToDspRingbuffer(&r);
  fakejack::cycle();
  EXPECT_TRUE(pad->getInputBindings().empty());
}

TEST_F(MidiTest, LearningStopsWithAMessageWhenTheControllersRoomIsUsedUp)
{
  GenericMIDI* pad = handOver(new GenericMIDI("pad"));
  takeGui();
  const Binding* last = nullptr;
  {
    rtcheck::ProcessScope rt;
    for (int i = 0; i <= GenericMIDI::LEARN_CAPACITY; i++)
      last = pad->setupBinding(EVENT_TRACK_VOLUME, 0xB0, i & 0x7F, 0, -1, -1, 1);
  }
  EXPECT_EQ(last, nullptr);
  EXPECT_EQ(pad->getInputBindings().size(), (size_t)GenericMIDI::LEARN_CAPACITY);
  EXPECT_NE(prints(takeGui()).find("pad: no room to learn more bindings"), std::string::npos);
}

// The interface copies the list while the JACK thread appends and removes: every copy
// holds whole bindings, each at most once, in list order.
TEST(BindingListTest, ACopyTakenDuringChangesIsConsistent)
{
  const int N = 4000;
  std::vector<Binding> pool(N);
  for (int i = 0; i < N; i++) {
    pool[i].data = (unsigned char)(pool[i].ID & 0x7F);
    pool[i].track = pool[i].ID * 3;
  }
  BindingList list(N);
  std::atomic<bool> done{false};
  std::atomic<long> copies{0}, faults{0};
  std::thread reader([&] {
    while (!done.load()) {
      std::vector<Binding> c = list.copy();
      for (size_t i = 0; i < c.size(); i++) {
        if (c[i].track != c[i].ID * 3 || c[i].data != (c[i].ID & 0x7F))
          faults++;
        if (i > 0 && c[i].ID <= c[i - 1].ID)
          faults++;
      }
      copies++;
    }
  });
  while (copies.load() == 0)
    std::this_thread::yield();
  for (int i = 0; i < N; i++) {
    EXPECT_TRUE(list.append(&pool[i]));
    if (i % 3 == 0) {
      EXPECT_NE(list.remove(pool[i / 2].ID), nullptr) << i;
    }
  }
  while (copies.load() < 10)
    std::this_thread::yield();
  done = true;
  reader.join();
  EXPECT_EQ(faults.load(), 0);
  EXPECT_FALSE(list.append(&pool[0])) << "every place is used";
}

// ---- What matched input bindings do ----

namespace
{
// One line per announcement the window's controller passed on, and "> text" per message;
// meters, progress and bar/beat reports are left out.
std::vector<std::string> describe(const std::vector<GuiRecord>& records)
{
  std::vector<std::string> out;
  char s[96];
  auto onOff = [](bool b) { return b ? "on" : "off"; };
  for (const GuiRecord& r : records) {
    s[0] = '\0';
    switch (r.type) {
    case EVENT_GUI_PRINT: snprintf(s, sizeof(s), "> %s", r.as<EventGuiPrint>().print); break;
    case EVENT_MASTER_VOL: snprintf(s, sizeof(s), "master vol %.2f", r.as<EventMasterVol>().vol); break;
    case EVENT_MASTER_INPUT_VOL: snprintf(s, sizeof(s), "input vol %.2f", r.as<EventMasterInputVol>().vol); break;
    case EVENT_MASTER_INPUT_TO:
      snprintf(s, sizeof(s), "input to %d %.2f", r.as<EventMasterInputTo>().place, r.as<EventMasterInputTo>().value);
      break;
    case EVENT_MASTER_INPUT_TO_ACTIVE:
      snprintf(s, sizeof(s), "input to %d %s", r.as<EventMasterInputToActive>().place,
               onOff(r.as<EventMasterInputToActive>().active));
      break;
    case EVENT_MASTER_RETURN: snprintf(s, sizeof(s), "return %.2f", r.as<EventMasterReturn>().vol); break;
    case EVENT_METRONOME_ACTIVE: snprintf(s, sizeof(s), "metronome %s", onOff(r.as<EventMetronomeActive>().active)); break;
    case EVENT_TRACK_SEND: {
      auto& e = r.as<EventTrackSend>();
      snprintf(s, sizeof(s), "send %d %d %.2f", e.track, e.send, e.value);
      break;
    }
    case EVENT_TRACK_SEND_ACTIVE: {
      auto& e = r.as<EventTrackSendActive>();
      snprintf(s, sizeof(s), "send %d %d %s", e.track, e.send, onOff(e.active));
      break;
    }
    case EVENT_TRACK_JACKSEND:
      snprintf(s, sizeof(s), "jack send %d %.2f", r.as<EventTrackJackSend>().track, r.as<EventTrackJackSend>().value);
      break;
    case EVENT_TRACK_JACKSEND_ACTIVATE:
      snprintf(s, sizeof(s), "jack send %d %s", r.as<EventTrackJackSendActivate>().track,
               onOff(r.as<EventTrackJackSendActivate>().active));
      break;
    case EVENT_TRACK_VOLUME:
      snprintf(s, sizeof(s), "volume %d %.2f", r.as<EventTrackVol>().track, r.as<EventTrackVol>().vol);
      break;
    case EVENT_TRACK_PAN: snprintf(s, sizeof(s), "pan %d", r.as<EventTrackPan>().track); break;
    case EVENT_TRACK_RECORD_ARM:
      snprintf(s, sizeof(s), "arm %d %s", r.as<EventTrackRecordArm>().track,
               onOff(r.as<EventTrackRecordArm>().recordArm != 0.f));
      break;
    case EVENT_GRID_STATE: {
      auto& e = r.as<EventGridState>();
      snprintf(s, sizeof(s), "clip %d %d %d", e.track, e.scene, e.state);
      break;
    }
    case EVENT_GRID_LAUNCH_SCENE: snprintf(s, sizeof(s), "launch %d", r.as<EventGridLaunchScene>().scene); break;
    case EVENT_GRID_SELECT_NEW_CHOSEN:
      snprintf(s, sizeof(s), "special %d %d", r.as<EventGridSelectNewChosen>().track,
               r.as<EventGridSelectNewChosen>().scene);
      break;
    default: break;
    }
    if (s[0])
      out.push_back(s);
  }
  return out;
}

// True when `want` appears in `got` in this order (other lines may come between).
bool inOrder(const std::vector<std::string>& got, const std::vector<std::string>& want)
{
  size_t i = 0;
  for (const std::string& g : got)
    if (i < want.size() && g.rfind(want[i], 0) == 0)
      i++;
  return i == want.size();
}

std::string joined(const std::vector<std::string>& lines)
{
  std::string s;
  for (auto& l : lines)
    s += "  " + l + "\n";
  return s;
}

const char* ACTION_MAP = R"({"name": "pad", "inputBindings": [
  {"action": "track:record_arm", "status": 144, "data": 36, "track": 0, "active": 1},
  {"action": "track:record_arm", "status": 128, "data": 36, "track": 0, "active": 0},
  {"action": "track:volume", "status": 176, "data": 7, "track": 1},
  {"action": "track:volume", "status": 176, "data": 7, "track": 2},
  {"action": "track:volume", "status": 176, "data": 8},
  {"action": "master:volume", "status": 176, "data": 22},
  {"action": "master:input_vol", "status": 176, "data": 23},
  {"action": "master:input_to", "status": 176, "data": 24, "send": 1},
  {"action": "master:input_to_active", "status": 144, "data": 25, "send": 1, "active": 1},
  {"action": "master:return", "status": 176, "data": 26},
  {"action": "track:send", "status": 176, "data": 20, "track": 0, "send": 0},
  {"action": "track:send_active", "status": 144, "data": 21, "track": 0, "send": 1, "active": 1},
  {"action": "track:jack_send", "status": 176, "data": 27, "track": 3},
  {"action": "track:jack_send_activate", "status": 144, "data": 28, "track": 3, "active": 1},
  {"action": "track:pan", "status": 176, "data": 30, "track": 0},
  {"action": "metronome:volume", "status": 176, "data": 31},
  {"action": "grid:event", "status": 144, "data": 40, "track": 0, "scene": 0, "active": 1},
  {"action": "grid:event", "status": 128, "data": 40, "track": 0, "scene": 0, "active": 0},
  {"action": "grid:event", "status": 144, "data": 41, "track": 0, "scene": 0, "active": -1},
  {"action": "grid:event", "status": 144, "data": 42, "track": 0, "scene": 12, "active": 1},
  {"action": "grid:launch_scene", "status": 144, "data": 82, "scene": 2},
  {"action": "grid:select_clip_enable", "status": 144, "data": 29, "active": 1},
  {"action": "grid:select_clip_enable", "status": 128, "data": 29, "active": 0},
  {"action": "metronome:active", "status": 144, "data": 100, "active": 1},
  {"action": "grid:special_clip_event", "status": 176, "data": 64},
  {"action": "tempo_bpm", "status": 176, "data": 10},
  {"action": "tempo_tap", "status": 144, "data": 60}
]})";
} // namespace

class MidiActionTest : public MidiTest
{
protected:
  void SetUp() override
  {
    MidiTest::SetUp();
    pad = handOver(new GenericMIDI(GenericMIDI::MapFile{writeMap("pad.ctlr", ACTION_MAP)}));
    ASSERT_EQ(pad->status(), 1);
    takeGui();
  }
  // One message from the device, one period, and what the window was told.
  std::vector<std::string> play(const Bytes& message)
  {
    fakejack::sendMidi("pad in", message);
    fakejack::cycle();
    return describe(takeGui());
  }
  GenericMIDI* pad = nullptr;
};

TEST_F(MidiActionTest, EveryActionOfAMatchedBindingReachesTheEngine)
{
  struct Case {
    Bytes message;
    std::vector<std::string> expected; // in this order; other lines may come between
    bool only;                          // and nothing else but messages
  };
  std::vector<Case> cases = {
    {{0x90, 36, 127}, {"arm 0 on"}, true},
    {{0x80, 36, 0}, {"arm 0 off"}, true}, // note-off: its own binding, active 0
    {{0xB0, 7, 64}, {"volume 1 0.50", "volume 2 0.50"}, true}, // both bindings, in list order
    {{0xB0, 8, 64}, {"> trackVolume: invalid track number -2"}, true},
    {{0xB0, 22, 127}, {"master vol 1.00"}, true},
    {{0xB0, 23, 127}, {"input vol 1.00"}, true},
    {{0xB0, 24, 127}, {"input to 1 1.00"}, true},
    {{0x90, 25, 3}, {"input to 1 on"}, true}, // the switch value is the binding's
    {{0xB0, 26, 0}, {"return 0.00"}, true},
    {{0xB0, 20, 127}, {"send 0 0 1.00"}, true},
    {{0x90, 21, 5}, {"send 0 1 on"}, true},
    {{0xB0, 27, 127}, {"jack send 3 1.00"}, true},
    {{0x90, 28, 1}, {"jack send 3 on"}, true},
    {{0xB0, 30, 64}, {}, true}, // pan: accepted, no effect
    {{0xB0, 31, 64}, {}, true}, // metronome volume: likewise
    {{0xB0, 99, 64}, {}, true}, // no binding
    {{0x90, 40, 127}, {"clip 0 1 0", "clip 0 0 6"}, false}, // press: record queued
    {{0x80, 40, 0}, {"clip 0 0 6"}, true},                   // release: state again
    {{0x90, 41, 127}, {"clip 0 0 0"}, false},                // clear
    {{0x90, 42, 127}, {}, false},                            // scene 12 is refused
    {{0x90, 82, 127}, {"launch 2"}, false},
    {{0x90, 29, 127}, {"> Select track enable 1"}, true},
    {{0x90, 40, 127}, {"special 0 0"}, true}, // a press now only chooses the special clip
    {{0x80, 29, 0}, {"> Select track enable 0"}, true},
    {{0x90, 100, 127}, {"> Set Footswitch to 1", "metronome on"}, true}, // then matched as usual
  };
  for (const Case& c : cases) {
    std::vector<std::string> got = play(c.message);
    std::string what = std::to_string(c.message[0]) + "/" + std::to_string(c.message[1]);
    EXPECT_TRUE(inOrder(got, c.expected)) << what << " gave\n" << joined(got);
    if (c.only) {
      size_t announcements = 0;
      for (auto& g : got)
        announcements += g.rfind("> ", 0) != 0;
      size_t expectedAnnouncements = 0;
      for (auto& e : c.expected)
        expectedAnnouncements += e.rfind("> ", 0) != 0;
      EXPECT_EQ(announcements, expectedAnnouncements) << what << " gave\n" << joined(got);
    }
  }
  EXPECT_FALSE(jack->getTrackOutput(0)->recordArm());
  EXPECT_FLOAT_EQ(jack->getTrackOutput(1)->getMaster(), 64 / 127.f);
  EXPECT_FLOAT_EQ(jack->getTrackOutput(2)->getMaster(), 64 / 127.f);
  EXPECT_TRUE(pad->footswitchNext());
}

// The footswitch's three notes set its mode; in next- or previous-scene mode a press above
// half way steps the scene, anything else is the special clip action.
TEST_F(MidiActionTest, FootswitchModesAndTheirThresholdAtVelocity64)
{
  GridLogic* grid = jack->getGridLogic();
  struct Case {
    Bytes message;
    int sceneAfter;
    std::vector<std::string> expected;
  };
  std::vector<Case> cases = {
    {{0xB0, 64, 127}, 0, {"> footswitch special clip action now", "clip 0 0 6"}}, // no mode: press
    {{0xB0, 64, 0}, 0, {"> footswitch special clip action now", "clip 0 0 6"}},   // release
    {{0x90, 100, 0}, 0, {"> Set Footswitch to 1"}},
    {{0xB0, 64, 64}, 1, {"> footswitch next scene *now*", "launch 1"}}, // 64/127 > 0.5
    {{0xB0, 64, 63}, 1, {"> footswitch special clip action now"}},       // 63/127 < 0.5
    {{0xB0, 64, 127}, 2, {"> footswitch next scene *now*", "launch 2"}},
    {{0x90, 101, 0}, 2, {"> Set Footswitch to -1"}},
    {{0xB0, 64, 100}, 1, {"> footswitch prev scene *now*", "launch 1"}},
    {{0xB0, 64, 100}, 0, {"> footswitch prev scene *now*", "launch 0"}},
    {{0xB0, 64, 100}, 0, {"> footswitch prev scene *now*"}}, // no scene -1: it stays
    {{0x90, 96, 0}, 0, {"> Set Footswitch to 0"}},
    {{0xB0, 64, 127}, 0, {"> footswitch special clip action now"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got = play(c.message);
    EXPECT_TRUE(inOrder(got, c.expected)) << (int)c.message[1] << "/" << (int)c.message[2] << " gave\n"
                                          << joined(got);
    EXPECT_EQ(grid->getSceneLaunched(), c.sceneAfter) << (int)c.message[2];
  }
  std::vector<std::string> last = play({0xB0, 64, 100});
  EXPECT_FALSE(inOrder(last, {"launch"})) << "no mode, no scene step";
}

TEST_F(MidiActionTest, TempoFaderAndTapReachTheTimeManager)
{
  TimeManager* time = jack->getTimeManager();
  const double samplerate = 48000;
  play({0xB0, 10, 127}); // 220 BPM, from the next bar line
  fakejack::cycles(4 * 94 + 10);
  EXPECT_NEAR(time->getFpb(), samplerate * 60 / 220, 1.0);

  // Four taps 94 periods apart: a beat of a third of their span.
  for (int i = 0; i < 4; i++) {
    play({0x90, 60, 127});
    fakejack::cycles(93);
  }
  fakejack::cycles(4 * 94);
  EXPECT_NEAR(time->getFpb(), 94 * 256, 1.0);
}

// The binding made from a message acts on that message, in the same period.
TEST_F(MidiActionTest, ALearntBindingActsOnTheMessageThatMadeIt)
{
  EventControllerBindingEnable on(-1, true);
  writeToDspRingbuffer(&on);
  EventTrackVol target(3, 0.2f); // the window's fader of track 3
  writeToDspRingbuffer(&target);
  fakejack::cycle();
  takeGui();
  fakejack::sendMidi("pad in", {0xB0, 50, 127});
  fakejack::cycle();
  std::vector<GuiRecord> records = takeGui();
  std::vector<int> order;
  for (auto& r : records)
    if (r.type == EVENT_CONTROLLER_BINDING_MADE || r.type == EVENT_TRACK_VOLUME)
      order.push_back(r.type);
  EXPECT_EQ(order, (std::vector<int>{EVENT_CONTROLLER_BINDING_MADE, EVENT_TRACK_VOLUME}));
  EXPECT_TRUE(inOrder(describe(records), {"volume 3 1.00"}));
  EXPECT_FLOAT_EQ(jack->getTrackOutput(3)->getMaster(), 1.f);

  // From now on it is an input binding like the map's.
  EXPECT_TRUE(inOrder(play({0xB0, 50, 0}), {"volume 3 0.00"}));
}
