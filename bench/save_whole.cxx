// A session save as a session manager asks for it from the real binary: a private jackd
// (dummy driver, 48 kHz), the window on the X server in DISPLAY, and this program as the
// manager over OSC. It opens a project of 8 tracks x `scenes` clips of `seconds` at 48 kHz,
// then asks for saves and times each from the request to the "OK", which comes once every
// file is written and synced. Against it, in the same repeat, `dd bs=1M conv=fsync` writes
// the same bytes as as many files.
//
//   vesko_bench_save [--scenes=10] [--seconds=30] [--repeats=3] [--period=256]

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <lo/lo.h>

#include "benchkit.hxx"
#include "process.hxx"

namespace
{
// Just enough of a session manager: remembers the paths of the messages it is sent.
struct Manager {
  lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
  std::vector<std::string> paths, firsts;
  std::string clientPort;

  Manager() { lo_server_add_method(server, nullptr, nullptr, take, this); }
  ~Manager() { lo_server_free(server); }
  std::string url() const
  {
    return "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(server)) + "/";
  }
  static int take(const char* path, const char* types, lo_arg** argv, int argc, lo_message m, void* d)
  {
    Manager* self = static_cast<Manager*>(d);
    self->paths.push_back(path);
    self->firsts.push_back(argc > 0 && types[0] == 's' ? reinterpret_cast<const char*>(argv[0]) : "");
    self->clientPort = lo_address_get_port(lo_message_get_source(m));
    return 0;
  }
  // Waits for a message with that path (and first argument, when given); false on timeout.
  bool waitFor(const char* path, const char* first, int timeoutMs)
  {
    const long long end = e2e::nowMs() + timeoutMs;
    while (e2e::nowMs() < end) {
      lo_server_recv_noblock(server, 10);
      for (size_t i = 0; i < paths.size(); i++)
        if (paths[i] == path && (!first || firsts[i] == first)) {
          paths.erase(paths.begin() + i);
          firsts.erase(firsts.begin() + i);
          return true;
        }
    }
    return false;
  }
  void send(const char* path, std::initializer_list<const char*> args)
  {
    lo_address a = lo_address_new("127.0.0.1", clientPort.c_str());
    lo_message m = lo_message_new();
    for (const char* s : args)
      lo_message_add_string(m, s);
    lo_send_message_from(a, server, path, m);
    lo_message_free(m);
    lo_address_free(a);
  }
};

// Seconds that dd takes to write `files` files of `bytes` each from the page cache.
double ddSeconds(const std::string& dir, int files, long long bytes)
{
  const std::string src = dir + "/source";
  e2e::runCommand({"dd", "if=/dev/urandom", "of=" + src, "bs=" + std::to_string(bytes), "count=1",
                   "status=none"},
                  {}, 60000);
  e2e::runCommand({"sync"}, {}, 60000);
  const long long t0 = benchkit::nowUs();
  for (int i = 0; i < files; i++)
    e2e::runCommand({"dd", "if=" + src, "of=" + dir + "/copy" + std::to_string(i), "bs=1M",
                     "conv=fsync", "status=none"},
                    {}, 60000);
  const double s = (benchkit::nowUs() - t0) / 1e6;
  for (int i = 0; i < files; i++)
    unlink((dir + "/copy" + std::to_string(i)).c_str());
  unlink(src.c_str());
  return s;
}
} // namespace

int main(int argc, char** argv)
{
  const int scenes = benchkit::option(argc, argv, "--scenes", 10);
  const int seconds = benchkit::option(argc, argv, "--seconds", 30);
  const int repeats = benchkit::option(argc, argv, "--repeats", 3);
  const int period = benchkit::option(argc, argv, "--period", 256);
  e2e::JackServer server(48000, period);
  if (!benchkit::ready(benchkit::MapWatcher(), server))
    return 2;
  const std::string home = benchkit::makeHome();
  char tmpl[] = "/tmp/vesko-bench-save-XXXXXX";
  const std::string parent = mkdtemp(tmpl);
  const std::string project = parent + "/project";
  const long long audio = benchkit::makeSession(project, scenes, seconds, 48000);
  const int clips = 8 * scenes;

  Manager manager;
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + home);
  env.push_back("NSM_URL=" + manager.url());
  e2e::Child vesko;
  int failed = 0;
  std::vector<double> saves, dds, ratios;
  if (!vesko.start({VESKO_BINARY}, env) || !manager.waitFor("/nsm/server/announce", nullptr, 10000)) {
    fprintf(stderr, "vesko did not announce itself:\n%s\n", vesko.output().c_str());
    failed = 1;
  } else {
    manager.send("/reply", {"/nsm/server/announce", "bench", "bench", ":"});
    manager.send("/nsm/client/open", {project.c_str(), "bench", "vesko.bench"});
    if (!manager.waitFor("/reply", "/nsm/client/open", 300000) ||
        !vesko.waitForOutput("Session: BPM", 300000)) {
      fprintf(stderr, "the project did not open:\n%s\n", vesko.output().c_str());
      failed = 1;
    }
    sleep(3); // the loaded clips reach the engine
    for (int r = 0; r < repeats && !failed; r++) {
      e2e::runCommand({"sync"}, {}, 60000);
      const long long t0 = benchkit::nowUs();
      manager.send("/nsm/client/save", {});
      if (!manager.waitFor("/reply", "/nsm/client/save", 600000)) {
        fprintf(stderr, "the save was not answered with OK:\n%s\n", vesko.output().c_str());
        failed = 1;
        break;
      }
      const double s = (benchkit::nowUs() - t0) / 1e6;
      const double d = ddSeconds(parent, clips, audio / clips);
      saves.push_back(s);
      dds.push_back(d);
      ratios.push_back(s / d);
      printf("save %d: %.2f s, dd %.2f s, ratio %.2f\n", r + 1, s, d, s / d);
    }
  }
  vesko.signal(SIGTERM);
  int status = -1;
  if (!vesko.wait(20000, &status)) {
    vesko.signal(SIGKILL);
    vesko.wait(2000, &status);
  }
  benchkit::removeTree(parent);
  benchkit::removeTree(home);
  if (failed || saves.empty())
    return 1;
  const benchkit::Spread s = benchkit::spread(saves), d = benchkit::spread(dds),
                         q = benchkit::spread(ratios);
  printf("save, whole program, %d clips x %d s (%.0f MB), period %d: median %.2f s, dd median %.2f s, "
         "ratio median %.2f  min %.2f  max %.2f\n",
         clips, seconds, audio / 1048576.0, period, s.median, d.median, q.median, q.min, q.max);
  return 0;
}
