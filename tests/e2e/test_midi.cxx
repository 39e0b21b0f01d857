#include <cmath>
#include <csignal>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <jack/transport.h>

#include "midiclient.hxx"
#include "process.hxx"

using e2e::Child;
using e2e::JackServer;
using e2e::MidiBytes;
using e2e::MidiClient;

namespace
{
// A HOME whose preferences name one controller map, pad.ctlr, with the text given.
std::string homeWithMap(const std::string& map)
{
  char tmpl[] = "/tmp/vesko-midi-home-XXXXXX";
  std::string home = mkdtemp(tmpl);
  for (const char* d : {"/.config", "/.config/morvit", "/.config/morvit/vesko",
                        "/.config/morvit/vesko/controllers"})
    mkdir((home + d).c_str(), 0775);
  auto write = [](const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "w");
    fputs(text.c_str(), f);
    fclose(f);
  };
  write(home + "/.config/morvit/vesko/vesko.prfs",
        R"({"saveDirectory": "vesko", "resampleQuality": 1, "defaultControllers": ["pad.ctlr"]})");
  write(home + "/.config/morvit/vesko/controllers/pad.ctlr", map);
  return home;
}

std::vector<std::string> env(const JackServer& server, const std::string& home)
{
  std::vector<std::string> e = server.env();
  e.push_back("HOME=" + home);
  return e;
}

// jack_lsp -t: every port of the server with its type on the next line.
std::string portType(const JackServer& server, const std::string& port)
{
  std::istringstream in(e2e::runCommand({"jack_lsp", "-t"}, server.env(), 10000));
  std::string line;
  while (std::getline(in, line))
    if (line == port && std::getline(in, line))
      return line.substr(line.find_first_not_of(" \t"));
  return "";
}

bool waitForPort(const JackServer& server, const std::string& port, int timeoutMs)
{
  long long end = e2e::nowMs() + timeoutMs;
  while (e2e::nowMs() < end) {
    if (!portType(server, port).empty())
      return true;
    usleep(50000);
  }
  return false;
}

// The tempo the timebase master publishes, or 0 when it publishes none.
double publishedBpm(MidiClient& c)
{
  jack_position_t pos;
  jack_transport_query(c.handle(), &pos);
  return (pos.valid & JackPositionBBT) ? pos.beats_per_minute : 0;
}

template <class F> bool waitUntil(F done, int timeoutMs)
{
  long long end = e2e::nowMs() + timeoutMs;
  while (e2e::nowMs() < end) {
    if (done())
      return true;
    usleep(10000);
  }
  return done();
}

// Everything the device received, kept across waits.
struct Feedback {
  MidiClient& device;
  std::vector<MidiBytes> all;
  void update()
  {
    for (auto& m : device.take())
      all.push_back(m);
  }
  // The values sent on status/data, with repeats of one value in a row merged.
  std::vector<int> values(unsigned char status, unsigned char data)
  {
    update();
    std::vector<int> v;
    for (auto& m : all)
      if (m.size() == 3 && m[0] == status && m[1] == data && (v.empty() || v.back() != m[2]))
        v.push_back(m[2]);
    return v;
  }
  bool waitForValue(unsigned char status, unsigned char data, int value, int timeoutMs)
  {
    return waitUntil(
      [&] {
        std::vector<int> v = values(status, data);
        return !v.empty() && v.back() == value;
      },
      timeoutMs);
  }
};

const char* PAD_MAP = R"({"name": "pad", "author": "tests", "link": "example.org",
  "inputBindings": [
    {"action": "grid:event", "status": 144, "data": 36, "track": 0, "scene": 0, "active": 1},
    {"action": "grid:event", "status": 128, "data": 36, "track": 0, "scene": 0, "active": 0},
    {"action": "grid:launch_scene", "status": 144, "data": 83, "scene": 1},
    {"action": "track:record_arm", "status": 144, "data": 40, "track": 1, "active": 1},
    {"action": "track:record_arm", "status": 128, "data": 40, "track": 1, "active": 0},
    {"action": "master:volume", "status": 176, "data": 7},
    {"action": "tempo_bpm", "status": 176, "data": 10},
    {"action": "tempo_tap", "status": 144, "data": 60}
  ],
  "outputBindings": [
    {"action": "grid:launch_scene", "status": 144, "data": 82},
    {"action": "grid:launch_scene", "status": 144, "data": 83},
    {"action": "grid:clip_state", "status": 144, "data": 36, "track": 0, "scene": 0,
     "state": {"empty": 10, "playing": 11, "queuePlaying": 12, "stopped": 13, "queueStopped": 14,
               "recording": 15, "queueRecording": 16}},
    {"action": "track:record_arm", "status": 144, "data": 40, "track": 1}
  ]})";

void stop(Child& vesko)
{
  vesko.signal(SIGTERM);
  int status = -1;
  EXPECT_TRUE(vesko.wait(3000, &status));
  EXPECT_EQ(status, 0) << vesko.output();
}
} // namespace

TEST(MidiController, AMapNamedInThePreferencesGetsItsTwoMidiPorts)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env(server, homeWithMap(R"({"name": "pad", "inputBindings": []})"))));
  ASSERT_TRUE(waitForPort(server, "Vesko:pad in", 10000)) << vesko.output();
  EXPECT_EQ(portType(server, "Vesko:pad in"), "8 bit raw midi");
  EXPECT_EQ(portType(server, "Vesko:pad out"), "8 bit raw midi");
  EXPECT_TRUE(vesko.waitForOutput("Loading controller pad.ctlr", 1000)) << vesko.output();
  EXPECT_TRUE(vesko.waitForOutput("GenericMIDI registering ports: pad", 1000)) << vesko.output();

  // A real peer can connect to both.
  MidiClient device;
  ASSERT_TRUE(device.open(server.name(), "device"));
  EXPECT_TRUE(device.connect("Vesko:pad in", "Vesko:pad out"));
  stop(vesko);
}

// A pad controller loaded from the preferences plays the grid, the mixer and the tempo,
// and its lamps follow: a real jackd, the real binary and a JACK MIDI client as the device.
TEST(MidiController, APadFromThePreferencesDrivesTheLooperAndItsLampsFollow)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env(server, homeWithMap(PAD_MAP))));
  ASSERT_TRUE(waitForPort(server, "Vesko:pad in", 10000)) << vesko.output();
  MidiClient device;
  ASSERT_TRUE(device.open(server.name(), "device"));
  ASSERT_TRUE(device.connect("Vesko:pad in", "Vesko:pad out"));
  ASSERT_TRUE(device.addAudio(0.5f));
  ASSERT_TRUE(device.connectAudio("Vesko:master_return_left", "Vesko:master_left"));
  Feedback fb{device, {}};
  // A peer rolls the JACK transport, so that the timebase master publishes every period.
  jack_transport_start(device.handle());

  // A recording from a pad: queued, recording at the bar, then played and stopped, each
  // lamp value the map's own. The note-off releases re-announce the state.
  device.send({0x90, 36, 127});
  device.send({0x80, 36, 0});
  ASSERT_TRUE(fb.waitForValue(0x90, 36, 16, 2000)) << vesko.output();
  ASSERT_TRUE(fb.waitForValue(0x90, 36, 15, 5000)) << "recording from the bar";
  usleep(300000);
  device.send({0x90, 36, 127});
  ASSERT_TRUE(fb.waitForValue(0x90, 36, 12, 2000));
  ASSERT_TRUE(fb.waitForValue(0x90, 36, 11, 5000)) << "playing from the bar";
  device.send({0x90, 36, 127});
  ASSERT_TRUE(fb.waitForValue(0x90, 36, 14, 2000));
  ASSERT_TRUE(fb.waitForValue(0x90, 36, 13, 5000)) << "stopped at the bar";
  EXPECT_EQ(fb.values(0x90, 36), (std::vector<int>{16, 15, 12, 11, 14, 13}));

  // Scene 1 from its button: the launch-scene binding at position 1 lights, 0 goes dark.
  device.send({0x90, 83, 127});
  ASSERT_TRUE(fb.waitForValue(0x90, 83, 127, 2000));
  EXPECT_EQ(fb.values(0x90, 82), (std::vector<int>{0}));

  // Record arm from one button's note-on and note-off.
  device.send({0x90, 40, 127});
  ASSERT_TRUE(fb.waitForValue(0x90, 40, 127, 2000));
  device.send({0x80, 40, 0});
  ASSERT_TRUE(fb.waitForValue(0x90, 40, 0, 2000));

  // The master fader: the return's 0.5 comes out at 0.75 by default, then follows the CC.
  ASSERT_TRUE(waitUntil([&] { return std::fabs(device.level() - 0.375f) < 0.01f; }, 3000))
    << device.level();
  device.send({0xB0, 7, 127});
  EXPECT_TRUE(waitUntil([&] { return std::fabs(device.level() - 0.5f) < 0.005f; }, 3000))
    << device.level();
  device.send({0xB0, 7, 0});
  EXPECT_TRUE(waitUntil([&] { return std::fabs(device.level()) < 0.005f; }, 3000)) << device.level();

  // Tap tempo: four taps 0.4 s apart ask for 150 BPM, published from the next bar.
  ASSERT_TRUE(waitUntil([&] { return publishedBpm(device) > 0; }, 3000));
  EXPECT_NEAR(publishedBpm(device), 120, 0.5);
  for (int i = 0; i < 4; i++) {
    device.send({0x90, 60, 127});
    usleep(400000);
  }
  // The taps are timed by this process's sleeps: on a loaded machine one can come 20 ms
  // late, which is 7 BPM.
  EXPECT_TRUE(waitUntil([&] { return std::fabs(publishedBpm(device) - 150) < 8; }, 4000))
    << publishedBpm(device);
  // The tempo fader's top is 220 BPM.
  device.send({0xB0, 10, 127});
  EXPECT_TRUE(waitUntil([&] { return std::fabs(publishedBpm(device) - 220) < 0.5; }, 4000))
    << publishedBpm(device);
  stop(vesko);
}
