#ifndef VESKO_TEST_ENGINE_FIXTURE_HXX
#define VESKO_TEST_ENGINE_FIXTURE_HXX

// Builds the queues and the engine against the JACK seam. Each test runs in a process of
// its own (CTest runs one test per process), so the one engine per process is fresh.

#include <gtest/gtest.h>

#include "event.hxx"
#include "eventhandler.hxx"
#include "fakejack.hxx"
#include "jack.hxx"
#include "rtcheck.hxx"

class EngineTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    fakejack::configure(samplerate(), period());
    createEventQueues();
    ASSERT_TRUE(Jack::setup("Vesko"));
    ASSERT_NE(jack, nullptr);
    rtcheck::reset();
  }

  // Every scenario ends with the real-time count: nothing allocated, freed or locked on
  // the process thread.
  void TearDown() override
  {
    EXPECT_EQ(rtcheck::allocations(), 0) << "allocations on the JACK thread";
    EXPECT_EQ(rtcheck::frees(), 0) << "frees on the JACK thread";
    EXPECT_EQ(rtcheck::locks(), 0) << "locks on the JACK thread";
  }

  virtual int samplerate() const { return 48000; }
  virtual int period() const { return 256; }

  // Reads every record waiting toward the interface, calling f(type, bytes) for each.
  template <class F> void drainGui(F f)
  {
    char buf[256];
    while (jack_ringbuffer_read_space(rbToGui) >= 8) {
      jack_ringbuffer_peek(rbToGui, buf, 8);
      uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
      jack_ringbuffer_read(rbToGui, buf, size);
      f(reinterpret_cast<EventBase*>(buf)->type(), buf);
    }
  }
  void discardGui()
  {
    drainGui([](int, const char*) {});
  }
};

#endif
