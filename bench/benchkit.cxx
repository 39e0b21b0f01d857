#include "benchkit.hxx"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xutil.h>
#include <sndfile.h>

namespace benchkit
{
int option(int argc, char** argv, const char* name, int fallback)
{
  const size_t n = strlen(name);
  for (int i = 1; i < argc; i++)
    if (strncmp(argv[i], name, n) == 0 && argv[i][n] == '=')
      return atoi(argv[i] + n + 1);
  return fallback;
}

long long nowUs()
{
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

std::string makeHome(const char* preferences)
{
  char tmpl[] = "/tmp/vesko-bench-home-XXXXXX";
  std::string home = mkdtemp(tmpl);
  for (const char* d : {"/.config", "/.config/morvit", "/.config/morvit/vesko",
                        "/.config/morvit/vesko/controllers"})
    mkdir((home + d).c_str(), 0775);
  FILE* f = fopen((home + "/.config/morvit/vesko/vesko.prfs").c_str(), "w");
  fputs(preferences, f);
  fclose(f);
  return home;
}

bool ready(const MapWatcher& display, const e2e::JackServer& server)
{
  if (!display.ok()) {
    fprintf(stderr, "no X server in DISPLAY\n");
    return false;
  }
  if (!server.ok()) {
    fprintf(stderr, "no JACK server could be started\n");
    return false;
  }
  return true;
}

long long makeSession(const std::string& dir, int scenes, int seconds, int rate)
{
  mkdir(dir.c_str(), 0775);
  mkdir((dir + "/audio").c_str(), 0775);
  std::ostringstream cfg, tracks;
  cfg << "{";
  long long bytes = 0;
  std::vector<float> second(2 * (size_t)rate);
  for (int t = 0; t < 8; t++) {
    // Whole-hertz sines repeat every second, so one second is computed and written over.
    for (int i = 0; i < rate; i++) {
      second[2 * i] = 0.2f * sinf(6.2831853f * 110.f * (t + 1) * i / rate);
      second[2 * i + 1] = 0.2f * sinf(6.2831853f * 165.f * (t + 1) * i / rate);
    }
    tracks << (t ? "," : "") << "{\"ID\":" << t << ",\"name\":\"Track " << t + 1
           << "\",\"fader\":0.78,\"pan\":0.5,\"sendAmount\":0,\"sendActive\":0,"
              "\"jacksendAmount\":1,\"jacksendActive\":0,\"xsideAmount\":0,\"keyActive\":0,"
              "\"clips\":[";
    for (int s = 0; s < 10; s++) {
      std::string file;
      if (s < scenes) {
        file = "t_" + std::to_string(t) + "_s_" + std::to_string(s) + ".wav";
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open((dir + "/audio/" + file).c_str(), SFM_WRITE, &info);
        if (!f) {
          fprintf(stderr, "cannot write %s/audio/%s\n", dir.c_str(), file.c_str());
          exit(2);
        }
        for (int k = 0; k < seconds; k++)
          sf_writef_float(f, second.data(), rate);
        sf_close(f);
        bytes += 8LL * rate * seconds;
        cfg << (cfg.tellp() > 1 ? "," : "") << "\"" << file << "\":{\"beats\":" << 2 * seconds
            << ",\"name\":\"clip " << t << s << "\"}";
      }
      tracks << (s ? "," : "") << "\"" << file << "\"";
    }
    tracks << "]}";
  }
  cfg << "}";
  std::string json = "{\"session\":\"bench\",\"version_major\":1,\"version_minor\":0,"
                     "\"version_patch\":0,\"master\":{\"fader\":0.78,\"bpm\":120,"
                     "\"inputVolume\":0.5,\"inputToSndActive\":0,\"inputToKeyActive\":0,"
                     "\"inputToMixActive\":0,\"inputToSndVol\":0,\"inputToXSide\":0,"
                     "\"inputToMixVol\":0},\"tracks\":[" +
                     tracks.str() + "]}";
  FILE* f = fopen((dir + "/session.vesko").c_str(), "w");
  fputs(json.c_str(), f);
  fclose(f);
  f = fopen((dir + "/audio/audio.cfg").c_str(), "w");
  fputs(cfg.str().c_str(), f);
  fclose(f);
  return bytes;
}

void removeTree(const std::string& path)
{
  if (path.size() < 6 || path.compare(0, 5, "/tmp/") != 0)
    return; // only what the benchmarks made
  std::string cmd = "rm -rf '" + path + "'";
  if (system(cmd.c_str()) != 0)
    fprintf(stderr, "cannot remove %s\n", path.c_str());
}

MapWatcher::MapWatcher()
{
  display = XOpenDisplay(nullptr);
  if (display) {
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
  }
}

MapWatcher::~MapWatcher()
{
  if (display)
    XCloseDisplay(display);
}

Window MapWatcher::waitForMap(const char* name, int timeoutMs, long long* whenUs)
{
  const long long end = nowUs() + 1000LL * timeoutMs;
  while (nowUs() < end) {
    if (XPending(display) == 0) {
      pollfd p{ConnectionNumber(display), POLLIN, 0};
      poll(&p, 1, (int)std::max(1LL, (end - nowUs()) / 1000));
      continue;
    }
    XEvent ev;
    XNextEvent(display, &ev);
    if (ev.type != MapNotify)
      continue;
    const long long t = nowUs();
    char* title = nullptr;
    bool match = false;
    // The window may be gone again by now; its name is then unreadable and it is skipped.
    if (XFetchName(display, ev.xmap.window, &title) && title) {
      match = strcmp(title, name) == 0;
      XFree(title);
    }
    if (match) {
      if (whenUs)
        *whenUs = t;
      return ev.xmap.window;
    }
  }
  return 0;
}

namespace
{
// utime + stime: fields 14 and 15, counted after the name in parentheses.
long long statTicks(const std::string& path)
{
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = text.rfind(')');
  if (close == std::string::npos)
    return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string f;
  long long utime = -1, stime = -1;
  for (int i = 3; fields >> f; i++) {
    if (i == 14)
      utime = atoll(f.c_str());
    else if (i == 15) {
      stime = atoll(f.c_str());
      break;
    }
  }
  return utime < 0 || stime < 0 ? -1 : utime + stime;
}
} // namespace

long long processTicks(pid_t pid) { return statTicks("/proc/" + std::to_string(pid) + "/stat"); }

long long threadTicks(pid_t pid, pid_t tid)
{
  return statTicks("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/stat");
}

std::vector<ThreadTicks> threads(pid_t pid)
{
  std::vector<ThreadTicks> out;
  std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = opendir(dir.c_str());
  if (!d)
    return out;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.')
      continue;
    pid_t tid = atoi(e->d_name);
    std::ifstream comm(dir + "/" + e->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    out.push_back({tid, name, threadTicks(pid, tid)});
  }
  closedir(d);
  std::sort(out.begin(), out.end(), [](const ThreadTicks& a, const ThreadTicks& b) { return a.tid < b.tid; });
  return out;
}

long long statusKb(pid_t pid, const char* field)
{
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const size_t n = strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
      return atoll(line.c_str() + n + 1);
  return -1;
}

Spread spread(std::vector<double> v)
{
  if (v.empty())
    return {0, 0, 0};
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  return {median, v.front(), v.back()};
}
} // namespace benchkit
