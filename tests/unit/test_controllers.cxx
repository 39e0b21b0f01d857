#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "controllerupdater.hxx"
#include "describe.hxx"
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

// The window's controller is the engine's first and turns each notification into exactly
// one record toward the interface, with these values.
TEST_F(EngineTest, InterfaceControllerTurnsEveryNotificationIntoOneRecord)
{
  Controller* gui = jack->getControllerUpdater()->getController(0);
  ASSERT_NE(gui, nullptr);
  EXPECT_STREQ(gui->getName(), "Vesko GUI");
  struct Row {
    std::function<void(Controller*)> notify;
    const char* record;
  };
  const std::vector<Row> rows = {
    {[](Controller* c) { c->masterInputVol(0.3f); }, "masterInputVol(0.3)"},
    {[](Controller* c) { c->masterInputTo(2, 0.7f); }, "masterInputTo(2, 0.7)"},
    {[](Controller* c) { c->masterInputToActive(3, 0.5f); }, "masterInputToActive(3, 1)"},
    {[](Controller* c) { c->masterInputToActive(1, 0.f); }, "masterInputToActive(1, 0)"},
    {[](Controller* c) { c->masterVolume(0.9f); }, "masterVol(0.9)"},
    {[](Controller* c) { c->masterReturnVolume(0.4f); }, "masterReturn(1, 0.4)"},
    {[](Controller* c) { c->metronomeEnable(true); }, "metronomeActive(1)"},
    {[](Controller* c) { c->trackSend(4, 2, 0.25f); }, "trackSend(4, 2, 0.25)"},
    {[](Controller* c) { c->trackSendActive(5, 1, true); }, "trackSendActive(5, 1, 1)"},
    {[](Controller* c) { c->trackJackSend(6, 0.125f); }, "trackJackSend(6, 0.125)"},
    {[](Controller* c) { c->trackJackSendActivate(7, false); }, "trackJackSendActivate(7, 0)"},
    {[](Controller* c) { c->specialScene(2, 8); }, "gridSelectNewChosen(2, 8)"},
    {[](Controller* c) { c->pan(1, -0.5f); }, "trackPan(1, -0.5)"},
    {[](Controller* c) { c->volume(2, 0.6f); }, "trackVol(2, 0.6)"},
    {[](Controller* c) { c->progress(3, 5, 0.25f); }, "looperProgress(3, 0.25)"},
    {[](Controller* c) { c->recordArm(1, true); }, "trackRecordArm(1, 1)"},
    {[](Controller* c) { c->recordArm(0, false); }, "trackRecordArm(0, 0)"},
    {[](Controller* c) { c->setSceneState(7, 9, 5); }, "gridState(7, 9, 5)"},
    {[](Controller* c) { c->launchScene(4); }, "gridLaunchScene(4)"},
  };
  discardGui();
  for (const Row& row : rows) {
    {
      rtcheck::ProcessScope rt;
      row.notify(gui);
    }
    std::vector<std::string> got;
    drainGui([&](int, const char* b) { got.push_back(describe(reinterpret_cast<const EventBase*>(b))); });
    EXPECT_EQ(got, std::vector<std::string>{row.record});
  }
}
