// The cost of one engine period with the eight track chains and the metronome running,
// as a share of the period's duration at 48 kHz, for periods of 64, 128 and 256 frames.
// The engine exists once per process, so each period size runs in a child process.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "event.hxx"
#include "eventhandler.hxx"
#include "fakejack.hxx"
#include "jack.hxx"
#include "jacksendreturn.hxx"
#include "metronome.hxx"
#include "rtcheck.hxx"
#include "trackoutput.hxx"

namespace
{
const int RATE = 48000;

void sine(const char* port, float freq, float amp, int n)
{
  float* b = fakejack::audio(port);
  for (int i = 0; i < n; i++)
    b[i] = amp * sinf(6.2831853f * freq * i / RATE);
}

// Every unit busy: each track's return active and fed, sends, keys, crossfades and pans
// set, the live input routed to the mix, the metronome clicking.
void buildScene(int period)
{
  fakejack::configure(RATE, period);
  createEventQueues();
  if (!Jack::setup("Vesko"))
    exit(1);
  sine("master_in_left", 220.f, 0.5f, period);
  sine("master_in_right", 330.f, 0.5f, period);
  for (int t = 0; t < NTRACKS; t++) {
    char name[32];
    snprintf(name, sizeof(name), "Return_track_%d_l", t + 1);
    sine(name, 110.f * (t + 1), 0.3f, period);
    snprintf(name, sizeof(name), "Return_track_%d_r", t + 1);
    sine(name, 115.f * (t + 1), 0.3f, period);

    rtcheck::ProcessScope rt;
    jack->getJackSendReturn(t)->setActive(true);
    TrackOutput* out = jack->getTrackOutput(t);
    out->setMaster(0.7f);
    out->setPan(t / 4.f - 1.f);
    out->setSend(0, 0.5f);
    out->setSendActive(0, true);
    out->setSendActive(1, t % 2);
    out->setSend(2, 0.25f);
  }
  {
    rtcheck::ProcessScope rt;
    jack->getMetronome()->setActive(true);
    jack->getMetronome()->setVolume(1.f);
    jack->inputTo(1, 0.8f);
    jack->inputToActive(1, true);
  }
}

void EnginePeriod(benchmark::State& state)
{
  for (auto _ : state) {
    fakejack::cycle();
    // The interface would drain its queue; dropping what arrived keeps it from filling.
    jack_ringbuffer_read_advance(rbToGui, jack_ringbuffer_read_space(rbToGui));
  }
  state.counters["rt_allocs_locks"] = (double)(rtcheck::allocations() + rtcheck::frees() +
                                               rtcheck::locks());
}

double minOf(const std::vector<double>& v)
{
  double m = v.empty() ? 0 : v[0];
  for (double x : v)
    m = x < m ? x : m;
  return m;
}

double maxOf(const std::vector<double>& v)
{
  double m = v.empty() ? 0 : v[0];
  for (double x : v)
    m = x > m ? x : m;
  return m;
}

// Prints, after the table, each aggregate's CPU time per period as a share of the period's
// duration (period / 48000 s).
class ShareReporter : public benchmark::ConsoleReporter
{
public:
  explicit ShareReporter(int period)
      : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular), period(period)
  {
  }

  void ReportRuns(const std::vector<Run>& runs) override
  {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Aggregate || r.aggregate_unit != benchmark::kTime)
        continue;
      const double seconds = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      shares.push_back({r.aggregate_name, 100.0 * seconds * RATE / period});
    }
  }

  void Finalize() override
  {
    ConsoleReporter::Finalize();
    printf("period %d frames (%.1f us) at %d Hz, CPU time per period as a share of it:", period,
           1e6 * period / RATE, RATE);
    for (auto& s : shares)
      printf("  %s %.3f%%", s.first.c_str(), s.second);
    printf("\n");
    fflush(stdout);
  }

private:
  int period;
  std::vector<std::pair<std::string, double>> shares;
};

int runPeriod(int period, int argc, char** argv)
{
  buildScene(period);
  rtcheck::reset();
  benchmark::RegisterBenchmark("EnginePeriod/8tracks+metronome", EnginePeriod)
    ->Arg(period)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", minOf)
    ->ComputeStatistics("max", maxOf)
    ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  ShareReporter reporter(period);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  // --period=N runs one size only; otherwise each size runs in a child of its own.
  std::vector<int> periods = {64, 128, 256};
  std::vector<char*> args;
  for (int i = 0; i < argc; i++) {
    if (strncmp(argv[i], "--period=", 9) == 0)
      periods = {atoi(argv[i] + 9)};
    else
      args.push_back(argv[i]);
  }
  int n = (int)args.size();
  if (periods.size() == 1)
    return runPeriod(periods[0], n, args.data());

  int status = 0;
  for (int period : periods) {
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0)
      _exit(runPeriod(period, n, args.data()));
    int st = 0;
    waitpid(pid, &st, 0);
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0)
      status = 1;
  }
  return status;
}
