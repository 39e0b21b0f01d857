#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/transport.h>

#include "process.hxx"

using e2e::Child;
using e2e::JackServer;

namespace
{
std::string tempHome()
{
  char tmpl[] = "/tmp/vesko-home-XXXXXX";
  return mkdtemp(tmpl);
}

bool hasClient(const JackServer& server, const std::string& name)
{
  std::string out = e2e::runCommand({"jack_lsp"}, server.env(), 10000);
  return out.find(name + ":") != std::string::npos;
}

double beatsOf(const jack_position_t& p)
{
  return (p.bar - 1) * 4 + (p.beat - 1) + p.tick / p.ticks_per_beat;
}
} // namespace

// A peer that starts the transport and reads it, as any JACK application would: Vesko as
// timebase master publishes 4/4 at 120 BPM, and bar, beat and tick advance with the frame
// count, one beat every 24000 frames at 48 kHz.
TEST(Transport, PeersReadBarsAndBeatsAt120Bpm)
{
  JackServer server(48000, 256);
  ASSERT_TRUE(server.ok());
  Child vesko;
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + tempHome());
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));
  long long end = e2e::nowMs() + 10000;
  while (!hasClient(server, "Vesko") && e2e::nowMs() < end)
    usleep(100000);
  ASSERT_TRUE(hasClient(server, "Vesko")) << vesko.output();

  setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
  jack_status_t status;
  jack_client_t* peer = jack_client_open("peer", JackNoStartServer, &status);
  ASSERT_NE(peer, nullptr);
  jack_transport_start(peer);

  std::vector<jack_position_t> seen;
  for (long long stop = e2e::nowMs() + 3000; e2e::nowMs() < stop; usleep(50000)) {
    jack_position_t pos;
    if (jack_transport_query(peer, &pos) == JackTransportRolling && pos.frame > 0)
      seen.push_back(pos);
  }
  ASSERT_GT(seen.size(), 20u) << "the transport rolls";

  std::set<std::pair<int, int>> barBeats;
  for (size_t i = 0; i < seen.size(); i++) {
    const jack_position_t& p = seen[i];
    ASSERT_TRUE(p.valid & JackPositionBBT) << i;
    EXPECT_DOUBLE_EQ(p.beats_per_minute, 120.0);
    EXPECT_FLOAT_EQ(p.beats_per_bar, 4.f);
    EXPECT_DOUBLE_EQ(p.ticks_per_beat, 1920.0);
    ASSERT_GE(p.beat, 1);
    ASSERT_LE(p.beat, 4);
    ASSERT_GE(p.tick, 0);
    ASSERT_LT(p.tick, 1920);
    // Exact in the cycle Vesko wrote it; when Vesko is late for a cycle (a loaded machine,
    // no real-time scheduling) the server moves the frame on by itself and the bars and
    // beats lag behind it by those periods. They are never ahead of it.
    EXPECT_LE(beatsOf(p), p.frame / 24000.0 + 1.0 / 1920) << "frame " << p.frame;
    EXPECT_GE(beatsOf(p), p.frame / 24000.0 - 0.25) << "frame " << p.frame;
    if (i > 0) {
      EXPECT_GE(beatsOf(p), beatsOf(seen[i - 1]));
    }
    barBeats.insert({p.bar, p.beat});
  }
  EXPECT_GE(barBeats.size(), 5u) << "beats advance";
  EXPECT_GT(seen.back().bar, seen.front().bar) << "bars advance";

  // The same through a JACK example client that nobody here wrote.
  std::string shown = e2e::runCommand({"jack_showtime"}, server.env(), 1500);
  std::istringstream lines(shown);
  std::string line;
  std::set<std::string> bbt;
  while (std::getline(lines, line)) {
    size_t at = line.find("BBT:");
    if (line.find("state: Rolling") != std::string::npos && at != std::string::npos)
      bbt.insert(line.substr(at));
  }
  EXPECT_GT(bbt.size(), 10u) << shown.substr(0, 2000);

  jack_transport_stop(peer);
  jack_client_close(peer);
}

// A tempo request reaches the engine (here from a session named on the command line) and
// peers see the new tempo from the next bar line on, never before the request.
TEST(Transport, ATempoRequestIsPublishedFromTheNextBar)
{
  JackServer server(48000, 256);
  ASSERT_TRUE(server.ok());
  std::string home = tempHome();
  std::string session = home + "/fast.vesko";
  ASSERT_EQ(mkdir(session.c_str(), 0775), 0);
  FILE* f = fopen((session + "/session.vesko").c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("{\"master\": {\"bpm\": 140}}", f);
  fclose(f);

  setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
  jack_status_t status;
  jack_client_t* peer = jack_client_open("peer", JackNoStartServer, &status);
  ASSERT_NE(peer, nullptr);
  jack_transport_start(peer);

  Child vesko;
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + home);
  ASSERT_TRUE(vesko.start({VESKO_BINARY, session}, env));
  ASSERT_TRUE(vesko.waitForOutput("Session: BPM  140", 10000)) << vesko.output();

  std::set<double> tempos;
  bool sawNew = false;
  for (long long stop = e2e::nowMs() + 6000; e2e::nowMs() < stop && !sawNew; usleep(20000)) {
    jack_position_t p;
    jack_transport_query(peer, &p);
    if (!(p.valid & JackPositionBBT))
      continue;
    tempos.insert(p.beats_per_minute);
    if (p.beats_per_minute == 140.0) {
      sawNew = true;
      // The change is applied on a bar line: the beat in progress is the bar's first.
      EXPECT_EQ(p.beat, 1) << "tick " << p.tick;
    }
  }
  EXPECT_TRUE(sawNew) << vesko.output();
  for (double t : tempos)
    EXPECT_TRUE(t == 120.0 || t == 140.0) << t;
  jack_client_close(peer);
  vesko.signal(SIGTERM);
  int st = -1;
  ASSERT_TRUE(vesko.wait(3000, &st));
  EXPECT_EQ(st, 0);
}
