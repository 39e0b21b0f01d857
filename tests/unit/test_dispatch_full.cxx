// Hand-overs toward the engine when rbToDsp is full: kept by the interface, sent by its
// next drain, never dropped.

#include <gtest/gtest.h>

#include "audiobuffer.hxx"
#include "engine_fixture.hxx"
#include "looper.hxx"
#include "looperclip.hxx"

TEST_F(EngineTest, LoadsWaitForRoomTowardTheEngineAndArriveInOrder)
{
  EventTrackPan pan(0, 0.f);
  while (jack_ringbuffer_write_space(rbToDsp) >= pan.size())
    writeToDspRingbuffer(&pan);
  AudioBuffer* first = new AudioBuffer(1000);
  AudioBuffer* second = new AudioBuffer(2000);
  EventLooperLoad a(1, 2, first), b(1, 2, second), c(3, 4, new AudioBuffer(3000));
  handToEngine(&a);
  handToEngine(&b);
  handToEngine(&c);
  EXPECT_EQ(pendingToEngine(), 3);
  fakejack::cycle(); // drains the pans; the loads are still with the interface
  EXPECT_EQ(jack->getLooper(1)->getClip(2)->getBufferLength(), 4410);
  handleGuiEvents(); // sends them, the first before the second
  EXPECT_EQ(pendingToEngine(), 0);
  fakejack::cycle();
  EXPECT_EQ(jack->getLooper(1)->getClip(2)->getBufferLength(), 2000);
  EXPECT_EQ(jack->getLooper(3)->getClip(4)->getBufferLength(), 3000);
  handleGuiEvents(); // frees the first buffer, which the second replaced
}
