#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "guirecords.hxx"
#include "metronome.hxx"

namespace
{
template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }

// Everything the outputs carried, frame by frame from the engine's start.
struct Capture {
  std::vector<float> l, r, master;
  GuiRecords gui;

  void run(int cycles)
  {
    for (int c = 0; c < cycles; c++) {
      fakejack::cycle();
      gui.take();
      const int n = fakejack::bufferSize();
      const float* hl = fakejack::audio("headphone_out_l");
      const float* hr = fakejack::audio("headphone_out_r");
      const float* m = fakejack::audio("master_left");
      l.insert(l.end(), hl, hl + n);
      r.insert(r.end(), hr, hr + n);
      master.insert(master.end(), m, m + n);
    }
  }
};

void metronomeOn(bool on)
{
  rtcheck::ProcessScope rt;
  jack->getMetronome()->setActive(on);
}

float peak(const std::vector<float>& v, size_t from, size_t to)
{
  float p = 0;
  for (size_t i = from; i < to; i++)
    p = std::max(p, std::fabs(v[i]));
  return p;
}

// Sign changes in the full-amplitude middle of a click: twice its frequency per second.
int crossings(const std::vector<float>& v, size_t clickStart)
{
  int n = 0;
  for (size_t i = clickStart + 481; i < clickStart + 4320; i++)
    n += (v[i - 1] < 0) != (v[i] < 0);
  return n;
}

bool silent(const std::vector<float>& v, size_t from, size_t to)
{
  for (size_t i = from; i < to; i++)
    if (v[i] != 0.f)
      return false;
  return true;
}
} // namespace

// 100 ms clicks with cubic fades, an octave apart for bar and beat, on both headphone
// channels from the beat's own frame, and never on the master output.
TEST_F(EngineTest, ClicksOnTheHeadphonesOnly)
{
  metronomeOn(true);
  send(EventMetronomeVolume(1.f));
  Capture cap;
  cap.run(1000); // beats at 0, 24000, ... 240000; bars at 0, 96000, 192000
  EXPECT_TRUE(cap.gui.printed("EventDSP: MetroVol 1.000000"));
  EXPECT_EQ(jack->getMetronome()->getClickLength(), 4800);

  EXPECT_EQ(cap.l, cap.r);
  EXPECT_TRUE(silent(cap.master, 0, cap.master.size())) << "the master never carries a click";

  // The bar click at frame 0: 4800 samples, then nothing until the next beat.
  EXPECT_NEAR(peak(cap.l, 0, 4800), 0.5f, 1e-3);
  EXPECT_NEAR(peak(cap.l, 480, 4320), 0.5f, 1e-3) << "full amplitude between the fades";
  EXPECT_TRUE(silent(cap.l, 4800, 24000));
  EXPECT_EQ(cap.l[0], 0.f);
  for (int i = 0; i < 480; i++) {
    const float envelope = 0.5f * std::pow(i / 480.f, 3.f);
    ASSERT_LE(std::fabs(cap.l[i]), envelope + 1e-6) << "fade in, sample " << i;
    ASSERT_LE(std::fabs(cap.l[4799 - i]), envelope + 1e-6) << "fade out, sample " << 4799 - i;
  }

  // Bar, beat, beat, beat, bar, ...: the bar click sounds an octave above (about 1760 Hz
  // against 880 Hz over the 3840 full-amplitude samples).
  const int beatCrossings = crossings(cap.l, 24000);
  EXPECT_NEAR(beatCrossings, 2 * 880 * 3839 / 48000.0, 3);
  for (int b = 0; b <= 10; b++) {
    const int c = crossings(cap.l, b * 24000);
    if (b % 4 == 0)
      EXPECT_NEAR(c, 2 * beatCrossings, 4) << "bar click at beat " << b;
    else
      EXPECT_NEAR(c, beatCrossings, 2) << "beat click at beat " << b;
  }

  // Every click starts on its beat's frame, whatever the beat's place in its period
  // (24000 is 192 frames into a period, 48000 is 128): same clicks, same samples.
  EXPECT_TRUE(silent(cap.l, 23000, 24000));
  for (int i = 0; i < 4800; i++) {
    ASSERT_EQ(cap.l[24000 + i], cap.l[48000 + i]) << i;
    ASSERT_EQ(cap.l[0 + i], cap.l[96000 + i]) << i;
  }
}

struct VolumeCase {
  float control; // below 0: no volume record, the initial gain
  float peak;
};
void PrintTo(const VolumeCase& v, std::ostream* os) { *os << "control " << v.control; }


class MetronomeVolume : public EngineTest, public ::testing::WithParamInterface<VolumeCase>
{
};

TEST_P(MetronomeVolume, GainIsHalfTheControlValue)
{
  metronomeOn(true);
  if (GetParam().control >= 0)
    send(EventMetronomeVolume(GetParam().control));
  Capture cap;
  cap.run(20);
  EXPECT_NEAR(peak(cap.l, 0, cap.l.size()), GetParam().peak, 1e-3) << GetParam().control;
}

INSTANTIATE_TEST_SUITE_P(Volume, MetronomeVolume,
                         ::testing::Values(VolumeCase{1.f, 0.5f}, VolumeCase{0.5f, 0.25f},
                                           VolumeCase{0.2f, 0.1f}, VolumeCase{-1.f, 0.25f},
                                           VolumeCase{0.f, 0.f}));

// Off in the middle of a click is silence from the next frame on; on again plays nothing
// until the next beat.
TEST_F(EngineTest, MetronomeOffSilencesAtOnceAndOnWaitsForTheNextBeat)
{
  metronomeOn(true);
  Capture cap;
  cap.run(95); // the beat click from 24000 is 320 samples in
  ASSERT_GT(peak(cap.l, 24000, cap.l.size()), 0.01f);
  metronomeOn(false);
  cap.run(2);
  metronomeOn(true);
  cap.run(100); // to 50432, past the beat at 48000
  EXPECT_TRUE(silent(cap.l, 95 * 256, 48000));
  EXPECT_GT(peak(cap.l, 48000, cap.l.size()), 0.2f);
}

// A tempo change on a bar line stops the click that bar line has just started.
TEST_F(EngineTest, TempoChangeSilencesItsBarLine)
{
  metronomeOn(true);
  Capture cap;
  cap.run(1);
  send(EventTimeBPM(150.f)); // applied at 96000; next beat 19200 later
  cap.run(470);             // to 120576
  EXPECT_GT(peak(cap.l, 72000, 76800), 0.2f) << "the beat before still clicks";
  EXPECT_TRUE(silent(cap.l, 76800, 96000 + 19200)) << "the bar line at 96000 is silent";
  EXPECT_GT(peak(cap.l, 96000 + 19200, cap.l.size()), 0.2f) << "the next beat clicks";
}
