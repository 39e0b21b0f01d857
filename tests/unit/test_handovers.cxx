// The interface thread's side of the buffer hand-overs, through the real interface
// dispatch: what the engine asks for is made and sent back, what it lets go is freed.

#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <memory>

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "diskwriter.hxx"
#include "engine_fixture.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "wavfile.hxx"
#include "gui.hxx"

namespace
{
template <class E> E readFromDsp()
{
  E ev;
  EXPECT_GE(jack_ringbuffer_read_space(rbToDsp), sizeof(E));
  jack_ringbuffer_read(rbToDsp, reinterpret_cast<char*>(&ev), sizeof(E));
  return ev;
}

// Records toward the interface as the engine writes them.
template <class E> void fromEngine(E ev)
{
  rtcheck::ProcessScope rt;
  writeToGuiRingbuffer(&ev);
}

// Bytes the allocator has handed out and not had back: a buffer of many frames shows up
// here when it is freed.
size_t bytesInUse()
{
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

const int64_t BIG = 1 << 20; // frames; 8 MB a buffer

// A buffer of BIG frames counting up from `base` (left) and down (right).
AudioBuffer* ramp(float base)
{
  auto* ab = new AudioBuffer(BIG);
  for (int64_t i = 0; i < BIG; i++) {
    ab->getLeft()[i] = base + (float)(i % 1000);
    ab->getRight()[i] = -(base + (float)(i % 1000));
  }
  ab->setLengthFrames(BIG);
  ab->setBeats(8);
  return ab;
}
} // namespace

// No engine cycles here: the records are read straight off the engine's queue.
class HandOverTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    handleGuiEvents();
    jack_ringbuffer_reset(rbToDsp);
  }
};

TEST_F(HandOverTest, RequestedBuffersAreMadeAndSentBack)
{
  fromEngine(EventLooperClipRequestBuffer(3, 7, 48510, nullptr));
  fromEngine(EventRequestSaveBuffer(5, 1, 1234, nullptr));
  handleGuiEvents();

  auto grown = readFromDsp<EventLooperClipRequestBuffer>();
  EXPECT_EQ(grown.type(), EVENT_LOOPER_CLIP_REQUEST_BUFFER);
  EXPECT_EQ(grown.track, 3);
  EXPECT_EQ(grown.scene, 7);
  EXPECT_EQ(grown.numElements, 0u);
  ASSERT_NE(grown.ab, nullptr);
  EXPECT_EQ(grown.ab->getSize(), 48510);

  auto save = readFromDsp<EventRequestSaveBuffer>();
  EXPECT_EQ(save.type(), EVENT_REQUEST_SAVE_BUFFER);
  EXPECT_EQ(save.track, 5);
  EXPECT_EQ(save.scene, 1);
  ASSERT_NE(save.ab, nullptr);
  EXPECT_EQ(save.ab->getSize(), 1234);

  // Handed back by the engine, they are freed by the interface (the sanitizer build sees
  // a leak or a double free here).
  fromEngine(EventDeallocateBuffer(grown.ab));
  fromEngine(EventDeallocateBuffer(save.ab));
  fromEngine(EventDeallocateBuffer(nullptr));
  handleGuiEvents();
  EXPECT_EQ(jack_ringbuffer_read_space(rbToGui), 0u);
}

// A request no memory can satisfy: the interface says so and stays up. A save gets a null
// answer, so the clip can report its failure and the save still completes.
TEST_F(HandOverTest, ARequestBeyondMemoryIsAnsweredWithoutABuffer)
{
  const uint64_t absurd = (uint64_t)1 << 62;
  fromEngine(EventLooperClipRequestBuffer(0, 0, absurd, nullptr));
  fromEngine(EventRequestSaveBuffer(0, 0, absurd, nullptr));
  testing::internal::CaptureStdout();
  handleGuiEvents();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("No memory for an audio buffer"), std::string::npos) << out;

  auto save = readFromDsp<EventRequestSaveBuffer>();
  EXPECT_EQ(save.type(), EVENT_REQUEST_SAVE_BUFFER);
  EXPECT_EQ(save.ab, nullptr);
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 0u) << "no answer to the recording request";
}

// With no interface object (before the window exists, or after it is gone) a session save's
// copy is still the interface's to destroy; a lent clip buffer is still the clip's.
TEST_F(HandOverTest, ASessionCopyIsFreedEvenWithoutAnInterface)
{
  AudioBuffer* lent = ramp(5.f);
  const size_t before = bytesInUse();
  fromEngine(EventStateSaveBuffer(0, 0, ramp(1.f), false));
  fromEngine(EventStateSaveBuffer(0, 1, lent, true));
  handleGuiEvents();
  if (rtcheck::counting()) { // the sanitizer build sees a leak instead
    EXPECT_LE(bytesInUse(), before + 1000000) << "the copy was not freed";
  }
  EXPECT_EQ(lent->getLeft()[BIG - 1], 5.f + (float)((BIG - 1) % 1000)) << "the clip's buffer is intact";
  delete lent;
}

// An unknown record stops the drain there, this time and every later time: what is behind
// it is never taken.
TEST_F(HandOverTest, AnUnknownRecordStopsTheInterfaceDrain)
{
  fromEngine(EventTimeTempoTap());
  fromEngine(EventDeallocateBuffer(nullptr));
  for (int i = 0; i < 2; i++) {
    testing::internal::CaptureStdout();
    handleGuiEvents();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "GUI: Unkown message!! Will clog ringbuffer\n");
    EXPECT_EQ(jack_ringbuffer_read_space(rbToGui), EventTimeTempoTap().size() + EventDeallocateBuffer().size());
  }
  jack_ringbuffer_reset(rbToGui);
}

// The interface without a window, under a HOME of its own, writing real files.
class InterfaceSaveTest : public HandOverTest
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/vesko-save-XXXXXX";
    home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    interface = std::make_unique<Gui>("vesko", false);
    HandOverTest::SetUp(); // its first drain takes the engine's sample rate
  }
  void TearDown() override
  {
    HandOverTest::TearDown();
    interface.reset();
    std::filesystem::remove_all(home);
  }
  std::string home;
  std::unique_ptr<Gui> interface;
};

// Each copy of a session save is written into the session and then freed; the finish
// writes the session file beside them.
TEST_F(InterfaceSaveTest, SessionCopiesAreWrittenThenFreed)
{
  ASSERT_EQ(interface->getDiskWriter()->initialize(home, "live"), 0);
  AudioBuffer* a = ramp(100.f);
  AudioBuffer* b = ramp(2000.f);
  const std::vector<float> wantA(a->getLeft().begin(), a->getLeft().end());
  const std::vector<float> wantB(b->getLeft().begin(), b->getLeft().end());
  const size_t before = bytesInUse();
  fromEngine(EventStateSaveBuffer(1, 2, a, false));
  fromEngine(EventStateSaveBuffer(7, 9, b, false));
  fromEngine(EventStateSaveFinish());
  handleGuiEvents();
  if (rtcheck::counting()) {
    EXPECT_LT(bytesInUse() + 2 * 7000000, before) << "both copies freed";
  }

  const std::string dir = home + "/live.vesko";
  EXPECT_EQ(wavChannel(dir + "/audio/t_1_s_2.wav", 0), wantA);
  EXPECT_EQ(wavChannel(dir + "/audio/t_7_s_9.wav", 0), wantB);
  EXPECT_TRUE(std::filesystem::exists(dir + "/session.vesko"));
}

// A clip lent for saving alone goes to the file the user chose, and stays the clip's. Lent
// again with no file chosen (the path is used up), it is written nowhere, not even into a
// session being saved.
TEST_F(InterfaceSaveTest, ALentClipGoesToTheChosenFileOnlyAndIsKept)
{
  ASSERT_EQ(interface->getDiskWriter()->initialize(home, "open"), 0);
  AudioBuffer* own = ramp(7.f);
  const std::vector<float> want(own->getLeft().begin(), own->getLeft().end());
  interface->saveBufferPath = home + "/chosen.wav";
  fromEngine(EventStateSaveBuffer(3, 4, own, true));
  handleGuiEvents();
  EXPECT_EQ(wavChannel(home + "/chosen.wav", 0), want);
  EXPECT_EQ(interface->saveBufferPath, "");

  const size_t before = bytesInUse();
  testing::internal::CaptureStdout();
  fromEngine(EventStateSaveBuffer(3, 4, own, true));
  handleGuiEvents();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("no file was chosen"), std::string::npos) << out;
  if (rtcheck::counting()) {
    EXPECT_GT(bytesInUse() + 1000000, before) << "the clip's buffer was freed";
  }
  fromEngine(EventStateSaveFinish());
  handleGuiEvents();
  EXPECT_FALSE(std::filesystem::exists(home + "/open.vesko/audio/t_3_s_4.wav"));
  EXPECT_EQ(std::vector<float>(own->getLeft().begin(), own->getLeft().end()), want);
  delete own;
}

// Hand-overs that find the queue toward the interface full wait in a list of 64 and go out
// first, in order, once there is room. Beyond 64 (a queue full for very long) a hand-over
// is lost: counted on the engine side, reported by the interface.
TEST_F(HandOverTest, HandOversWaitInOrderAndTheOverflowIsReported)
{
  EventTrackSignalLevel level(0, 0.f, 0.f);
  while (jack_ringbuffer_write_space(rbToGui) >= level.size())
    writeToGuiRingbuffer(&level);
  std::vector<AudioBuffer*> back;
  for (int i = 0; i < 66; i++)
    back.push_back(new AudioBuffer(16));
  {
    rtcheck::ProcessScope rt;
    for (AudioBuffer* ab : back) {
      EventDeallocateBuffer ev(ab);
      handOverToGui(&ev);
    }
  }
  EXPECT_EQ(handOversWaitingForGui(), 64);

  testing::internal::CaptureStdout();
  handleGuiEvents(); // the levels; nothing else was in the queue
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("->GUI ringbuffer full for long: 2 hand-overs lost"), std::string::npos) << out;

  {
    rtcheck::ProcessScope rt;
    retryHandOversToGui(); // as at the start of the next period
  }
  EXPECT_EQ(handOversWaitingForGui(), 0);
  std::vector<AudioBuffer*> arrived;
  drainGui([&](int type, const char* bytes) {
    if (type == EVENT_DEALLOCATE_BUFFER)
      arrived.push_back(reinterpret_cast<const EventDeallocateBuffer*>(bytes)->ab);
  });
  EXPECT_EQ(arrived, std::vector<AudioBuffer*>(back.begin(), back.begin() + 64));
  for (AudioBuffer* ab : back)
    delete ab;
}
