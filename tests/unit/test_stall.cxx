// The interface stops draining for ten seconds of engine time while eight tracks record and
// play, then goes on. The interface is the real one (without a window) under a private HOME;
// only the JACK client calls are the test's.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "controller/genericmidi.hxx"
#include "controllerupdater.hxx"
#include "dialog.hxx"
#include "engine_fixture.hxx"
#include "gridstate.hxx"
#include "gui.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "wavfile.hxx"

namespace
{
// Every complete record readable in a queue, copied out without reading it.
template <class F> void peekRecords(jack_ringbuffer_t* rb, F f)
{
  std::vector<char> bytes(jack_ringbuffer_read_space(rb));
  jack_ringbuffer_peek(rb, bytes.data(), bytes.size());
  size_t at = 0;
  while (bytes.size() - at >= sizeof(EventBase)) {
    const EventBase* e = reinterpret_cast<const EventBase*>(bytes.data() + at);
    if (e->size() > bytes.size() - at)
      break;
    f(e);
    at += e->size();
  }
}

// Every buffer that changes hands, by address: made by the interface (seen on its way to the
// engine) and destroyed by the interface (seen on its way back, before the drain that
// destroys it). A buffer freed twice, or never made, is a fault; so is one left alive that
// no clip holds.
struct BufferLedger {
  std::set<const AudioBuffer*> live;
  int made = 0, freed = 0;
  std::vector<std::string> faults;

  void make(const AudioBuffer* ab)
  {
    made++;
    if (!live.insert(ab).second)
      faults.push_back("made while alive");
  }
  // Before each period: the answers and loads the engine is about to take.
  void seeMade()
  {
    peekRecords(rbToDsp, [&](const EventBase* e) {
      const AudioBuffer* ab = nullptr;
      if (e->type() == EVENT_LOOPER_CLIP_REQUEST_BUFFER)
        ab = static_cast<const EventLooperClipRequestBuffer*>(e)->ab;
      else if (e->type() == EVENT_REQUEST_SAVE_BUFFER)
        ab = static_cast<const EventRequestSaveBuffer*>(e)->ab;
      else if (e->type() == EVENT_LOOPER_LOAD)
        ab = static_cast<const EventLooperLoad*>(e)->audioBuffer;
      if (ab)
        make(ab);
    });
  }
  // Before each drain: what it will destroy.
  void seeFreed()
  {
    peekRecords(rbToGui, [&](const EventBase* e) {
      const AudioBuffer* ab = nullptr;
      if (e->type() == EVENT_DEALLOCATE_BUFFER)
        ab = static_cast<const EventDeallocateBuffer*>(e)->ab;
      else if (e->type() == EVENT_STATE_SAVE_BUFFER && !static_cast<const EventStateSaveBuffer*>(e)->keepBuffer)
        ab = static_cast<const EventStateSaveBuffer*>(e)->ab;
      if (!ab)
        return;
      freed++;
      if (live.erase(ab) != 1)
        faults.push_back("freed but not alive");
    });
  }
};

class StallTest : public EngineTest
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/vesko-stall-XXXXXX";
    home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    interface = std::make_unique<Gui>("vesko", false);
    EngineTest::SetUp();
    for (int t = 0; t < NTRACKS; t++)
      for (int s = 0; s < NSCENES; s++)
        ledger.live.insert(jack->getLooper(t)->getClip(s)->buffer());
  }
  void TearDown() override
  {
    EngineTest::TearDown();
    dialog::inputAnswerer = nullptr;
    interface.reset();
    std::filesystem::remove_all(home);
  }

  // One period, the input telling each frame's number (left) and its negative (right).
  void period()
  {
    ledger.seeMade();
    float* l = fakejack::audio("master_in_left");
    float* r = fakejack::audio("master_in_right");
    for (int i = 0; i < period_; i++) {
      l[i] = (float)(frame + i);
      r[i] = -(float)(frame + i);
    }
    fakejack::cycle();
    frame += period_;
  }
  void drain()
  {
    ledger.seeFreed();
    handleGuiEvents();
  }
  // Periods until frame `until`; the interface drains about every 1/30 s unless stalled.
  void runUntil(int64_t until, bool draining = true)
  {
    while (frame < until) {
      period();
      if (draining && ++sinceDrain >= 6) {
        sinceDrain = 0;
        drain();
      }
    }
  }
  LooperClip* clip(int t, int s) { return jack->getLooper(t)->getClip(s); }

  std::string writeMap(const std::string& name, const std::string& bindings)
  {
    std::string path = home + "/.config/morvit/vesko/controllers/" + name + ".ctlr";
    FILE* f = fopen(path.c_str(), "w");
    fprintf(f, R"({"name": "%s", "inputBindings": [%s]})", name.c_str(), bindings.c_str());
    fclose(f);
    return path;
  }

  const int period_ = 256;
  std::string home;
  std::unique_ptr<Gui> interface;
  BufferLedger ledger;
  int64_t frame = 0;
  int sinceDrain = 0;
};
} // namespace

// At 120 BPM a bar is 96000 frames. The interface stalls from 3 s to 13 s. Every track
// records from frame 0. During the stall a MIDI pad turns the takes of tracks 0-3 into loops
// at the bar line of 6 s; at 12.2 s, with the queue toward the interface full, it arms those
// tracks and presses their scene 1 (a 3 s sample): new takes queued for 14 s, whose buffer
// requests find no room. Tracks 4-7 record through it all. Once back, the window makes loops
// of all takes at the bar line of 18 s. A session save and a controller removal were asked
// for just before the stall.
TEST_F(StallTest, TenSecondsWithoutDrainingLoseNothingThatChangesHands)
{
  std::string pads;
  for (int t = 0; t < 4; t++) {
    const std::string track = R"(, "track": )" + std::to_string(t);
    pads += std::string(t ? "," : "") +
            R"({"action": "grid:event", "status": 144, "data": )" + std::to_string(40 + t) + track +
            R"(, "scene": 0, "active": 1},)" +
            R"({"action": "grid:event", "status": 144, "data": )" + std::to_string(50 + t) + track +
            R"(, "scene": 1, "active": 1},)" +
            R"({"action": "track:record_arm", "status": 144, "data": )" + std::to_string(60 + t) + track +
            R"(, "active": 1})";
  }
  GenericMIDI* pad = GenericMIDI::loadAndHandOver(writeMap("pad", pads));
  GenericMIDI* knob = GenericMIDI::loadAndHandOver(
    writeMap("knob", R"({"action": "track:volume", "status": 176, "data": 7, "track": 0})"));
  const int padID = pad->getID(), knobID = knob->getID();

  auto sample = [](int frames, float base) {
    auto* ab = new AudioBuffer(frames);
    for (int i = 0; i < frames; i++) {
      ab->getLeft()[i] = base + (float)i;
      ab->getRight()[i] = -(base + (float)i);
    }
    ab->setBeats(4);
    ab->setLengthFrames(frames);
    return ab;
  };
  std::vector<std::vector<float>> loaded;
  for (int t = 0; t < NTRACKS; t++) {
    AudioBuffer* ab = sample(48000, t * 100000.f);
    loaded.push_back(std::vector<float>(ab->getLeft().begin(), ab->getLeft().end()));
    EventLooperLoad load(t, 2, ab);
    handToEngine(&load);
  }
  for (int t = 0; t < NTRACKS; t++) {
    EventGridEvent press(t, 0, true);
    writeToDspRingbuffer(&press);
  }

  runUntil(3 * 48000);
  ASSERT_EQ(jack->getControllerUpdater()->count(), 3);
  for (int t = 0; t < NTRACKS; t++)
    ASSERT_TRUE(clip(t, 0)->isRecording()) << t;

  // The interface's last acts before it stalls: a save, loads that come after the save
  // began (so it does not include them), a controller removal.
  dialog::inputAnswerer = [](const char*, const char*) { return "stall"; };
  interface->saveSession();
  for (int t = 0; t < 4; t++) {
    EventLooperLoad load(t, 1, sample(3 * 48000, -1.f));
    handToEngine(&load);
  }
  EventControllerInstanceRemove remove(knobID);
  writeToDspRingbuffer(&remove);

  runUntil(5 * 48000, false);
  for (int t = 0; t < 4; t++)
    fakejack::sendMidi("pad in", {0x90, (unsigned char)(40 + t), 127});
  runUntil(12 * 48000 + 9600, false);
  ASSERT_LT(jack_ringbuffer_write_space(rbToGui), sizeof(EventLooperClipRequestBuffer))
    << "the stall is meant to have filled the queue by now";
  for (int t = 0; t < 4; t++) {
    fakejack::sendMidi("pad in", {0x90, (unsigned char)(60 + t), 127});
    fakejack::sendMidi("pad in", {0x90, (unsigned char)(50 + t), 127});
  }
  runUntil(13 * 48000, false);
  for (int t = 0; t < 4; t++) {
    EXPECT_EQ(clip(t, 0)->getState(), STATE_STOP_QUEUED) << t;
    EXPECT_EQ(clip(t, 1)->getState(), STATE_RECORD_QUEUED) << t;
  }
  for (int t = 4; t < NTRACKS; t++)
    EXPECT_TRUE(clip(t, 0)->isRecording()) << t;

  // Back: what waited is taken; only display updates were dropped meanwhile.
  testing::internal::CaptureStdout();
  drain();
  std::string resumed = testing::internal::GetCapturedStdout();
  EXPECT_NE(resumed.find("->GUI ringbuffer full!"), std::string::npos) << "the stall never filled the queue";
  EXPECT_EQ(resumed.find("hand-overs lost"), std::string::npos) << resumed;
  EXPECT_NE(resumed.find("Deleting controller knob"), std::string::npos);

  runUntil(16 * 48000 + 24000);
  for (int t = 0; t < NTRACKS; t++) {
    EventGridEvent press(t, t < 4 ? 1 : 0, true);
    writeToDspRingbuffer(&press);
  }
  runUntil(20 * 48000);
  EventControllerInstanceRemove removePad(padID);
  writeToDspRingbuffer(&removePad);
  testing::internal::CaptureStdout();
  runUntil(21 * 48000);
  std::string end = testing::internal::GetCapturedStdout();
  EXPECT_NE(end.find("Deleting controller pad"), std::string::npos);
  EXPECT_EQ(end.find("hand-overs lost"), std::string::npos) << end;
  EXPECT_EQ(jack->getControllerUpdater()->count(), 1) << "only the window's own";

  // Every take whole: frame i of a take begun at input frame `from` is input frame from + i.
  struct Take {
    int track, scene;
    int64_t from, length;
    int state;
  };
  std::vector<Take> takes;
  for (int t = 0; t < 4; t++) {
    takes.push_back({t, 0, 0, 3 * 96000, STATE_STOPPED});
    takes.push_back({t, 1, 7 * 96000, 2 * 96000, STATE_PLAYING});
  }
  for (int t = 4; t < NTRACKS; t++)
    takes.push_back({t, 0, 0, 9 * 96000, STATE_PLAYING});
  for (const Take& take : takes) {
    SCOPED_TRACE("clip " + std::to_string(take.track) + ", " + std::to_string(take.scene));
    LooperClip* c = clip(take.track, take.scene);
    EXPECT_EQ(c->getState(), take.state);
    EXPECT_EQ(c->getRecordedLength(), take.length);
    EXPECT_EQ(c->getLengthFrames(), take.length);
    EXPECT_EQ(c->getBeats(), take.length / 24000);
    ASSERT_FALSE(c->movingBuffer());
    const AudioBuffer* b = c->buffer();
    ASSERT_GE(b->getSize(), take.length);
    int64_t wrong = 0, first = -1;
    for (int64_t i = 0; i < take.length; i++) {
      const float want = (float)(take.from + i);
      if (b->getLeft()[i] != want || b->getRight()[i] != -want) {
        wrong++;
        if (first < 0)
          first = i;
      }
    }
    EXPECT_EQ(wrong, 0) << "first wrong frame " << first;
  }

  // The save asked for before the stall has finished: each loaded clip written whole.
  const std::string session = interface->getProjectsDir() + "/stall.vesko";
  EXPECT_TRUE(std::filesystem::exists(session + "/session.vesko"));
  for (int t = 0; t < NTRACKS; t++) {
    std::vector<float> left = wavChannel(session + "/audio/t_" + std::to_string(t) + "_s_2.wav", 0);
    EXPECT_EQ(left, loaded[t]) << "track " << t;
    EXPECT_FALSE(std::filesystem::exists(session + "/audio/t_" + std::to_string(t) + "_s_1.wav"));
  }

  // Every buffer freed exactly once, and the ones alive are exactly the clips' own.
  EXPECT_EQ(ledger.faults, std::vector<std::string>{});
  std::set<const AudioBuffer*> held;
  for (int t = 0; t < NTRACKS; t++)
    for (int s = 0; s < NSCENES; s++)
      held.insert(clip(t, s)->buffer());
  EXPECT_EQ(ledger.live, held);
  EXPECT_EQ(ledger.made, ledger.freed) << "each clip holds one buffer, as at the start";
  EXPECT_GE(ledger.freed, 3 * NTRACKS) << "at least the loads' predecessors, the save copies and one grown buffer a track";
  EXPECT_EQ(handOversWaitingForGui(), 0);
  EXPECT_EQ(pendingToEngine(), 0);
}
