#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "guirecords.hxx"
#include "timemanager.hxx"
#include "timeobserver.hxx"

namespace
{
template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }

// Logs every time callback with the frame it arrives at: the period's first frame plus
// how far the engine's port buffers have been advanced within the period.
class Recorder : public TimeObserver
{
public:
  struct Call {
    char what; // 'b' beat, 'B' bar, 'f' tempo, 'r' restart
    int64_t frame;
    double fpb;
  };

  Recorder() : base(fakejack::audio("master_left")) { calls.reserve(100000); }

  void setFpb(double f) override { log('f', f); }
  void transportRestart() override { log('r'); }
  void bar() override { log('B'); }
  void beat() override { log('b'); }

  std::vector<int64_t> frames(char what) const
  {
    std::vector<int64_t> out;
    for (auto& c : calls)
      if (c.what == what)
        out.push_back(c.frame);
    return out;
  }

  std::vector<Call> calls;

private:
  void log(char what, double f = 0)
  {
    const int64_t inPeriod = jack->getBuffers().audio[Buffers::MASTER_OUT_L] - base;
    calls.push_back({what, jack->getTimeManager()->getTotalFrames() + inPeriod, f});
  }
  float* base;
};

// Where the published position puts the next period's first frame, in beats.
double publishedBeats()
{
  const jack_position_t& p = fakejack::position();
  return (p.bar - 1) * 4 + (p.beat - 1) + p.tick / 1920.0;
}

void runCycles(int count, GuiRecords& gui)
{
  for (int i = 0; i < count; i++) {
    fakejack::cycle();
    gui.take();
  }
}

// Beat frames of a grid starting at origin.
std::vector<int64_t> grid(int64_t origin, double fpb, int count)
{
  std::vector<int64_t> out;
  for (int k = 0; k < count; k++)
    out.push_back(origin + (int64_t)std::floor(k * fpb));
  return out;
}

std::vector<int64_t> slice(const std::vector<int64_t>& v, size_t from, size_t count)
{
  return std::vector<int64_t>(v.begin() + from, v.begin() + std::min(v.size(), from + count));
}
} // namespace

// 120 BPM at 48 kHz: beats every 24000 frames from the first frame on, each one a bar line
// every fourth beat, called after its beat at the same frame; 24000 is not a multiple of
// 256, so most of these periods are split.
TEST_F(EngineTest, BeatsAndBarsLandOnTheirExactFrames)
{
  Recorder rec;
  GuiRecords gui;
  runCycles(1000, gui); // 256000 frames: beats 0 to 10

  EXPECT_EQ(rec.frames('b'), grid(0, 24000, 11));
  EXPECT_EQ(rec.frames('B'), grid(0, 96000, 3));
  for (size_t i = 0; i < rec.calls.size(); i++)
    if (rec.calls[i].what == 'B') {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(rec.calls[i - 1].what, 'b') << "the bar comes after its beat";
      EXPECT_EQ(rec.calls[i - 1].frame, rec.calls[i].frame);
    }

  using BarBeats = std::vector<std::pair<int, int>>;
  BarBeats expected = {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}};
  ASSERT_GE(gui.barBeats.size(), expected.size());
  EXPECT_EQ(BarBeats(gui.barBeats.begin(), gui.barBeats.begin() + 6), expected);
}

// The published position describes the first frame of the next period: after the first
// period it is 256 frames into bar 1, beat 1, and from then on it always agrees with the
// frame count (one beat every 24000 frames).
TEST_F(EngineTest, TimebasePositionFollowsTheBeats)
{
  fakejack::cycle();
  const jack_position_t& p = fakejack::position();
  EXPECT_TRUE(p.valid & JackPositionBBT);
  EXPECT_EQ(p.bar, 1);
  EXPECT_EQ(p.beat, 1);
  EXPECT_EQ(p.tick, 20); // 256 / 24000 of a beat
  EXPECT_EQ(p.frame, 256u);
  EXPECT_DOUBLE_EQ(p.beats_per_minute, 120.0);
  EXPECT_DOUBLE_EQ(p.ticks_per_beat, 1920.0);
  EXPECT_FLOAT_EQ(p.beats_per_bar, 4.f);
  EXPECT_FLOAT_EQ(p.beat_type, 4.f);

  GuiRecords gui;
  bool sawBarTwo = false;
  for (int c = 2; c <= 1200; c++) {
    fakejack::cycle();
    gui.take();
    const double beats = p.frame / 24000.0;
    ASSERT_EQ(p.frame, (jack_nframes_t)(256 * c));
    ASSERT_NEAR(publishedBeats(), beats, 1.0 / 1920) << "period " << c;
    ASSERT_GE(p.tick, 0);
    ASSERT_LT(p.tick, 1920);
    sawBarTwo |= p.bar == 2 && p.beat == 1;
  }
  EXPECT_TRUE(sawBarTwo);
}

// Stopping freezes everything and silences every output while records are still applied;
// starting again puts a beat and a bar on the first frame of the next period.
TEST_F(EngineTest, TransportStopFreezesAndRestartBeginsWithABeatAndABar)
{
  Recorder rec;
  GuiRecords gui;
  runCycles(50, gui);
  const int64_t framesBefore = jack->getTimeManager()->getTotalFrames();
  const int beatsBefore = jack->getTimeManager()->getBeatCounter();
  const jack_position_t posBefore = fakejack::position();
  const size_t callsBefore = rec.calls.size();

  send(EventTransportState(0));
  for (int i = 0; i < 256; i++)
    fakejack::audio("master_return_left")[i] = 1.f;
  for (int c = 0; c < 200; c++) {
    // What a port held last period must not be played again.
    fakejack::audio("send_out_l")[0] = 7.f;
    fakejack::audio("Send_track_1_l")[0] = 7.f;
    if (c == 100)
      send(EventMetronomeVolume(0.5f));
    fakejack::cycle();
    gui.take();
    for (const char* port : {"master_left", "headphone_out_l", "send_out_l", "Send_track_1_l"})
      for (int i = 0; i < 256; i++)
        ASSERT_EQ(fakejack::audio(port)[i], 0.f) << port << " while stopped, sample " << i;
  }
  EXPECT_EQ(fakejack::transportStops(), 1);
  EXPECT_EQ(jack->getTimeManager()->getTotalFrames(), framesBefore);
  EXPECT_EQ(jack->getTimeManager()->getBeatCounter(), beatsBefore);
  EXPECT_EQ(rec.calls.size(), callsBefore) << "no callbacks while stopped";
  EXPECT_EQ(fakejack::position().frame, posBefore.frame);
  EXPECT_EQ(fakejack::position().tick, posBefore.tick);
  EXPECT_TRUE(gui.printed("EventDSP: MetroVol 0.500000")) << "records still applied";

  send(EventTransportState(1));
  fakejack::cycle();
  EXPECT_EQ(fakejack::transportStarts(), 1);
  ASSERT_EQ(rec.calls.size(), callsBefore + 3);
  EXPECT_EQ(rec.calls[callsBefore].what, 'r');
  EXPECT_EQ(rec.calls[callsBefore + 1].what, 'b');
  EXPECT_EQ(rec.calls[callsBefore + 2].what, 'B');
  for (size_t i = callsBefore; i < rec.calls.size(); i++)
    EXPECT_EQ(rec.calls[i].frame, framesBefore) << "on the restart period's first frame";
  EXPECT_NEAR(fakejack::audio("master_left")[255], 0.75f, 1e-6) << "audio runs again";
  EXPECT_EQ(fakejack::position().bar, 1);
  EXPECT_EQ(fakejack::position().beat, 1);
}

// A tempo request waits for the next bar line, replaces any earlier one, and takes effect
// after the bar callbacks there; the counters restart with the beat just passed as beat 0.
TEST_F(EngineTest, QueuedTempoTakesEffectAtTheNextBarLine)
{
  Recorder rec;
  GuiRecords gui;
  runCycles(100, gui);
  send(EventTimeBPM(90.f));
  runCycles(100, gui);
  send(EventTimeBPM(150.f)); // fpb 19200
  runCycles(174, gui);      // up to frame 95744, just before the bar line at 96000
  EXPECT_DOUBLE_EQ(fakejack::position().beats_per_minute, 120.0);
  EXPECT_EQ(rec.frames('f').size(), 0u);

  runCycles(2, gui); // the bar line is the first frame of the second
  std::vector<Recorder::Call> at;
  for (auto& c : rec.calls)
    if (c.frame == 96000)
      at.push_back(c);
  ASSERT_EQ(at.size(), 3u);
  EXPECT_EQ(at[0].what, 'b');
  EXPECT_EQ(at[1].what, 'B');
  EXPECT_EQ(at[2].what, 'f');
  EXPECT_DOUBLE_EQ(at[2].fpb, 19200.0);
  EXPECT_EQ(jack->getTimeManager()->getBeatCounter(), 1);
  EXPECT_EQ(jack->getTimeManager()->getBarCounter(), 0);
  EXPECT_TRUE(gui.printed("TM, setFpb() 19200, bpm = 150"));
  ASSERT_FALSE(gui.bpms.empty());
  EXPECT_FLOAT_EQ(gui.bpms.back(), 150.f);
  EXPECT_DOUBLE_EQ(fakejack::position().beats_per_minute, 150.0);
  EXPECT_EQ(fakejack::position().bar, 1);
  EXPECT_EQ(fakejack::position().beat, 1);

  runCycles(400, gui);
  EXPECT_EQ(rec.frames('f').size(), 1u) << "the earlier request was replaced";
  EXPECT_EQ(slice(rec.frames('b'), 4, 6), grid(96000, 19200, 6));
  EXPECT_EQ(rec.frames('B')[2], 96000 + 4 * 19200) << "bars counted from the tempo change";
}

// Tempo changes on bar lines that fall inside a period keep every beat on the exact grid
// of the new tempo, and an exact BPM is shown as itself (126, not 125).
TEST_F(EngineTest, BeatGridStaysExactAcrossTempoChangesInsideAPeriod)
{
  Recorder rec;
  GuiRecords gui;
  runCycles(1, gui);         // past the bar line at frame 0
  send(EventTimeBPM(126.f)); // fpb 22857.14..., applied at frame 96000
  runCycles(400, gui);
  EXPECT_TRUE(gui.printed("TM, setFpb() 22857, bpm = 126"));
  EXPECT_DOUBLE_EQ(fakejack::position().beats_per_minute, 126.0);
  ASSERT_FALSE(gui.bpms.empty());
  EXPECT_FLOAT_EQ(gui.bpms.back(), 126.f);

  const double fpb126 = 2880000.0 / 126;
  const int64_t nextBar = 96000 + (int64_t)std::floor(4 * fpb126); // 187428: 36 frames in
  ASSERT_NE(nextBar % 256, 0);
  send(EventTimeBPM(100.f)); // fpb 28800
  runCycles(1200, gui);

  std::vector<int64_t> beats = rec.frames('b');
  EXPECT_EQ(slice(beats, 4, 4), grid(96000, fpb126, 4));
  EXPECT_EQ(slice(beats, 8, 8), grid(nextBar, 28800, 8));
  std::vector<int64_t> tempo = rec.frames('f');
  ASSERT_EQ(tempo.size(), 2u);
  EXPECT_EQ(tempo[1], nextBar);
  EXPECT_NEAR(publishedBeats(), (fakejack::position().frame - nextBar) / 28800.0, 1.0 / 1920);
}

struct TempoRequest {
  const char* what;
  float bpm;
  bool zeroOne;         // through setBpmZeroOne instead of an EventTimeBPM
  const char* message;  // what the interface is told, "" for none checked
  double appliedFpb;    // 0: dropped
};
void PrintTo(const TempoRequest& r, std::ostream* os) { *os << r.what; }


class TempoRange : public EngineTest, public ::testing::WithParamInterface<TempoRequest>
{
};

// Requests outside 60 to 220 BPM are dropped with a message and the tempo stays.
TEST_P(TempoRange, RequestsAreTestedAgainstTheRange)
{
  const TempoRequest& r = GetParam();
  Recorder rec;
  GuiRecords gui;
  runCycles(10, gui);
  if (r.zeroOne) {
    rtcheck::ProcessScope rt;
    jack->getTimeManager()->setBpmZeroOne(r.bpm);
  } else {
    send(EventTimeBPM(r.bpm));
  }
  runCycles(400, gui);

  if (*r.message) {
    EXPECT_TRUE(gui.printed(r.message)) << r.what;
  }
  std::vector<int64_t> changes = rec.frames('f');
  if (r.appliedFpb == 0) {
    bool dropped = false;
    for (auto& p : gui.prints)
      dropped |= p.rfind("drop TM::qfpb() ", 0) == 0;
    EXPECT_TRUE(dropped) << r.what;
    EXPECT_TRUE(changes.empty()) << r.what;
    EXPECT_DOUBLE_EQ(jack->getTimeManager()->getFpb(), 24000.0) << r.what;
  } else {
    ASSERT_EQ(changes.size(), 1u) << r.what;
    EXPECT_EQ(changes[0], 96000) << r.what;
    EXPECT_DOUBLE_EQ(jack->getTimeManager()->getFpb(), r.appliedFpb) << r.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
  Tempo, TempoRange,
  ::testing::Values(
    TempoRequest{"just below 60", 59.9f, false, "drop TM::qfpb() 48080 bpm = 59", 0},
    TempoRequest{"just above 220", 220.5f, false, "drop TM::qfpb() 13061 bpm = 220", 0},
    TempoRequest{"zero", 0.f, false, "", 0},
    TempoRequest{"negative", -120.f, false, "", 0},
    TempoRequest{"not a number", NAN, false, "", 0},
    TempoRequest{"220 itself", 220.f, false, "TM, setFpb() 13090, bpm = 220", 2880000.0 / 220.f},
    TempoRequest{"60 itself", 60.f, false, "TM, setFpb() 48000, bpm = 60", 48000.0},
    TempoRequest{"fader at half", 0.5f, true, "TM, setFpb() 20571, bpm = 140", 2880000.0 / 140}),
  [](const ::testing::TestParamInfo<TempoRequest>& info) {
    std::string name;
    for (const char* c = info.param.what; *c; c++)
      name += isalnum((unsigned char)*c) ? *c : '_';
    return name;
  });

struct TapCase {
  const char* what;
  std::vector<int> taps; // periods of 240 frames (0.5 s = 100 periods)
  std::vector<std::string> said;
};
void PrintTo(const TapCase& t, std::ostream* os) { *os << t.what; }


class TapTempo : public EngineTest, public ::testing::WithParamInterface<TapCase>
{
protected:
  int period() const override { return 240; }
};

// Four taps give the beat length, applied at the next bar line; a fourth tap too soon is
// refused but the taps are kept; a first tap older than five seconds is forgotten.
TEST_P(TapTempo, FourTapsSetTheTempo)
{
  const TapCase& t = GetParam();
  GuiRecords gui;
  int cycle = 0;
  for (int at : t.taps) {
    for (; cycle < at; cycle++)
      fakejack::cycle();
    gui.take();
    send(EventTimeTempoTap(true));
  }
  for (int i = 0; i < 450; i++, cycle++) { // past the next bar line
    fakejack::cycle();
    gui.take();
  }
  std::vector<std::string> said;
  for (auto& p : gui.prints)
    if (p.rfind("TM,", 0) == 0 || p.rfind("drop", 0) == 0)
      said.push_back(p);
  EXPECT_EQ(said, t.said) << t.what;
}

INSTANTIATE_TEST_SUITE_P(
  Taps, TapTempo,
  ::testing::Values(
    TapCase{"half a second apart",
            {0, 100, 200, 300},
            {"TM, tap() average = 24000", "TM, setFpb() 24000, bpm = 120"}},
    TapCase{"too fast, then completed by a fifth",
            {0, 50, 100, 150, 180},
            {"TM, tap() average too slow! quitting", "TM, tap() average = 14400",
             "TM, setFpb() 14400, bpm = 200"}},
    TapCase{"stale first tap",
            {0, 1300, 1400, 1500, 1600},
            {"TM, tap() average = 24000", "TM, setFpb() 24000, bpm = 120"}},
    TapCase{"average above 220", {0, 54, 108, 163},
            {"TM, tap() average = 13040", "drop TM::qfpb() 13040 bpm = 220"}},
    TapCase{"average below 60", {0, 300, 600, 990},
            {"TM, tap() average = 79200", "drop TM::qfpb() 79200 bpm = 36"}}),
  [](const ::testing::TestParamInfo<TapCase>& info) {
    std::string name;
    for (const char* c = info.param.what; *c; c++)
      name += isalnum((unsigned char)*c) ? *c : '_';
    return name;
  });
