// The interface thread's side of the buffer hand-overs, through the real interface
// dispatch: what the engine asks for is made and sent back, what it lets go is freed.

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "engine_fixture.hxx"
#include "event.hxx"
#include "eventhandler.hxx"

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
