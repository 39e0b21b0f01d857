#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "controllerupdater.hxx"
#include "engine_fixture.hxx"

TEST(AudioBufferTest, NamesAreCutTo20Characters)
{
  AudioBuffer b;
  b.setName("abcdefghijklmnopqrstuvwxy");
  EXPECT_STREQ(b.getName(), "abcdefghijklmnopqrst");
  b.setName("abcdefghijklmnopqrst");
  EXPECT_STREQ(b.getName(), "abcdefghijklmnopqrst");
  b.setName(nullptr);
  EXPECT_STREQ(b.getName(), "");
}

TEST(AudioBufferTest, SizedBuffersAreSilentAndTakeNoID)
{
  AudioBuffer a;
  AudioBuffer sized(44100);
  AudioBuffer b;
  EXPECT_EQ(b.getID(), a.getID() + 1);
  EXPECT_EQ(sized.getSize(), 44100);
  EXPECT_EQ(sized.getBeats(), 0);
  EXPECT_EQ(sized.getLengthFrames(), 0);
  for (float s : sized.getLeft())
    ASSERT_EQ(s, 0.f);
}

TEST(AudioBufferTest, ClearKeepsSamplesAndUnequalChannelsReportTheSmaller)
{
  AudioBuffer b(1000);
  b.getLeft()[999] = 0.5f;
  b.setBeats(8);
  b.setLengthFrames(1000);
  b.clear();
  EXPECT_EQ(b.getSize(), 1000);
  EXPECT_EQ(b.getLeft()[999], 0.5f);
  EXPECT_EQ(b.getBeats(), 0);
  EXPECT_EQ(b.getLengthFrames(), 0);

  std::vector<float> l(100), r(80);
  b.takeSamples(l, r);
  EXPECT_EQ(l.size(), 1000u) << "the old samples come back to the caller";
  testing::internal::CaptureStdout();
  EXPECT_EQ(b.getSize(), 80);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("different size: 100 vs 80"), std::string::npos) << out;

  b.resizeChannels(120);
  EXPECT_EQ(b.getSize(), 120);
  EXPECT_EQ(b.getRight()[119], 0.f);
}

namespace
{
struct Heard {
  char who;
  char what; // 'r' registered, 's' scene state, 'i' input routing
  int a, b, c;
  float f;
  bool operator==(const Heard& o) const
  {
    return who == o.who && what == o.what && a == o.a && b == o.b && c == o.c && f == o.f;
  }
};

// Records what it was told, in order, into a log with room reserved up front: it is called
// on the JACK thread, where it must not allocate either.
class RecordingController : public Controller
{
public:
  RecordingController(char n, std::vector<Heard>* l) : log(l) { name[0] = n; }
  const char* getName() override { return name; }
  int registerComponents() override
  {
    log->push_back({name[0], 'r', 0, 0, 0, 0.f});
    return 0;
  }
  void setSceneState(int t, int s, int st) override { log->push_back({name[0], 's', t, s, st, 0.f}); }
  void masterInputToActive(int place, float on) override
  {
    log->push_back({name[0], 'i', place, 0, 0, on});
  }

private:
  char name[2] = {};
  std::vector<Heard>* log;
};
} // namespace

TEST_F(EngineTest, ControllersHearAnnouncementsInRegistrationOrder)
{
  std::vector<Heard> log;
  log.reserve(64);
  RecordingController first('1', &log), second('2', &log);
  EXPECT_EQ(second.getID(), first.getID() + 1);
  ControllerUpdater* u = jack->getControllerUpdater();
  int before = u->count();
  {
    rtcheck::ProcessScope rt;
    u->registerController(&first);
    u->registerController(&second);
    u->registerController(nullptr);
    u->setSceneState(2, 0, 6);
    u->masterInputToActive(1, true);
  }
  EXPECT_EQ(u->count(), before + 2);
  std::vector<Heard> expected = {{'1', 'r', 0, 0, 0, 0.f}, {'2', 'r', 0, 0, 0, 0.f},
                                 {'1', 's', 2, 0, 6, 0.f}, {'2', 's', 2, 0, 6, 0.f},
                                 {'1', 'i', 1, 0, 0, 1.f}, {'2', 'i', 1, 0, 0, 1.f}};
  EXPECT_EQ(log, expected);
}

TEST_F(EngineTest, RemovedControllersGoBackToTheInterface)
{
  std::vector<Heard> log;
  log.reserve(64);
  RecordingController a('a', &log), b('b', &log);
  ControllerUpdater* u = jack->getControllerUpdater();
  discardGui();
  {
    rtcheck::ProcessScope rt;
    u->registerController(&a);
    u->registerController(&b);
    EXPECT_EQ(u->getController(b.getID()), &b);
    EXPECT_EQ(u->getController(12345), nullptr);
    u->removeController(12345); // not registered: nothing happens
    u->removeController(a.getID());
    EXPECT_EQ(u->getController(a.getID()), nullptr);
    EXPECT_EQ(u->getController(b.getID()), &b);
  }
  std::vector<Controller*> handedBack;
  drainGui([&](int type, const char* bytes) {
    if (type == EVENT_CONTROLLER_INSTANCE)
      handedBack.push_back(reinterpret_cast<const EventControllerInstance*>(bytes)->controller);
  });
  ASSERT_EQ(handedBack.size(), 1u);
  EXPECT_EQ(handedBack[0], &a);
}

// The window's controller is the engine's first and turns each announcement into exactly
// the record the interface applies.
TEST_F(EngineTest, InterfaceControllerAnnouncesEachChangeAsOneRecord)
{
  ControllerUpdater* u = jack->getControllerUpdater();
  Controller* gui = u->getController(0);
  ASSERT_NE(gui, nullptr);
  EXPECT_STREQ(gui->getName(), "Vesko GUI");
  discardGui();
  {
    rtcheck::ProcessScope rt;
    u->volume(2, 0.6f);
    u->progress(3, 5, 0.25f);
    u->recordArm(1, true);
    u->masterInputToActive(3, true);
    u->masterReturnVolume(0.4f);
    u->setSceneState(7, 9, 5);
  }
  std::vector<int> types;
  drainGui([&](int type, const char* b) {
    types.push_back(type);
    switch (type) {
    case EVENT_TRACK_VOLUME: {
      auto* e = reinterpret_cast<const EventTrackVol*>(b);
      EXPECT_EQ(e->track, 2);
      EXPECT_FLOAT_EQ(e->vol, 0.6f);
      break;
    }
    case EVENT_LOOPER_PROGRESS: {
      auto* e = reinterpret_cast<const EventLooperProgress*>(b);
      EXPECT_EQ(e->track, 3);
      EXPECT_FLOAT_EQ(e->progress, 0.25f);
      break;
    }
    case EVENT_TRACK_RECORD_ARM:
      EXPECT_FLOAT_EQ(reinterpret_cast<const EventTrackRecordArm*>(b)->recordArm, 1.f);
      break;
    case EVENT_MASTER_INPUT_TO_ACTIVE: {
      auto* e = reinterpret_cast<const EventMasterInputToActive*>(b);
      EXPECT_EQ(e->place, 3);
      EXPECT_TRUE(e->active);
      break;
    }
    case EVENT_MASTER_RETURN:
      EXPECT_EQ(reinterpret_cast<const EventMasterReturn*>(b)->ret, 1);
      break;
    case EVENT_GRID_STATE: {
      auto* e = reinterpret_cast<const EventGridState*>(b);
      EXPECT_EQ(e->track * 100 + e->scene * 10 + e->state, 795);
      break;
    }
    }
  });
  std::vector<int> expected = {EVENT_TRACK_VOLUME, EVENT_LOOPER_PROGRESS, EVENT_TRACK_RECORD_ARM,
                               EVENT_MASTER_INPUT_TO_ACTIVE, EVENT_MASTER_RETURN, EVENT_GRID_STATE};
  EXPECT_EQ(types, expected);
}
