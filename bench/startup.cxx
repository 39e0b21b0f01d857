// Start-up to window shown: the real binary, started again and again against one private
// jackd, timed from just before its fork and exec to the X server's MapNotify of its
// top-level window "Vesko" (seen through SubstructureNotify on the root window). Needs an
// X server in DISPLAY without a window manager (Xvfb).
//
//   vesko_bench_startup [--repeats=10] [--period=256]
//
// The first start of the run is a warm-up (the binary and its libraries come into the page
// cache) and is not counted. Prints every start and the median, min and max in seconds.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "benchkit.hxx"
#include "process.hxx"

int main(int argc, char** argv)
{
  const int repeats = benchkit::option(argc, argv, "--repeats", 10);
  const int period = benchkit::option(argc, argv, "--period", 256);

  benchkit::MapWatcher watcher;
  e2e::JackServer server(48000, period);
  if (!benchkit::ready(watcher, server))
    return 2;
  const std::string home = benchkit::makeHome();
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + home);

  std::vector<double> seconds;
  int failures = 0;
  for (int r = 0; r <= repeats; r++) {
    e2e::Child vesko;
    const long long started = benchkit::nowUs();
    if (!vesko.start({VESKO_BINARY}, env)) {
      fprintf(stderr, "cannot start %s\n", VESKO_BINARY);
      return 2;
    }
    long long shown = 0;
    Window w = watcher.waitForMap("Vesko", 20000, &shown);
    if (!w) {
      fprintf(stderr, "no window within 20 s:\n%s\n", vesko.output().c_str());
      failures++;
    } else if (r > 0) {
      seconds.push_back((shown - started) / 1e6);
      printf("start %d: window shown after %.3f s\n", r, seconds.back());
    }
    // Let it settle before it is ended, so that each start finds the server as idle.
    usleep(500000);
    vesko.signal(SIGTERM);
    int status = -1;
    if (!vesko.wait(5000, &status)) {
      vesko.signal(SIGKILL);
      vesko.wait(2000, &status);
    }
  }
  benchkit::removeTree(home);
  if (seconds.empty())
    return 1;
  benchkit::Spread s = benchkit::spread(seconds);
  printf("startup, window shown after start: median %.3f s  min %.3f s  max %.3f s  over %zu "
         "starts (period %d frames)\n",
         s.median, s.min, s.max, seconds.size(), period);
  return failures ? 1 : 0;
}
