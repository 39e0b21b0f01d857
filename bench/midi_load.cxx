// MIDI under load: a stream of control changes into a controller of the real binary on a
// real jackd, every one counted back through the controller's feedback, with the server's
// over-run reports counted alongside. Prints its figures; exit status 0 when every message
// was acted on and no over-run was reported.
//
//   vesko_bench_midi_load [--rate=2000] [--seconds=60] [--period=256] [--idle=1]
//
// With --idle=1 (the default) it first counts the over-runs of as many seconds with the
// engine idle, so that a busy machine's over-runs can be told from the stream's.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <jack/jack.h>

#include "benchkit.hxx"
#include "midiclient.hxx"
#include "process.hxx"

namespace
{
using benchkit::option;

// Input "track:send" on CC 20 and its feedback on the same control: one answer a message.
const char* MAP = R"({"name": "bench",
  "inputBindings": [{"action": "track:send", "status": 176, "data": 20, "track": 0, "send": 0}],
  "outputBindings": [{"action": "track:send", "status": 176, "data": 20, "track": 0, "send": 0}]})";

// A HOME whose preferences load the map.
std::string makeHome()
{
  std::string home = benchkit::makeHome(R"({"saveDirectory": "vesko", "defaultControllers": ["bench.ctlr"]})");
  FILE* f = fopen((home + "/.config/morvit/vesko/controllers/bench.ctlr").c_str(), "w");
  fputs(MAP, f);
  fclose(f);
  return home;
}
} // namespace

int main(int argc, char** argv)
{
  const int rate = option(argc, argv, "--rate", 2000);
  const int seconds = option(argc, argv, "--seconds", 60);
  const int period = option(argc, argv, "--period", 256);
  const bool idle = option(argc, argv, "--idle", 1) != 0;

  e2e::JackServer server(48000, period);
  if (!server.ok()) {
    fprintf(stderr, "no JACK server could be started\n");
    return 2;
  }
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + makeHome());
  e2e::Child vesko;
  if (!vesko.start({VESKO_BINARY}, env) ||
      !vesko.waitForOutput("GenericMIDI registering ports: bench", 10000)) {
    fprintf(stderr, "vesko did not start:\n%s\n", vesko.output().c_str());
    return 2;
  }
  e2e::MidiClient device;
  bool connected = device.open(server.name(), "bench-device");
  for (int i = 0; connected && i < 100 && !device.connect("Vesko:bench in", "Vesko:bench out"); i++)
    usleep(50000);
  if (!connected) {
    fprintf(stderr, "cannot connect to the controller's ports\n");
    return 2;
  }
  // Warm up until the controller answers, then until nothing more comes back, so that only
  // the stream's answers are counted.
  for (int i = 0; i < 20 && device.receivedCount() == 0; i++) {
    device.send({0xB0, 20, 64});
    device.waitForReceived(1, 500);
  }
  if (device.receivedCount() == 0) {
    fprintf(stderr, "the controller never answered:\n%s\n", vesko.output().c_str());
    return 2;
  }
  for (long seen = -1; seen != device.receivedCount();) {
    seen = device.receivedCount();
    usleep(300000);
  }
  device.take();
  // The same time without the stream first: over-runs the machine causes anyway, with
  // the engine idle, to compare with those under the stream.
  const int idleXrunsBefore = device.xruns();
  if (idle)
    sleep(seconds);
  const int idleXruns = device.xruns() - idleXrunsBefore;

  const long receivedBefore = device.receivedCount();
  const int xrunsBefore = device.xruns();

  device.stream(rate, 0xB0, 20);
  std::vector<long> perSecond;
  long last = receivedBefore;
  for (int s = 0; s < seconds; s++) {
    sleep(1);
    device.take();
    const long now = device.receivedCount();
    perSecond.push_back(now - last);
    last = now;
  }
  device.stream(0, 0, 0);
  usleep(500000); // the last answers are a period or two behind
  device.take();

  const long sent = device.streamedCount();
  const long acted = device.receivedCount() - receivedBefore;
  const int xruns = device.xruns() - xrunsBefore;
  std::vector<long> sorted = perSecond;
  std::sort(sorted.begin(), sorted.end());
  printf("MIDI load: %d messages/s for %d s, period %d frames at 48000 Hz\n", rate, seconds, period);
  printf("  sent %ld, acted on %ld, missing %ld, lost by the counting client %ld\n", sent, acted,
         sent - acted, device.lostCount());
  printf("  answers per second: median %ld, min %ld, max %ld\n", sorted[sorted.size() / 2],
         sorted.front(), sorted.back());
  printf("  over-runs reported by the server: %d under the stream", xruns);
  if (idle)
    printf(", %d in as long idle before it", idleXruns);
  printf("\n");

  vesko.signal(SIGTERM);
  int status = -1;
  vesko.wait(3000, &status);
  return (acted == sent && xruns == 0 && status == 0) ? 0 : 1;
}
