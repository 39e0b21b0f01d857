// The whole program as a user runs it: the real binary on a private jackd (dummy driver,
// 48 kHz) with its window on the X server in DISPLAY, loaded with a session of eight clips
// (one a track, scene 1). It measures the CPU time of the process and of its main thread,
// the interface thread, over the given seconds with nothing playing, then launches the
// scene with the key "9" and, once the master output carries sound, measures as long again
// with the eight clips playing. Shares are of one core.
//
//   vesko_bench_cpu [--period=256] [--seconds=60]
//
// Figures come from /proc/PID/stat and /proc/PID/task/TID/stat (utime + stime, in clock
// ticks of 1/100 s here), so a run shorter than a few seconds says little.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include <jack/jack.h>

#include "benchkit.hxx"
#include "process.hxx"

namespace
{

// A JACK client on the server's name that reads Vesko's master output and keeps its peak.
class Meter
{
public:
  explicit Meter(const std::string& server)
  {
    client = jack_client_open("bench-meter", (jack_options_t)(JackNoStartServer | JackServerName),
                              nullptr, server.c_str());
    if (!client)
      return;
    port = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, process, this);
    if (!port || jack_activate(client) != 0 ||
        jack_connect(client, "Vesko:master_left", "bench-meter:in") != 0) {
      jack_client_close(client);
      client = nullptr;
    }
  }
  ~Meter()
  {
    if (client)
      jack_client_close(client);
  }
  bool ok() const { return client != nullptr; }
  float peak() const { return peakValue.load(); }

private:
  static int process(jack_nframes_t n, void* arg)
  {
    Meter* m = static_cast<Meter*>(arg);
    const float* in = static_cast<const float*>(jack_port_get_buffer(m->port, n));
    float p = m->peakValue.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < n; i++)
      p = std::max(p, std::fabs(in[i]));
    m->peakValue.store(p, std::memory_order_relaxed);
    return 0;
  }
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  std::atomic<float> peakValue{0.f};
};

struct Usage {
  double process = 0, interface = 0, seconds = 0;
  std::vector<std::pair<std::string, double>> byThread; // share of one core each
};

Usage measure(pid_t pid, int seconds)
{
  const double hz = (double)sysconf(_SC_CLK_TCK);
  std::map<pid_t, benchkit::ThreadTicks> before;
  for (auto& t : benchkit::threads(pid))
    before[t.tid] = t;
  const long long p0 = benchkit::processTicks(pid), i0 = benchkit::threadTicks(pid, pid);
  const long long t0 = benchkit::nowUs();
  sleep(seconds);
  const long long p1 = benchkit::processTicks(pid), i1 = benchkit::threadTicks(pid, pid);
  const long long t1 = benchkit::nowUs();
  Usage u;
  u.seconds = (t1 - t0) / 1e6;
  u.process = 100.0 * (p1 - p0) / hz / u.seconds;
  u.interface = 100.0 * (i1 - i0) / hz / u.seconds;
  for (auto& t : benchkit::threads(pid)) {
    auto b = before.find(t.tid);
    const long long start = b == before.end() ? 0 : b->second.ticks;
    // The threads share the process's name: the main one is the interface, the JACK
    // client's process thread is the busiest of the others.
    std::string label = t.tid == pid ? "interface" : t.name + "/" + std::to_string(t.tid - pid);
    u.byThread.push_back({label, 100.0 * (t.ticks - start) / hz / u.seconds});
  }
  return u;
}

void report(const char* what, int period, const Usage& u)
{
  printf("cpu, period %d, %s: process %.2f%% of one core, interface thread %.2f%%, over %.1f s\n",
         period, what, u.process, u.interface, u.seconds);
  printf("  by thread:");
  for (auto& t : u.byThread)
    printf("  %s %.2f%%", t.first.c_str(), t.second);
  printf("\n");
}
} // namespace

int main(int argc, char** argv)
{
  const int period = benchkit::option(argc, argv, "--period", 256);
  const int seconds = benchkit::option(argc, argv, "--seconds", 60);

  benchkit::MapWatcher watcher;
  e2e::JackServer server(48000, period);
  if (!benchkit::ready(watcher, server))
    return 2;
  const std::string home = benchkit::makeHome();
  char tmpl[] = "/tmp/vesko-bench-cpu-XXXXXX";
  const std::string session = std::string(mkdtemp(tmpl)) + "/eight.vesko";
  benchkit::makeSession(session, 1, 4, 48000); // 8 beats at 120 BPM: two bars a clip

  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + home);
  e2e::Child vesko;
  int result = 0;
  Window w = 0;
  if (!vesko.start({VESKO_BINARY, session}, env) ||
      !(w = watcher.waitForMap("Vesko", 20000, nullptr)) ||
      !vesko.waitForOutput("Session: BPM", 20000)) {
    fprintf(stderr, "vesko did not start with the session:\n%s\n", vesko.output().c_str());
    result = 2;
  } else {
    sleep(2); // the load's last hand-overs and the first redraws
    const Usage idle = measure(vesko.pid(), seconds);

    // The pointer over the window gives it the keyboard (no window manager: focus follows
    // the pointer); "9" launches the first scene.
    const std::string id = std::to_string(w);
    e2e::runCommand({"xdotool", "mousemove", "--window", id, "300", "200"}, {}, 5000);
    e2e::runCommand({"xdotool", "key", "9"}, {}, 5000);
    float peak = 0.f;
    {
      Meter meter(server.name());
      for (int i = 0; meter.ok() && i < 100 && meter.peak() < 0.05f; i++)
        usleep(100000);
      peak = meter.peak();
    }
    if (peak < 0.05f) {
      fprintf(stderr, "the scene did not start playing (master peak %.3f):\n%s\n", peak,
              vesko.output().c_str());
      result = 1;
    }
    const Usage playing = measure(vesko.pid(), seconds);
    report("nothing playing", period, idle);
    report("8 clips playing", period, playing);
    printf("  master output peak while playing: %.3f\n", peak);
    if (!vesko.running())
      result = 1;
  }
  vesko.signal(SIGTERM);
  int status = -1;
  if (!vesko.wait(5000, &status)) {
    vesko.signal(SIGKILL);
    vesko.wait(2000, &status);
  }
  benchkit::removeTree(home);
  benchkit::removeTree(session.substr(0, session.rfind('/')));
  return result;
}
