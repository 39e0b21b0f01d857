// The server dies mid-performance: one clip plays, another is still recording and has just
// moved into a larger buffer. Once the engine has stopped, the interface takes the clips'
// audio and saves it; the session must hold every frame recorded and load back the same.

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "audiobuffer.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "engine_fixture.hxx"
#include "guiside.hxx"
#include "guistate.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "sessionrescue.hxx"
#include "timemanager.hxx"

namespace
{
template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }

struct Wav {
  int64_t frames = -1;
  std::vector<float> left, right;
};

Wav readWav(const std::string& path)
{
  Wav w;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
    return w;
  std::vector<float> data(info.frames * info.channels);
  w.frames = sf_readf_float(f, data.data(), info.frames);
  for (int64_t i = 0; i < w.frames; i++) {
    w.left.push_back(data[2 * i]);
    w.right.push_back(data[2 * i + 1]);
  }
  sf_close(f);
  return w;
}

class RescueTest : public EngineTest
{
protected:
  // The input counts the frames, so a recording shows exactly which frames it kept.
  void cycle()
  {
    float* l = fakejack::audio("master_in_left");
    float* r = fakejack::audio("master_in_right");
    for (int i = 0; i < period(); i++) {
      l[i] = (float)(frame + i + 1);
      r[i] = -l[i];
    }
    fakejack::cycle();
    frame += period();
  }
  void bars(double n)
  {
    const int64_t until = frame + (int64_t)(n * 4 * jack->getTimeManager()->getFpb());
    while (frame < until) {
      cycle();
      gui.drain();
    }
  }
  LooperClip* clip(int t, int s) { return jack->getLooper(t)->getClip(s); }

  int64_t frame = 0;
  GuiSide gui;
};

struct Load {
  int track, scene;
  AudioBuffer* ab;
};

// Reads everything queued toward the engine (which no longer runs): the clips loaded, in
// order; buffers in any other record are freed.
std::vector<Load> takeRecords()
{
  std::vector<Load> loads;
  char buf[256];
  while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
    jack_ringbuffer_peek(rbToDsp, buf, 8);
    const EventBase* e = reinterpret_cast<EventBase*>(buf);
    uint32_t size = e->size();
    jack_ringbuffer_read(rbToDsp, buf, size);
    if (e->type() == EVENT_LOOPER_LOAD) {
      auto* ev = reinterpret_cast<EventLooperLoad*>(buf);
      loads.push_back({ev->track, ev->clip, ev->audioBuffer});
    } else if (e->type() == EVENT_LOOPER_CLIP_REQUEST_BUFFER) {
      delete reinterpret_cast<EventLooperClipRequestBuffer*>(buf)->ab;
    }
  }
  return loads;
}

// Frames of consecutive input, none lost or zeroed: first, first + 1, ...
void expectConsecutive(const Wav& w, const char* what)
{
  ASSERT_GT(w.frames, 0) << what;
  for (int64_t i = 0; i < w.frames; i++) {
    ASSERT_EQ(w.left[i], w.left[0] + (float)i) << what << " frame " << i;
    ASSERT_EQ(w.right[i], -w.left[i]) << what << " frame " << i;
  }
}
} // namespace

TEST_F(RescueTest, EveryRecordedFrameIsSavedAfterTheServerDiesAndLoadsBack)
{
  send(EventGridEvent(0, 0, true));
  bars(1.5);
  send(EventGridEvent(0, 0, true)); // plays from the second bar line: two bars long
  bars(1);
  ASSERT_TRUE(clip(0, 0)->isPlaying());

  send(EventGridEvent(1, 3, true));
  bars(1.5);
  ASSERT_TRUE(clip(1, 3)->isRecording());
  // Record on until a larger buffer has been adopted and its move is not finished.
  for (int i = 0; i < 20000 && !(clip(1, 3)->movingBuffer() && clip(1, 3)->getRecordedLength() > 100000); i++) {
    cycle();
    if (!clip(1, 3)->movingBuffer())
      gui.drain();
  }
  ASSERT_TRUE(clip(1, 3)->movingBuffer()) << "no move in progress to catch";
  const int64_t recorded = clip(1, 3)->getRecordedLength();

  EXPECT_FALSE(jack->processStopped());
  fakejack::shutdownServer("killed by the test");
  // libjack promises nothing after its notice: a late period must leave the engine alone.
  cycle();
  EXPECT_EQ(clip(1, 3)->getRecordedLength(), recorded);
  ASSERT_TRUE(jack->processStopped());

  char tmpl[] = "/tmp/vesko-rescue-XXXXXX";
  const std::string home = mkdtemp(tmpl);
  setenv("HOME", home.c_str(), 1);
  GuiState state;
  state.tracks[1].clipNames[3] = "take";
  testing::internal::CaptureStdout();
  DiskWriter writer;
  writer.setState(&state);
  writer.setSamplerate(48000);
  SessionRescue rescue(&writer);
  EXPECT_EQ(rescue.clipsWithAudio(), 2);
  EXPECT_EQ(rescue.save(home + "/vesko", "rescued"), 0);
  std::string out = testing::internal::GetCapturedStdout();
  const std::string session = home + "/vesko/rescued.vesko";

  Wav played = readWav(session + "/audio/t_0_s_0.wav");
  EXPECT_EQ(played.frames, (int64_t)(8 * jack->getTimeManager()->getFpb())) << out;
  expectConsecutive(played, "playing clip");
  Wav take = readWav(session + "/audio/t_1_s_3.wav");
  EXPECT_EQ(take.frames, recorded) << "the clip still recording keeps every frame";
  expectConsecutive(take, "recording clip");

  // Back in through the session reader: the same clips, frames, beats and names.
  takeRecords(); // whatever waited toward the dead engine
  GuiState loaded;
  DiskReader reader(&writer);
  reader.setState(&loaded);
  reader.setSamplerate(48000);
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader.readSession(session), 0);
  testing::internal::GetCapturedStdout();
  int loads = 0;
  for (auto& [track, scene, ab] : takeRecords()) {
    const AudioBuffer* original = clip(track, scene)->buffer();
    ASSERT_EQ(ab->getLengthFrames(), original->getLengthFrames()) << track << "," << scene;
    EXPECT_EQ(ab->getBeats(), original->getBeats());
    EXPECT_EQ(0, memcmp(ab->getLeft().data(), original->getLeft().data(),
                        sizeof(float) * ab->getLengthFrames()));
    EXPECT_EQ(0, memcmp(ab->getRight().data(), original->getRight().data(),
                        sizeof(float) * ab->getLengthFrames()));
    delete ab;
    loads++;
  }
  EXPECT_EQ(loads, 2);
  EXPECT_EQ(clip(0, 0)->getBeats(), 8);
  EXPECT_EQ(clip(1, 3)->getBeats(), (int)(recorded / jack->getTimeManager()->getFpb() + 0.5));
  EXPECT_EQ(loaded.tracks[1].clipNames[3], "take");
  std::string cmd = "rm -rf '" + home + "'";
  (void)system(cmd.c_str());
}
