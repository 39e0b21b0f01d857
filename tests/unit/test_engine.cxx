#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.hxx"
#include "event.hxx"

namespace
{
void fill(const char* port, float value)
{
  float* b = fakejack::audio(port);
  for (int i = 0; i < fakejack::bufferSize(); i++)
    b[i] = value;
}

template <class E> void send(E ev) { writeToDspRingbuffer(&ev); }
} // namespace

struct MasterRouting {
  const char* what;
  float inputVol; // control value; gain is twice it
  int mixOn, sendOn, keyOn;
  float mixLevel, sendLevel, crossfade;
};

class MasterMix : public EngineTest, public ::testing::WithParamInterface<MasterRouting>
{
};

// Every routing switch of the master strip, against the mix formula, once smoothing has
// settled.
TEST_P(MasterMix, OutputsFollowTheFormula)
{
  const MasterRouting& r = GetParam();
  const float inL = 0.5f, inR = -0.25f, retL = 0.1f, retR = 0.2f;
  fill("master_in_left", inL);
  fill("master_in_right", inR);
  fill("master_return_left", retL);
  fill("master_return_right", retR);

  send(EventMasterInputVol(r.inputVol));
  send(EventMasterInputTo(1, r.mixLevel));
  send(EventMasterInputTo(0, r.sendLevel));
  send(EventMasterInputTo(2, r.crossfade));
  send(EventMasterInputToActive(1, r.mixOn));
  send(EventMasterInputToActive(0, r.sendOn));
  send(EventMasterInputToActive(3, r.keyOn));
  fakejack::cycles(100);

  const float gain = 2.f * r.inputVol, master = 0.75f;
  for (int ch = 0; ch < 2; ch++) {
    const float in = (ch ? inR : inL) * gain, ret = ch ? retR : retL;
    const float mix = r.mixLevel * r.mixOn * (1.f - r.crossfade) * in;
    const int last = fakejack::bufferSize() - 1;
    const char* side = ch ? "right" : "left";
    EXPECT_NEAR(fakejack::audio(ch ? "master_right" : "master_left")[last], (ret + mix) * master, 5e-5)
      << r.what << " master " << side;
    EXPECT_NEAR(fakejack::audio(ch ? "send_out_r" : "send_out_l")[last],
                r.sendLevel * r.mixLevel * r.mixOn * r.sendOn * in, 5e-5)
      << r.what << " send " << side;
    EXPECT_NEAR(fakejack::audio(ch ? "sidechain_key_r" : "sidechain_key_l")[last], r.keyOn * in, 5e-5)
      << r.what << " key " << side;
    EXPECT_NEAR(fakejack::audio(ch ? "sidechain_signal_r" : "sidechain_signal_l")[last],
                r.crossfade * in, 5e-5)
      << r.what << " signal " << side;
    EXPECT_FLOAT_EQ(fakejack::audio(ch ? "headphone_out_r" : "headphone_out_l")[last], 0.f);
  }
}

INSTANTIATE_TEST_SUITE_P(
  Routing, MasterMix,
  ::testing::Values(MasterRouting{"nothing routed", 0.5f, 0, 0, 0, 0.f, 0.f, 0.f},
                    MasterRouting{"levels set, switches off", 0.5f, 0, 0, 0, 0.8f, 0.6f, 0.f},
                    MasterRouting{"to the mix", 0.5f, 1, 0, 0, 0.8f, 0.f, 0.f},
                    MasterRouting{"to the mix, double gain", 1.f, 1, 0, 0, 1.f, 0.f, 0.f},
                    MasterRouting{"mix with crossfade", 0.5f, 1, 0, 0, 0.8f, 0.f, 0.5f},
                    MasterRouting{"send needs the mix", 0.5f, 0, 1, 0, 0.8f, 0.6f, 0.f},
                    MasterRouting{"send through the mix", 0.5f, 1, 1, 0, 0.8f, 0.6f, 0.f},
                    MasterRouting{"key only", 0.5f, 0, 0, 1, 0.f, 0.f, 0.f},
                    MasterRouting{"everything", 0.7f, 1, 1, 1, 0.9f, 0.4f, 0.3f}),
  [](const ::testing::TestParamInfo<MasterRouting>& info) {
    std::string name;
    for (const char* c = info.param.what; *c; c++)
      name += isalnum((unsigned char)*c) ? *c : '_';
    return name;
  });

TEST_F(EngineTest, MasterGainMovesSmoothlyToItsTarget)
{
  fill("master_return_left", 1.f);
  fakejack::cycle();
  EXPECT_NEAR(fakejack::audio("master_left")[255], 0.75f, 1e-6);

  send(EventMasterVol(0.25f));
  fakejack::cycle();
  const float* out = fakejack::audio("master_left");
  // One smoothing step per sample: no jump, and monotonic toward the target.
  const float step = jack->smoothing();
  EXPECT_NEAR(out[0], 0.75f + (0.25f - 0.75f) * step, 1e-6);
  for (int i = 1; i < 256; i++)
    ASSERT_LT(out[i], out[i - 1]) << i;
  EXPECT_GT(out[255], 0.25f);
  fakejack::cycles(40);
  // A float one-pole step stalls within about 1e-5 of its target: inaudible.
  EXPECT_NEAR(fakejack::audio("master_left")[255], 0.25f, 2e-5);
}

TEST_F(EngineTest, SmoothingTakesTheSameTimeAtAnyRate)
{
  EXPECT_FLOAT_EQ(jack->smoothing(), (44100.f / 48000.f) * 0.005f);
}

namespace
{
struct Report {
  int cycle;
  int track;
  float left, right;
};
} // namespace

// 0 dB reports 1.0, silence (-96 dB) reports 0, the input report is scaled by the input
// gain, and reports come in pairs about thirty times a second.
TEST_F(EngineTest, MeterReportsAndTheirCadence)
{
  fill("master_in_left", 1.f);
  fill("master_in_right", -1.f);
  send(EventMasterInputVol(0.75f)); // gain 1.5
  fakejack::cycles(40);             // let the gain settle
  discardGui();

  std::vector<Report> reports;
  for (int c = 0; c < 70; c++) {
    fakejack::cycle();
    drainGui([&](int type, const char* bytes) {
      if (type != EVENT_TRACK_SIGNAL_LEVEL)
        return;
      auto* ev = reinterpret_cast<const EventTrackSignalLevel*>(bytes);
      if (ev->track < 0) // the master's two meters; tracks report on their own
        reports.push_back({c, ev->track, ev->left, ev->right});
    });
  }
  ASSERT_EQ(reports.size(), 20u);
  for (size_t i = 0; i < reports.size(); i += 2) {
    EXPECT_EQ(reports[i].track, -1);
    EXPECT_EQ(reports[i + 1].track, -2);
    EXPECT_EQ(reports[i].cycle, reports[i + 1].cycle);
    EXPECT_FLOAT_EQ(reports[i].left, 0.f) << "silent master output reports 0";
    EXPECT_NEAR(reports[i + 1].left, 1.5f, 1e-4) << "0 dB input reports 1.0 times the gain";
    EXPECT_NEAR(reports[i + 1].right, 1.5f, 1e-4);
    if (i >= 2) { // sample rate / 30 = 1600 frames: one report every 7 periods of 256
      EXPECT_EQ(reports[i].cycle - reports[i - 2].cycle, 7);
    }
  }
}

TEST(DBMeterTest, ReportValues)
{
  DBMeter m(48000);
  float full[4] = {1.f, -1.f, 0.5f, 0.f};
  m.process(4, full, full);
  EXPECT_FLOAT_EQ(m.getLeftDB(), 1.f);
  EXPECT_FLOAT_EQ(m.getRightDB(), 1.f);
  // The peak was reset by the report; the falling display still holds about 0 dB.
  float silence[1] = {0.f};
  m.process(1, silence, silence);
  EXPECT_NEAR(m.getLeftDB(), 1.f, 1e-3);

  DBMeter quiet(48000);
  float tiny[2] = {1e-9f, std::nanf("")};
  quiet.process(2, tiny, tiny);
  EXPECT_FLOAT_EQ(quiet.getLeftDB(), 0.f) << "floored at -96 dB";
  float loud[1] = {100.f};
  quiet.process(1, loud, loud);
  EXPECT_FLOAT_EQ(quiet.getLeftDB(), powf(10.f / 96.f + 1.f, 4.f)) << "capped at +10 dB";
}

// The engine's port pointers move on between the pieces of a split period, so the second
// piece writes where the first stopped.
TEST_F(EngineTest, SplitPeriodAdvancesThePortBuffers)
{
  fill("master_return_left", 1.f);
  fakejack::cycles(2);
  Buffers& b = jack->getBuffers();
  float* outStart = fakejack::audio("master_left");
  float* inStart = fakejack::audio("master_in_left");
  ASSERT_EQ(b.audio[Buffers::MASTER_OUT_L], outStart);
  for (int i = 0; i < 256; i++)
    outStart[i] = -5.f;

  {
    rtcheck::ProcessScope rt;
    jack->processFrames(100);
    EXPECT_EQ(b.audio[Buffers::MASTER_OUT_L], outStart + 100);
    EXPECT_EQ(b.audio[Buffers::MASTER_INPUT_L], inStart + 100);
    EXPECT_EQ(b.audio[Buffers::HEADPHONES_OUT_L], fakejack::audio("headphone_out_l") + 100);
    jack->clearScratch(256);
    jack->processFrames(156);
  }
  EXPECT_EQ(b.audio[Buffers::MASTER_OUT_L], outStart + 100) << "the last piece does not advance";
  for (int i = 0; i < 256; i++)
    ASSERT_NEAR(outStart[i], 0.75f, 1e-6) << "sample " << i << " written exactly once";

  // The next period starts from the beginning again.
  fakejack::cycle();
  EXPECT_EQ(b.audio[Buffers::MASTER_OUT_L], outStart);
}

TEST_F(EngineTest, NegativePieceIsRefusedWithAMessage)
{
  discardGui();
  {
    rtcheck::ProcessScope rt;
    jack->processFrames(-3);
  }
  bool said = false;
  drainGui([&](int type, const char* bytes) {
    if (type == EVENT_GUI_PRINT)
      said = std::string(reinterpret_cast<const EventGuiPrint*>(bytes)->getMessage()) ==
             "Jack processFrames got nframes < 0";
  });
  EXPECT_TRUE(said);
}

TEST_F(EngineTest, ConstructionAnnouncesTheSampleRateAndRegistersTheMasterPorts)
{
  std::vector<std::string> expected = {
    "master_in_left",  "master_in_right", "master_return_left", "master_return_right",
    "master_left",     "master_right",    "headphone_out_l",    "headphone_out_r",
    "send_out_l",      "send_out_r",      "sidechain_key_l",    "sidechain_key_r",
    "sidechain_signal_l", "sidechain_signal_r"};
  std::vector<std::string> names = fakejack::portNames();
  ASSERT_GE(names.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(names[i], expected[i]);
    EXPECT_EQ(fakejack::port(names[i])->flags, i < 4 ? (unsigned long)JackPortIsInput
                                                     : (unsigned long)JackPortIsOutput);
  }
  EXPECT_TRUE(fakejack::activated());
}

TEST_F(EngineTest, SecondSetupOnlyWarns)
{
  Jack* first = jack;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(Jack::setup("Vesko"));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(jack, first);
  EXPECT_NE(out.find("JACK instance already exists!"), std::string::npos);
}

TEST_F(EngineTest, ServerShutdownIsNoticed)
{
  EXPECT_FALSE(jack->serverGone());
  fakejack::shutdownServer("killed by the test");
  EXPECT_TRUE(jack->serverGone());
  EXPECT_STREQ(jack->serverGoneReason(), "killed by the test");
}

// The meter against its per-sample definition (everything in dB), over a signal that rises,
// holds, falls below the display, and carries silence, NaN and overloads.
TEST(DBMeterTest, MatchesThePerSampleDefinition)
{
  struct Reference {
    float level = -96.f, peak = -96.f;
    void sample(float x)
    {
      float m = std::fabs(x);
      if (!(m > 1.58489e-5f))
        m = 1.58489e-5f;
      const float db = std::min(20.f * log10f(m), 10.f);
      level = std::max(db, level - 96.f / 48000);
      peak = std::max(peak, level);
    }
    float report()
    {
      float v = powf(peak / 96.f + 1.f, 4.f);
      peak = -96.f;
      return v;
    }
  } ref;

  DBMeter meter(48000);
  std::vector<float> x(48000 * 3);
  for (size_t i = 0; i < x.size(); i++) {
    const float env = i < 48000 ? i / 48000.f : (i < 96000 ? 1.f : 0.01f);
    x[i] = env * sinf(i * 0.05f) * (i % 7919 == 0 ? 5.f : 1.f);
  }
  for (size_t i = 100000; i < 101000; i++)
    x[i] = 0.f;
  x[120000] = std::nanf("");
  for (size_t from = 0; from < x.size(); from += 1600) {
    const int n = (int)std::min<size_t>(1600, x.size() - from);
    meter.process(n, &x[from], &x[from]);
    for (int i = 0; i < n; i++)
      ref.sample(x[from + i]);
    const float expected = ref.report();
    ASSERT_NEAR(meter.getLeftDB(), expected, 1e-4 + 1e-3 * expected) << "block at " << from;
    meter.getRightDB();
  }
}
