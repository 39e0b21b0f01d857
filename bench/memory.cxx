// Peak memory of the real binary (VmHWM of /proc/PID/status) on a private jackd with its
// window on the X server in DISPLAY: once with an empty session, once loaded with a session
// of 8 tracks x `scenes` clips of `seconds` each at 48 kHz (no resampling), set against
// the bytes of audio that session holds (32-bit float stereo).
//
//   vesko_bench_memory [--scenes=10] [--seconds=30]

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "benchkit.hxx"
#include "process.hxx"

namespace
{

struct Memory {
  long long peakKb = -1, residentKb = -1;
};

// Starts the binary (with a session when one is given), waits until it is up and its
// resident size holds still, and reads its figures.
Memory run(const e2e::JackServer& server, const std::string& home, const std::string& session)
{
  benchkit::MapWatcher watcher;
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + home);
  std::vector<std::string> argv = {VESKO_BINARY};
  if (!session.empty())
    argv.push_back(session);
  e2e::Child vesko;
  Memory m;
  if (!vesko.start(argv, env) || !watcher.waitForMap("Vesko", 20000, nullptr) ||
      !vesko.waitForOutput(session.empty() ? "Loaded preferences" : "Session: BPM", 300000)) {
    fprintf(stderr, "vesko did not start:\n%s\n", vesko.output().c_str());
    return m;
  }
  long long last = -1;
  for (int i = 0; i < 60; i++) {
    sleep(1);
    long long now = benchkit::statusKb(vesko.pid(), "VmRSS");
    if (last > 0 && std::llabs(now - last) * 200 < last)
      break;
    last = now;
  }
  m.peakKb = benchkit::statusKb(vesko.pid(), "VmHWM");
  m.residentKb = benchkit::statusKb(vesko.pid(), "VmRSS");
  vesko.signal(SIGTERM);
  int status = -1;
  if (!vesko.wait(10000, &status)) {
    vesko.signal(SIGKILL);
    vesko.wait(2000, &status);
  }
  return m;
}
} // namespace

int main(int argc, char** argv)
{
  const int scenes = benchkit::option(argc, argv, "--scenes", 10);
  const int seconds = benchkit::option(argc, argv, "--seconds", 30);

  e2e::JackServer server(48000, 256);
  if (!benchkit::ready(benchkit::MapWatcher(), server))
    return 2;
  const std::string home = benchkit::makeHome();
  const Memory empty = run(server, home, "");

  char tmpl[] = "/tmp/vesko-bench-mem-XXXXXX";
  const std::string parent = mkdtemp(tmpl);
  const std::string session = parent + "/big.vesko";
  const long long audio = benchkit::makeSession(session, scenes, seconds, 48000);
  const Memory full = run(server, home, session);
  benchkit::removeTree(parent);
  benchkit::removeTree(home);
  if (empty.peakKb < 0 || full.peakKb < 0)
    return 1;

  const double mb = 1024.0 * 1024.0;
  printf("memory, empty session: peak %.1f MB, resident %.1f MB\n", empty.peakKb / 1024.0,
         empty.residentKb / 1024.0);
  printf("memory, %d clips x %d s: peak %.1f MB, resident %.1f MB, audio held %.1f MB\n",
         8 * scenes, seconds, full.peakKb / 1024.0, full.residentKb / 1024.0, audio / mb);
  printf("memory, peak above the empty session's as a multiple of the audio held: %.3f "
         "(%.1f MB over %.1f MB)\n",
         (full.peakKb - empty.peakKb) * 1024.0 / audio, (full.peakKb - empty.peakKb) / 1024.0,
         audio / mb);
  return 0;
}
