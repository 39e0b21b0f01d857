// The session save over all 80 clips, through the engine's queue and dispatch, with the
// test in the interface's seat.

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "guiside.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "statemanager.hxx"
#include "stately.hxx"

namespace
{
template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }

class SaveTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    discardGui();
  }
  void load(int t, int s, int frames)
  {
    auto* ab = new AudioBuffer(frames);
    for (int i = 0; i < frames; i++)
      ab->getLeft()[i] = ab->getRight()[i] = (float)(t * 1000 + s * 100 + i % 100);
    ab->setBeats(8);
    ab->setLengthFrames(frames);
    send(EventLooperLoad(t, s, ab));
  }
  void cycle()
  {
    fakejack::cycle();
    gui.drain();
  }
  GuiSide gui;
};
} // namespace

TEST_F(SaveTest, AllEmptyClipsAnswerAtOnce)
{
  send(EventStateSave());
  fakejack::cycle();
  EXPECT_EQ(jack->getStateManager()->count(), 80);
  EXPECT_EQ(Stately::getSaveSuccess(), 0);
  EXPECT_EQ(Stately::getSaveErrors(), 0);
  gui.drain();
  EXPECT_EQ(gui.finishes, 1) << "finished within the dispatch that started it";
  EXPECT_TRUE(gui.saveRequests.empty());
  EXPECT_FALSE(jack->getStateManager()->saving());
}

TEST_F(SaveTest, ThreeClipsWithAudioFinishAfterTheirThirdBuffer)
{
  load(0, 0, 5000);
  load(3, 9, 70000);
  load(7, 4, 1);
  cycle();
  send(EventStateSave());
  fakejack::cycle();
  EXPECT_EQ(Stately::getSaveSuccess(), 77) << "the empty ones answered at once";
  EXPECT_EQ(Stately::getSaveErrors(), 0);
  for (int i = 0; i < 20 && gui.finishes == 0; i++)
    cycle();
  ASSERT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.clipsNotSaved, 0);
  ASSERT_EQ(gui.saved.size(), 3u);
  // The finish comes after the last saved buffer, and no failure is reported.
  std::vector<int> order;
  for (int type : gui.types)
    if (type == EVENT_STATE_SAVE_BUFFER || type == EVENT_STATE_SAVE_FINISH)
      order.push_back(type);
  EXPECT_EQ(order, (std::vector<int>{EVENT_STATE_SAVE_BUFFER, EVENT_STATE_SAVE_BUFFER,
                                     EVENT_STATE_SAVE_BUFFER, EVENT_STATE_SAVE_FINISH}));
  for (const std::string& p : gui.prints)
    EXPECT_EQ(p.find("Saved with"), std::string::npos);
  EXPECT_EQ(Stately::getSaveSuccess(), 0);
  EXPECT_EQ(Stately::getSaveErrors(), 0);
  for (const GuiSide::Saved& s : gui.saved) {
    EXPECT_EQ((int)s.left.size(), s.lengthFrames);
    EXPECT_EQ(s.beats, 8);
    EXPECT_EQ(s.left.back(), (float)(s.track * 1000 + s.scene * 100 + (s.lengthFrames - 1) % 100));
  }
}

TEST_F(SaveTest, OneFailureIsCountedAndReportedAndTheCountsStartAgain)
{
  load(1, 1, 3000);
  load(2, 2, 3000);
  gui.shortTrack = 2; // this clip's save buffer comes one frame short
  gui.shortScene = 2;
  gui.saveBufferShortBy = 1;
  cycle();
  const size_t freedBefore = gui.freed.size(); // the two buffers the loads replaced
  send(EventStateSave());
  for (int i = 0; i < 10 && gui.finishes == 0; i++)
    cycle();
  ASSERT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.saved.size(), 1u);
  EXPECT_TRUE(gui.printed("LC:: 2, 2: can't save, buf too small"));
  EXPECT_EQ(gui.prints.back(), "Saved with 1 clips !saved due to errors");
  EXPECT_EQ(gui.clipsNotSaved, 1) << "the interface is told, so it keeps the last good session";
  EXPECT_EQ(Stately::getSaveSuccess(), 0);
  EXPECT_EQ(Stately::getSaveErrors(), 0);
  EXPECT_EQ(gui.freed.size(), freedBefore + 1) << "the refused buffer went back";

  // The next save starts from zero.
  gui.clear();
  send(EventStateSave());
  for (int i = 0; i < 10 && gui.finishes == 0; i++)
    cycle();
  EXPECT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.saved.size(), 2u);
}

// The copies of a save are spread over periods: no period copies more than its budget.
TEST_F(SaveTest, LongClipsAreCopiedOverManyPeriods)
{
  for (int t = 0; t < 4; t++)
    load(t, 0, 200000);
  cycle();
  send(EventStateSave());
  int periods = 0;
  for (; periods < 1000 && gui.finishes == 0; periods++)
    cycle();
  ASSERT_EQ(gui.finishes, 1);
  const int budget = StateManager::SAVE_COPY_FRAMES_PER_FRAME * 256;
  EXPECT_GE(periods, 4 * 200000 / budget);
  EXPECT_EQ(gui.saved.size(), 4u);
}

// A clip that is recording when the save starts counts as saved and is not written.
TEST_F(SaveTest, ARecordingClipIsCountedButNotWritten)
{
  load(0, 0, 3000);
  send(EventGridEvent(5, 5, true));
  cycle(); // the first bar line: 5, 5 records
  ASSERT_TRUE(jack->getLooper(5)->getClip(5)->isRecording());
  send(EventStateSave());
  for (int i = 0; i < 10 && gui.finishes == 0; i++)
    cycle();
  EXPECT_EQ(gui.finishes, 1);
  ASSERT_EQ(gui.saved.size(), 1u);
  EXPECT_EQ(gui.saved[0].track, 0);
}

// The save buffers of clips outside the grid can only come from a broken peer; they go
// back instead of being written anywhere.
TEST_F(SaveTest, BuffersForClipsOutsideTheGridGoBack)
{
  auto* a = new AudioBuffer(10);
  auto* b = new AudioBuffer(10);
  send(EventRequestSaveBuffer(8, 0, 10, a));
  send(EventLooperClipRequestBuffer(0, -1, 0, b));
  cycle();
  EXPECT_TRUE(gui.wasFreed(a));
  EXPECT_TRUE(gui.wasFreed(b));
}

namespace
{
// What a busy interface thread leaves behind: a queue with no room left.
void fillQueueToInterface()
{
  rtcheck::ProcessScope rt;
  EventGuiPrint filler("level reports and the like");
  while (handToGui(&filler)) {
  }
}
} // namespace

// The save's records wait for room while the interface is busy, instead of being dropped
// with the level reports: every clip still arrives, and the finish still comes last.
TEST_F(SaveTest, AFullQueueDelaysTheSaveButLosesNothing)
{
  load(0, 1, 40000);
  load(4, 2, 40000);
  load(7, 9, 40000);
  cycle();
  fillQueueToInterface();
  send(EventStateSave());
  fakejack::cycles(20); // the requests find no room
  for (int i = 0; i < 20 && gui.saveRequests.size() < 3; i++)
    cycle();
  ASSERT_EQ(gui.saveRequests.size(), 3u);
  fillQueueToInterface(); // busy again while the copies are made
  fakejack::cycles(20);
  EXPECT_TRUE(jack->getStateManager()->saving());
  for (int i = 0; i < 20 && gui.finishes == 0; i++)
    cycle();
  EXPECT_EQ(gui.finishes, 1);
  EXPECT_EQ(gui.saved.size(), 3u);
  EXPECT_EQ(gui.count(EVENT_STATE_SAVE_BUFFER), 3);
  EXPECT_FALSE(jack->getStateManager()->saving());
}

// A recording's request for a larger buffer waits for room too: it is not marked as asked
// until it is really on its way.
TEST_F(SaveTest, ABufferRequestWaitsForRoom)
{
  cycle(); // past the first bar line
  send(EventGridEvent(1, 1, true));
  fillQueueToInterface();
  fakejack::cycles(5);
  LooperClip* clip = jack->getLooper(1)->getClip(1);
  EXPECT_FALSE(clip->bufferRequested());
  cycle(); // drained: room again
  cycle();
  EXPECT_TRUE(clip->bufferRequested() || clip->getBufferLength() > 4410);
  cycle();
  EXPECT_EQ(gui.recordRequests.front(), 48510u);
}

// Saving one clip to a file: the clip's own buffer is lent to the interface, unless the
// clip is recording, when the interface would read frames as they are written.
TEST_F(SaveTest, OneClipIsLentForSavingUnlessItRecords)
{
  load(2, 6, 1000);
  cycle();
  send(EventStateSaveBuffer(2, 6, nullptr, false));
  cycle();
  ASSERT_EQ(gui.saved.size(), 1u);
  EXPECT_TRUE(gui.saved[0].keepBuffer);
  EXPECT_EQ(gui.saved[0].left.size(), 1000u);
  EXPECT_EQ(jack->getLooper(2)->getClip(6)->buffer()->getSize(), 1000) << "still the clip's";

  send(EventTrackRecordArm(2, 1.f));
  send(EventGridEvent(2, 6, true));
  send(EventStateSaveBuffer(2, 6, nullptr, false)); // record queued: not lent
  send(EventStateSaveBuffer(9, 6, nullptr, false)); // no such clip
  cycle();
  EXPECT_EQ(gui.saved.size(), 1u);
  EXPECT_TRUE(gui.printed("Clip 2, 6 busy recording: not saved"));
}
