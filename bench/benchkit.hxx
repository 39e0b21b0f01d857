#ifndef VESKO_BENCHKIT_HXX
#define VESKO_BENCHKIT_HXX

// What the benchmarks of the real binary share: session directories written to order, a
// temporary HOME, the top-level window's appearance on the X server, the figures a
// process leaves in /proc, and the median and spread of repeated figures.

#include <string>
#include <sys/types.h>
#include <vector>

#include <X11/Xlib.h>

#include "process.hxx"

namespace benchkit
{
// The value of "--name=value" among the arguments, or fallback.
int option(int argc, char** argv, const char* name, int fallback);

// A temporary HOME whose preferences exist (with that text), so that a start is not the
// first one. Its controllers directory exists too.
std::string makeHome(const char* preferences = R"({"saveDirectory": "vesko", "resampleQuality": 1})");

// Writes dir/session.vesko and dir/audio/ with `scenes` clips on each of the eight tracks,
// each `seconds` long at `rate`, 32-bit float stereo, every one a pair of sines; beats at
// 120 BPM. Returns the bytes of audio written.
long long makeSession(const std::string& dir, int scenes, int seconds, int rate);

void removeTree(const std::string& path);

// Watches the X server in DISPLAY for top-level windows being mapped.
class MapWatcher
{
public:
  MapWatcher();
  ~MapWatcher();
  bool ok() const { return display != nullptr; }
  // Waits up to timeoutMs for a top-level window named `name` to be mapped; returns it (0
  // on timeout) and the monotonic time of the event's arrival in microseconds in *whenUs.
  Window waitForMap(const char* name, int timeoutMs, long long* whenUs);

private:
  Display* display = nullptr;
};

// Whether the X server and the private JACK server a program of the whole binary needs are
// there; says which one is missing when not.
bool ready(const MapWatcher& display, const e2e::JackServer& server);

// Microseconds on the monotonic clock.
long long nowUs();

// Clock ticks (utime + stime) of a process, or of one of its threads; -1 when unreadable.
long long processTicks(pid_t pid);
long long threadTicks(pid_t pid, pid_t tid);
// Every thread of a process with its name and ticks.
struct ThreadTicks {
  pid_t tid;
  std::string name;
  long long ticks;
};
std::vector<ThreadTicks> threads(pid_t pid);

// A "Vm..." line of /proc/PID/status in kB, or -1.
long long statusKb(pid_t pid, const char* field);

struct Spread {
  double median, min, max;
};
Spread spread(std::vector<double> v);
} // namespace benchkit

#endif
