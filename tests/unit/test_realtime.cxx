#include <cstdlib>
#include <mutex>

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "event.hxx"

// The fixture itself must see what it is meant to catch, or every 0 it reads means nothing.
TEST(RealtimeFixture, CountsAllocationsFreesAndLocksInsideTheProcessScope)
{
  if (!rtcheck::counting())
    GTEST_SKIP() << "the sanitizers own the allocator in this build";
  rtcheck::reset();
  void* outside = malloc(16);
  free(outside);
  EXPECT_EQ(rtcheck::allocations(), 0);
  {
    rtcheck::ProcessScope rt;
    void* p = malloc(32);
    int* q = new int(3);
    // Keep the compiler from eliding the pairs.
    asm volatile("" : : "g"(p), "g"(q) : "memory");
    delete q;
    free(p);
    std::mutex m;
    m.lock();
    m.unlock();
  }
  EXPECT_EQ(rtcheck::allocations(), 2);
  EXPECT_EQ(rtcheck::frees(), 2);
  EXPECT_EQ(rtcheck::locks(), 1);
  rtcheck::reset();
}

// Thousands of periods with records flowing both ways: the interface writes mixer records
// every period and drains what the engine sends; the fixture's TearDown checks the counts.
TEST_F(EngineTest, ThousandsOfCyclesWithEventsBothWays)
{
  for (int c = 0; c < 5000; c++) {
    EventMasterVol vol((c % 100) / 100.f);
    writeToDspRingbuffer(&vol);
    EventMasterInputTo to(c % 3, 0.5f);
    writeToDspRingbuffer(&to);
    EventMasterInputToActive on(c % 4, c & 1);
    writeToDspRingbuffer(&on);
    EventControllerBindingEnable learn(0, (c / 10) % 2);
    writeToDspRingbuffer(&learn);
    fakejack::cycle();
    handleGuiEvents();
  }
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 0u);
}
