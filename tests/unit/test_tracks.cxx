#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audioprocessor.hxx"
#include "engine_fixture.hxx"
#include "guirecords.hxx"
#include "jacksendreturn.hxx"
#include "timemanager.hxx"
#include "trackoutput.hxx"

namespace
{
// Stands in for the unit before a track output or send/return: adds a known signal into
// one of the track's buffer pairs, either constant or a ramp that runs on across calls.
class Source : public AudioProcessor
{
public:
  Source(int left, int right, float l, float r) : left(left), right(right), l(l), r(r) {}
  void process(unsigned int n, Buffers* b) override
  {
    for (unsigned i = 0; i < n; i++) {
      const float k = ramp ? (float)(counter++) * 1e-3f : 1.f;
      b->audio[left][i] += l * k;
      b->audio[right][i] += r * k;
    }
  }
  bool ramp = false;
  uint64_t counter = 0;

private:
  int left, right;
  float l, r;
};

// Runs the unit once per period of 256 on the engine's buffers, with fresh buses.
void run(AudioProcessor& unit, int periods)
{
  rtcheck::ProcessScope rt;
  for (int p = 0; p < periods; p++) {
    jack->clearScratch(256);
    unit.process(256, &jack->getBuffers());
  }
}

void fill(const std::string& port, float value, int n = 256)
{
  float* b = fakejack::audio(port);
  for (int i = 0; i < n; i++)
    b[i] = value;
}

class PerTrackOutputs : public EngineTest
{
protected:
  void SetUp() override
  {
    Jack::setPerTrackOutputs(true);
    EngineTest::SetUp();
  }
};

std::string trackPort(const char* format, int track)
{
  char name[32];
  snprintf(name, sizeof(name), format, track + 1);
  return name;
}
} // namespace

struct Strip {
  const char* what;
  float volume, firstPan, pan, send;
  bool sendOn, keyOn;
  float crossfade;
  bool oddSelectors, notANumber;
  // Settled outputs for a track signal of 1.0 left and 0.5 right.
  float mixL, mixR, directL, directR, sendL, keyL, signalL;
};
void PrintTo(const Strip& s, std::ostream* os) { *os << s.what; }


class TrackStrip : public PerTrackOutputs, public ::testing::WithParamInterface<Strip>
{
};

TEST_P(TrackStrip, SettlesOnTheStripsGains)
{
  const Strip& s = GetParam();
  Source signal(Buffers::trackSignalL(0), Buffers::trackSignalR(0), 1.f, 0.5f);
  TrackOutput out(0, &signal);
  fakejack::cycle(); // fetches the period's port buffers
  {
    rtcheck::ProcessScope rt;
    out.setPan(s.firstPan);
  }
  run(out, 100);
  {
    rtcheck::ProcessScope rt;
    out.setMaster(s.volume);
    out.setPan(s.pan);
    out.setSend(0, s.send);
    out.setSendActive(0, s.sendOn);
    out.setSendActive(1, s.keyOn);
    out.setSend(2, s.crossfade);
    if (s.oddSelectors) {
      out.setSend(1, 0.9f);
      out.setSendActive(2, true);
    }
    if (s.notANumber) {
      out.setMaster(NAN);
      out.setPan(NAN);
      out.setSend(0, NAN);
      out.setSend(2, NAN);
    }
  }
  run(out, 200);

  float** a = jack->getBuffers().audio;
  const int last = 255;
  const float tol = 1e-4f;
  // A fader below 0.01 is an exact 0; other gains settle within -100 dB of their targets.
  const float mixTol = s.volume < 0.01f ? 1e-9f : tol;
  EXPECT_NEAR(a[Buffers::MIX_L][last], s.mixL, mixTol) << s.what << ": mix L";
  EXPECT_NEAR(a[Buffers::MIX_R][last], s.mixR, mixTol) << s.what << ": mix R";
  EXPECT_NEAR(fakejack::audio("track_1_l")[last], s.directL, tol) << s.what << ": direct L";
  EXPECT_NEAR(fakejack::audio("track_1_r")[last], s.directR, tol) << s.what << ": direct R";
  EXPECT_NEAR(a[Buffers::SEND_ACC_L][last], s.sendL, tol) << s.what << ": send";
  EXPECT_NEAR(a[Buffers::SEND_ACC_R][last], s.sendL / 2, tol) << s.what << ": send R";
  EXPECT_NEAR(a[Buffers::KEY_ACC_L][last], s.keyL, tol) << s.what << ": key";
  EXPECT_NEAR(a[Buffers::KEY_ACC_R][last], s.keyL / 2, tol) << s.what << ": key R";
  EXPECT_NEAR(a[Buffers::SIGNAL_ACC_L][last], s.signalL, tol) << s.what << ": side-chain signal";
  EXPECT_NEAR(a[Buffers::SIGNAL_ACC_R][last], s.signalL / 2, tol) << s.what << ": signal R";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
  Strips, TrackStrip,
  ::testing::Values(
    //      what                          vol    pan0  pan  send sendOn key   xfade odd    NaN     mixL mixR  dirL dirR  send key  sig
    Strip{"fader 0.005 mutes exactly",    0.005f, 0,   0,   0,   false, false, 0,   false, false,  0,   0,    0,   0,    0,   0,   0},
    Strip{"fader 0.01 still plays",       0.01f,  0,   0,   0,   false, false, 0,   false, false,  .01f,.005f,.01f,.005f,0,   0,   0},
    Strip{"pan hard left",                1,      0,  -1,   0,   false, false, 0,   false, false,  1,   0,    1,   .5f,  0,   0,   0},
    Strip{"pan half right",               1,      0,  .5f,  0,   false, false, 0,   false, false,  .5f, .5f,  1,   .5f,  0,   0,   0},
    Strip{"pan from -0.5 to 0.5",         1,   -.5f,  .5f,  0,   false, false, 0,   false, false,  .5f, .5f,  1,   .5f,  0,   0,   0},
    Strip{"crossfade 1",                  .8f,    0,   0,   0,   false, false, 1,   false, false,  0,   0,    0,   0,    0,   0,   .8f},
    Strip{"key with the fader at 0",      0,      0,   0,   0,   false, true,  0,   false, false,  0,   0,    0,   0,    0,   1,   0},
    Strip{"post-fader send",              .5f,    0,   0,   .6f, true,  false, 0,   false, false,  .5f, .25f, .5f, .25f, .3f, 0,   0},
    Strip{"send level, switch off",       .5f,    0,   0,   .6f, false, false, 0,   false, false,  .5f, .25f, .5f, .25f, 0,   0,   0},
    Strip{"half crossfade, full send",    1,      0,   0,   1,   true,  false, .5f, false, false,  .5f, .25f, .5f, .25f, 1,   0,   .5f},
    Strip{"other selectors ignored",      1,      0,   0,   0,   false, false, 0,   true,  false,  1,   .5f,  1,   .5f,  0,   0,   0},
    Strip{"not-a-number ignored",         .5f,    0,  -1,   .6f, true,  false, 0,   false, true,   .5f, 0,    .5f, .25f, .3f, 0,   0}),
  [](const ::testing::TestParamInfo<Strip>& info) {
    std::string name;
    for (const char* c = info.param.what; *c; c++)
      name += isalnum((unsigned char)*c) ? *c : '_';
    return name;
  });
// clang-format on

// With the return active and nothing connected, the track falls silent while its send
// ports still carry the looper's output; the switch crossfades instead of jumping. A
// period cut in two pieces writes the send ports without gap or overlap.
TEST_F(EngineTest, SendReturnSendsTheLooperAndCrossfadesToTheReturn)
{
  Source looper(Buffers::looperOutL(0), Buffers::looperOutR(0), 1.f, -1.f);
  looper.ramp = true;
  // Port names are unique within a client: free the engine's own track 1 names for this copy.
  for (const char* n : {"Send_track_1_l", "Send_track_1_r", "Return_track_1_l", "Return_track_1_r"})
    fakejack::port(n)->registered = false;
  const size_t first = fakejack::portNames().size();
  JackSendReturn sr(0, &looper, jack->getJackClientPointer());
  ASSERT_EQ(fakejack::portNames().size(), first + 4);
  const float* sendL = fakejack::portAt(first)->audio.data();
  const float* sendR = fakejack::portAt(first + 1)->audio.data();
  TrackOutput out(0, &sr);
  fakejack::cycle();
  float** a = jack->getBuffers().audio;

  auto piece = [&](unsigned n) {
    rtcheck::ProcessScope rt;
    out.process(n, &jack->getBuffers());
  };
  {
    rtcheck::ProcessScope rt;
    sr.setSendVolume(0.5f);
    out.setMaster(1.f);
  }
  for (int p = 0; p < 60; p++) { // the send gain settles
    jack->clearScratch(256);
    piece(100);
    jack->clearScratch(256);
    piece(156);
  }
  const float before = a[Buffers::MIX_L][155];
  EXPECT_GT(before, 0.1f) << "the looper plays through the mix";
  for (int i = 0; i < 256; i++) {
    const float expected = 0.5f * (float)(looper.counter - 256 + i) * 1e-3f;
    ASSERT_NEAR(sendL[i], expected, 1e-4) << "send sample " << i << " of a split period";
    ASSERT_NEAR(sendR[i], -expected, 1e-4);
  }

  {
    rtcheck::ProcessScope rt;
    sr.setActive(true);
  }
  jack->clearScratch(256);
  const float dry = (float)looper.counter * 1e-3f; // the looper's next sample
  piece(256);
  EXPECT_GT(a[Buffers::MIX_L][0], 0.99f * dry) << "no jump to the return";
  EXPECT_LT(a[Buffers::MIX_L][255], 0.5f * dry) << "but well on the way within 256 samples";
  for (int p = 0; p < 20; p++) {
    jack->clearScratch(256);
    piece(256);
  }
  // Smoothed gains settle within about -95 dB of their targets.
  const float now = (float)(looper.counter - 1) * 1e-3f;
  EXPECT_NEAR(a[Buffers::MIX_L][255], 0.f, 2e-5f * now) << "nothing returns, nothing plays";
  EXPECT_NEAR(sendL[255], 0.5f * now, 2e-5f * now) << "the send still carries the looper";
}

// The engine's own eight chains: each track's return reaches the mix through its fader,
// is read at the right place in both pieces of a split period, and reaches its direct
// output; level reports come for every track, scaled by its fader.
TEST_F(PerTrackOutputs, EightChainsMixIntoTheMaster)
{
  for (int t = 0; t < NTRACKS; t++) {
    rtcheck::ProcessScope rt;
    jack->getJackSendReturn(t)->setActive(true);
  }
  float* ramp = fakejack::audio("Return_track_1_l");
  for (int i = 0; i < 256; i++)
    ramp[i] = i / 256.f;
  for (int t = 1; t < NTRACKS; t++)
    fill(trackPort("Return_track_%d_l", t), 0.01f * t);
  fill("Return_track_3_r", 1.f);

  GuiRecords gui;
  for (int c = 0; c < 93; c++) {
    fakejack::cycle();
    gui.take();
  }
  // Period 94 holds the beat at 24000, 192 frames in: it runs in two pieces.
  fakejack::cycle();
  ASSERT_EQ(jack->getTimeManager()->getBeatCounter(), 2);
  const float others = 0.01f * (1 + 2 + 3 + 4 + 5 + 6 + 7) * 0.8f;
  for (int i = 0; i < 256; i++) {
    ASSERT_NEAR(fakejack::audio("master_left")[i], (i / 256.f * 0.8f + others) * 0.75f, 1e-5) << i;
    ASSERT_NEAR(fakejack::audio("track_1_l")[i], i / 256.f * 0.8f, 1e-5) << i;
  }
  EXPECT_NEAR(fakejack::audio("master_right")[255], 0.8f * 0.75f, 1e-5);
  for (int t = 1; t < NTRACKS; t++)
    EXPECT_NEAR(fakejack::audio(trackPort("track_%d_l", t))[0], 0.01f * t * 0.8f, 1e-6) << t;

  gui.levels.clear();
  for (int c = 0; c < 14; c++) {
    fakejack::cycle();
    gui.take();
  }
  std::vector<int> reported(NTRACKS, 0);
  for (auto& e : gui.levels) {
    if (e.track < 0)
      continue;
    reported[e.track]++;
    if (e.track == 2) {
      EXPECT_NEAR(e.right, 0.8f, 1e-4) << "0 dB times the fader";
    }
    if (e.track == 1) {
      EXPECT_LT(e.right, 1e-6f) << "a silent channel reports 0";
    }
  }
  for (int t = 0; t < NTRACKS; t++)
    EXPECT_EQ(reported[t], 2) << "track " << t << " reports about every 1600 frames";
}

namespace
{
std::vector<std::pair<std::string, unsigned long>> expectedPorts(bool perTrack)
{
  std::vector<std::pair<std::string, unsigned long>> p;
  const unsigned long in = JackPortIsInput, out = JackPortIsOutput;
  for (const char* name : {"master_in_left", "master_in_right", "master_return_left",
                           "master_return_right"})
    p.push_back({name, in});
  for (const char* name : {"master_left", "master_right", "headphone_out_l", "headphone_out_r",
                           "send_out_l", "send_out_r", "sidechain_key_l", "sidechain_key_r",
                           "sidechain_signal_l", "sidechain_signal_r"})
    p.push_back({name, out});
  for (int t = 0; t < NTRACKS; t++) {
    p.push_back({trackPort("Send_track_%d_l", t), out});
    p.push_back({trackPort("Send_track_%d_r", t), out});
    p.push_back({trackPort("Return_track_%d_l", t), in});
    p.push_back({trackPort("Return_track_%d_r", t), in});
    if (perTrack) {
      p.push_back({trackPort("track_%d_l", t), out});
      p.push_back({trackPort("track_%d_r", t), out});
    }
  }
  return p;
}

void expectPorts(bool perTrack)
{
  std::vector<std::pair<std::string, unsigned long>> expected = expectedPorts(perTrack);
  std::vector<std::string> names = fakejack::portNames();
  ASSERT_EQ(names.size(), expected.size());
  for (size_t i = 0; i < names.size(); i++) {
    EXPECT_EQ(names[i], expected[i].first) << "port " << i;
    EXPECT_EQ(fakejack::portAt(i)->flags, expected[i].second) << names[i];
    EXPECT_EQ(fakejack::portAt(i)->type, JACK_DEFAULT_AUDIO_TYPE) << names[i];
  }
}
} // namespace

TEST_F(EngineTest, RegistersFortySixAudioPortsInOrder)
{
  expectPorts(false);
  EXPECT_NE(jack->getTrackOutput(7), nullptr);
  EXPECT_EQ(jack->getTrackOutput(8), nullptr);
  EXPECT_EQ(jack->getTrackOutput((unsigned)-1), nullptr);
  EXPECT_EQ(jack->getJackSendReturn(8), nullptr);
  EXPECT_EQ(jack->getJackSendReturn((unsigned)-1), nullptr);
}

TEST_F(PerTrackOutputs, RegistersSixtyTwoAudioPortsInOrder) { expectPorts(true); }
