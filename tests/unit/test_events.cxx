#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "logger.hxx"

TEST(EventNames, LookupBothWays)
{
  EXPECT_EQ(eventTypeForName("grid:event"), 12);
  EXPECT_EQ(eventTypeForName("Grid:event"), 0);
  EXPECT_EQ(eventTypeForName("grid:launch_scene"), 14);
  EXPECT_EQ(eventTypeForName("tempo_bpm"), 35);
  EXPECT_EQ(eventTypeForName(""), 0);
  EXPECT_EQ(eventTypeForName(nullptr), 0);
  EXPECT_EQ(eventNameForType(6), nullptr);
  EXPECT_EQ(eventNameForType(0), nullptr);
  EXPECT_EQ(eventNameForType(50), nullptr);
  EXPECT_EQ(eventNameForType(-1), nullptr);
  EXPECT_STREQ(eventNameForType(24), "track:pan");

  // Every name in the table maps to a type whose record answers with the same name.
  int named = 0;
  for (int i = 0; EventNames[i]; i++) {
    int t = eventTypeForName(EventNames[i]);
    ASSERT_NE(t, 0) << EventNames[i];
    EXPECT_STREQ(eventNameForType(t), EventNames[i]);
    named++;
  }
  EXPECT_EQ(named, 18);
  EXPECT_STREQ(EventTrackSend().name(), "track:send");
  EXPECT_STREQ(EventMasterReturn().name(), "master:return");
  EXPECT_EQ(EventGridSelectNewChosen().name(), nullptr);
}

TEST(EventRecords, HeaderAloneAnswersTypeAndSize)
{
  EventTrackSend ev(3, 2, 0.5f);
  char header[8];
  memcpy(header, &ev, 8);
  const EventBase* h = reinterpret_cast<const EventBase*>(header);
  EXPECT_EQ(h->type(), EVENT_TRACK_SEND);
  EXPECT_EQ(h->size(), 24u);
  EXPECT_STREQ(h->name(), "track:send");
}

TEST(EventRecords, StringRecordsTakeUpTo49Characters)
{
  std::string s49(49, 'x'), s50(50, 'y');
  testing::internal::CaptureStdout();
  EventGuiPrint ok(s49.c_str());
  EventGuiPrint tooLong(s50.c_str());
  EventControllerBindingTarget targetTooLong(s50.c_str());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::string(ok.getMessage()), s49);
  EXPECT_STREQ(tooLong.getMessage(), "");
  EXPECT_STREQ(targetTooLong.target, "");
  EXPECT_EQ(out, "EventGuiPrint() error! Size of string too long!\n"
                 "EventControllerBindingTarget() error! Size of string too long!\n");
}

class QueueTest : public ::testing::Test
{
protected:
  void SetUp() override { createEventQueues(); }
  // Fills rbToDsp with filler bytes until exactly `left` bytes of write space remain.
  void fillDspUntil(size_t left)
  {
    size_t space = jack_ringbuffer_write_space(rbToDsp);
    std::string filler(space - left, '\0');
    jack_ringbuffer_write(rbToDsp, filler.data(), filler.size());
  }
};

TEST_F(QueueTest, ExactFitIsWrittenOneByteMoreIsDropped)
{
  fillDspUntil(16);
  EventMasterVol fits(0.5f);
  testing::internal::CaptureStdout();
  writeToDspRingbuffer(&fits);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(jack_ringbuffer_write_space(rbToDsp), 0u);

  jack_ringbuffer_reset(rbToDsp);
  fillDspUntil(15);
  testing::internal::CaptureStdout();
  writeToDspRingbuffer(&fits);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "->DSP ringbuffer full!\n");
  EXPECT_EQ(jack_ringbuffer_write_space(rbToDsp), 15u) << "a dropped record writes nothing";
}

TEST_F(QueueTest, FullGuiQueueIsReportedByTheInterfaceNotTheEngine)
{
  size_t space = jack_ringbuffer_write_space(rbToGui);
  std::string filler(space - 10, '\0');
  jack_ringbuffer_write(rbToGui, filler.data(), filler.size());
  EventTimeBPM bpm(120);
  testing::internal::CaptureStdout();
  writeToGuiRingbuffer(&bpm);
  writeToGuiRingbuffer(&bpm);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the JACK thread must not print";
  jack_ringbuffer_reset(rbToGui);
  testing::internal::CaptureStdout();
  handleGuiEvents();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "->GUI ringbuffer full!\n->GUI ringbuffer full!\n");
}

// A record split over two writes is left alone until it is whole, then applied once.
TEST_F(EngineTest, PartialRecordWaitsForTheNextDrain)
{
  EventMasterReturn ret(1, 0.25f);
  EventMasterInputToActive first(1, true);
  const char* bytes = reinterpret_cast<const char*>(&ret);

  writeToDspRingbuffer(&first);
  jack_ringbuffer_write(rbToDsp, bytes, 5); // not even a header
  fakejack::cycle();
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 5u);
  EXPECT_EQ(jack->bindingSend(), 1) << "the whole record before it was applied";

  jack_ringbuffer_write(rbToDsp, bytes + 5, 6); // header, but not the whole record
  fakejack::cycle();
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 11u);

  jack_ringbuffer_write(rbToDsp, bytes + 11, ret.size() - 11);
  fakejack::cycle();
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 0u);
}

TEST_F(EngineTest, UnknownRecordClogsTheQueueAndIsReportedOnce)
{
  EventTimeBarBeat neverTowardEngine(1, 2);
  EventMasterVol behind(0.1f);
  writeToDspRingbuffer(&neverTowardEngine);
  writeToDspRingbuffer(&behind);
  discardGui();
  fakejack::cycles(3);
  EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 32u) << "nothing behind it is taken";
  int prints = 0;
  drainGui([&](int type, const char* bytes) {
    if (type == EVENT_GUI_PRINT) {
      prints++;
      EXPECT_STREQ(reinterpret_cast<const EventGuiPrint*>(bytes)->getMessage(),
                   "DSP: Unkown message!! Will clog ringbuffer");
    }
  });
  EXPECT_EQ(prints, 1);
}

TEST_F(EngineTest, InterfaceLogsEngineMessagesWithTheDspTag)
{
  discardGui();
  EventGuiPrint ev("hello from the engine");
  writeToGuiRingbuffer(&ev);
  testing::internal::CaptureStdout();
  handleGuiEvents();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "[\033[1;32m DSP \033[0m] :0: \033[0mhello from the engine\n");
}

TEST(Logging, LineFormatByLevel)
{
  struct Case {
    int level;
    const char* expected;
  } cases[] = {
    {LOG_NOTE, "[\033[1;32mVesko\033[0m] fn:12: \033[0mvalue 7\n"},
    {LOG_WARN, "[\033[1;33mVesko\033[0m] fn:12: \033[0mvalue 7\n"},
    {LOG_ERROR, "[\033[1;31mVesko\033[0m] fn:12: \033[0mvalue 7\n"},
    {LOG_PLAIN, "\033[0mvalue 7\n"},
    {9, "[\033[1;32mVesko\033[0m] fn:12: \033[0mvalue 7\n"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    log_message(c.level, "Vesko", "file.cxx", "fn", 12, "value %d", 7);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected) << "level " << c.level;
  }
  const char* noFormat = nullptr;
  testing::internal::CaptureStdout();
  log_message(LOG_WARN, "Vesko", "file.cxx", "fn", 3, noFormat);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[\033[1;33mVesko\033[0m] fn:3: \033[0m\n");
}
