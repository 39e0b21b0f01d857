// Looping benchmarks, driving the real engine one period at a time through the JACK seam
// of the tests, while a second thread plays the interface: it answers buffer requests and
// frees what the engine hands back, as the window's timer would.
//
//   bench_looping period   [cycles]        one period, 8 clips playing + 1 recording + metronome
//   bench_looping record   [minutes] [x]   worst period over a long recording
//   bench_looping control  [minutes] [x]   the same run recording nothing, for comparison
//   bench_looping save     [clips] [secs] [x] worst period over a session save
//   bench_looping save-control [clips] [secs] [x] as long, saving nothing, while the same
//                          buffers are made and freed: the interface's memory traffic alone
//
// x paces the run at x times real time (default 50), so the interface thread's answers
// arrive as late, in frames, as they would at that much slower an interface. Figures are
// microseconds per period and shares of the 64-frame period at 48 kHz (1333 us).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <string>
#include <thread>
#include <vector>

#include "audiobuffer.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "fakejack.hxx"
#include "gridlogic.hxx"
#include "jack.hxx"
#include "logic.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "statemanager.hxx"

namespace
{
const int RATE = 48000;
const int PERIOD = 64;
const double PERIOD_US = 1e6 * PERIOD / RATE;

using Clock = std::chrono::steady_clock;

// The interface thread's part: allocate what is asked for, free what comes back.
class Interface
{
public:
  void start()
  {
    running = true;
    thread = std::thread([this] { loop(); });
  }
  void stop()
  {
    running = false;
    thread.join();
    drain();
  }
  std::atomic<long> outOfMemoryLines{0};
  std::atomic<long> saveBuffers{0};
  std::atomic<long> saveFinishes{0};
  std::atomic<long> requests{0};

private:
  void loop()
  {
    while (running) {
      drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void drain()
  {
    char buf[256];
    while (jack_ringbuffer_read_space(rbToGui) >= 8) {
      jack_ringbuffer_peek(rbToGui, buf, 8);
      uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
      if (jack_ringbuffer_read_space(rbToGui) < size)
        return;
      jack_ringbuffer_read(rbToGui, buf, size);
      switch (reinterpret_cast<EventBase*>(buf)->type()) {
      case EVENT_GUI_PRINT:
        if (strstr(reinterpret_cast<EventGuiPrint*>(buf)->getMessage(), "out of mem"))
          outOfMemoryLines++;
        else if (getenv("BENCH_VERBOSE"))
          printf("DSP: %s\n", reinterpret_cast<EventGuiPrint*>(buf)->getMessage());
        break;
      case EVENT_LOOPER_CLIP_REQUEST_BUFFER: {
        auto* ev = reinterpret_cast<EventLooperClipRequestBuffer*>(buf);
        requests++;
        EventLooperClipRequestBuffer answer(ev->track, ev->scene, 0, new AudioBuffer(ev->numElements));
        writeToDspRingbuffer(&answer);
        break;
      }
      case EVENT_REQUEST_SAVE_BUFFER: {
        auto* ev = reinterpret_cast<EventRequestSaveBuffer*>(buf);
        EventRequestSaveBuffer answer(ev->track, ev->scene, ev->bufferSize, new AudioBuffer(ev->bufferSize));
        writeToDspRingbuffer(&answer);
        break;
      }
      case EVENT_DEALLOCATE_BUFFER:
        delete reinterpret_cast<EventDeallocateBuffer*>(buf)->ab;
        break;
      case EVENT_STATE_SAVE_BUFFER: {
        auto* ev = reinterpret_cast<EventStateSaveBuffer*>(buf);
        if (!ev->keepBuffer)
          delete ev->ab;
        saveBuffers++;
        break;
      }
      case EVENT_STATE_SAVE_FINISH: saveFinishes++; break;
      default: break;
      }
    }
  }
  std::atomic<bool> running{false};
  std::thread thread;
};

double threadCpuUs()
{
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// CPU time of the last timed period: wall time counts whatever else this shared machine
// ran meanwhile, CPU time only this thread's work (page faults included).
double lastCpuUs = 0;
long lastFaults = 0;

long threadFaults()
{
  rusage ru;
  getrusage(RUSAGE_THREAD, &ru);
  return ru.ru_minflt + ru.ru_majflt;
}

struct Stats {
  std::vector<double> us;
  std::vector<long> faults;
  void add(double v)
  {
    us.push_back(v);
    faults.push_back(lastFaults);
  }
  double at(double q)
  {
    std::vector<double> s = us;
    std::sort(s.begin(), s.end());
    return s[(size_t)(q * (s.size() - 1))];
  }
  void print(const char* what)
  {
    printf("%s: %zu periods; us per period: median %.2f (quartiles %.2f .. %.2f), p99 %.2f, "
           "p99.9 %.2f, max %.2f\n",
           what, us.size(), at(0.5), at(0.25), at(0.75), at(0.99), at(0.999), at(1.0));
    printf("%s: share of the 64-frame period: median %.2f%% (quartiles %.2f%% .. %.2f%%), p99 %.2f%%, "
           "p99.9 %.2f%%, max %.2f%%\n",
           what, share(0.5), share(0.25), share(0.75), share(0.99), share(0.999), share(1.0));
  }
  double share(double q) { return 100 * at(q) / PERIOD_US; }
  // Where the n worst periods fell.
  void worst(int n)
  {
    std::vector<size_t> idx(us.size());
    for (size_t i = 0; i < idx.size(); i++)
      idx[i] = i;
    std::partial_sort(idx.begin(), idx.begin() + n, idx.end(), [&](size_t a, size_t b) { return us[a] > us[b]; });
    printf("worst periods:");
    for (int i = 0; i < n; i++)
      printf(" #%zu %.1f us (%ld page faults)", idx[i], us[idx[i]], faults[idx[i]]);
    long faulting = 0;
    for (long f : faults)
      faulting += f > 0;
    printf("\nperiods with page faults on the process thread: %ld\n", faulting);
  }
};

template <class E> void toEngine(E ev) { writeToDspRingbuffer(&ev); }

// One period through the real process callback, timed.
double timedCycle()
{
  const long f0 = threadFaults();
  const double c0 = threadCpuUs();
  auto t0 = Clock::now();
  fakejack::cycle();
  const double wall = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  lastCpuUs = threadCpuUs() - c0;
  lastFaults = threadFaults() - f0;
  return wall;
}

// Sleeps so that `periods` periods take no less than 1/pace of their real duration.
class Pacer
{
public:
  explicit Pacer(double pace) : pace(pace), start(Clock::now()) {}
  void wait(long periods)
  {
    if (pace <= 0)
      return;
    auto due = start + std::chrono::duration<double>(periods * (double)PERIOD / RATE / pace);
    std::this_thread::sleep_until(std::chrono::time_point_cast<Clock::duration>(due));
  }

private:
  double pace;
  Clock::time_point start;
};

void setUp()
{
  fakejack::configure(RATE, PERIOD);
  createEventQueues();
  if (!Jack::setup("Vesko")) {
    fprintf(stderr, "engine not built\n");
    exit(1);
  }
}

AudioBuffer* loop(int64_t frames, int beats)
{
  auto* ab = new AudioBuffer((uint64_t)frames);
  for (int64_t i = 0; i < frames; i++) {
    ab->getLeft()[i] = 0.25f * (float)((i % 200) - 100) / 100.f;
    ab->getRight()[i] = -ab->getLeft()[i];
  }
  ab->setBeats(beats);
  ab->setLengthFrames(frames);
  return ab;
}

void fillInput(int64_t firstFrame)
{
  float* l = fakejack::audio("master_in_left");
  float* r = fakejack::audio("master_in_right");
  for (int i = 0; i < PERIOD; i++) {
    l[i] = (float)((firstFrame + i) & 0xFFFF);
    r[i] = (float)((firstFrame + i) >> 16);
  }
}

int benchPeriod(long cycles)
{
  setUp();
  Interface gui;
  gui.start();
  // Eight tracks play a 4-bar loop at a slightly different tempo (so every track resamples),
  // track 0 records into another clip, and the metronome clicks.
  for (int t = 0; t < NTRACKS; t++)
    toEngine(EventLooperLoad(t, 0, loop(4 * 4 * 23000, 16)));
  toEngine(EventMetronomeActive(true));
  // The same engine with the clips loaded but silent, as the baseline of this run.
  Stats idle;
  const long idleCycles = getenv("IDLE") ? atol(getenv("IDLE")) : cycles;
  for (long c = 0; c < idleCycles; c++) {
    fillInput(c * PERIOD);
    idle.add(timedCycle());
  }
  toEngine(EventGridLaunchScene(0));
  fakejack::cycles(2000); // past the next bar line: the scene plays
  {
    LooperClip* rec = jack->getLooper(0)->getClip(1);
    rec->queueRecord(); // beside track 0's playing clip: the looper feeds both
  }
  fakejack::cycles(2000);
  if (!jack->getLooper(0)->getClip(1)->isRecording() || !jack->getLooper(7)->getClip(0)->isPlaying()) {
    fprintf(stderr, "scenario not reached\n");
    return 1;
  }
  Stats s, cpu;
  for (long c = 0; c < cycles; c++) {
    fillInput(c * PERIOD);
    s.add(timedCycle());
    cpu.add(lastCpuUs);
  }
  gui.stop();
  idle.print("period, clips stopped, metronome");
  s.print("period, 8 playing + 1 recording + metronome");
  cpu.print("period, 8 playing + 1 recording + metronome, CPU");
  printf("looping's own share (difference of the medians): %.2f%% of the period\n",
         idle.share(0.5) > 0 ? s.share(0.5) - idle.share(0.5) : 0.0);
  return 0;
}

int benchRecord(double minutes, double pace, bool control)
{
  setUp();
  Interface gui;
  gui.start();
  const int64_t total = (int64_t)(minutes * 60 * RATE);
  LooperClip* clip = jack->getLooper(3)->getClip(4);
  if (control) {
    // The same engine, pacing and length, recording nothing: what this machine adds.
    Stats cpu;
    Pacer pacer(pace);
    for (long c = 0; c < (long)(total / PERIOD); c++) {
      fillInput(c * PERIOD);
      timedCycle();
      cpu.add(lastCpuUs);
      pacer.wait(c);
    }
    gui.stop();
    cpu.print("control, nothing recording, CPU");
    cpu.worst(5);
    return 0;
  }
  toEngine(EventGridEvent(3, 4, true));
  // The press is applied at the start of the first period, whose first frame is a bar line.
  fillInput(0);
  fakejack::cycle();
  if (!clip->isRecording() || clip->getRecordedLength() != PERIOD) {
    fprintf(stderr, "the take did not start on the first bar line\n");
    return 1;
  }
  Stats s, cpu;
  Pacer pacer(pace);
  const long periods = (long)(total / PERIOD);
  int64_t frame = clip->getRecordedLength();
  for (long c = 0; c < periods; c++) {
    fillInput(frame);
    s.add(timedCycle());
    cpu.add(lastCpuUs);
    frame += PERIOD;
    pacer.wait(c);
  }
  const int64_t recorded = clip->getRecordedLength();
  // Stop, let the last move finish, and check every frame.
  toEngine(EventGridEvent(3, 4, true));
  for (int i = 0; i < 200000 && (clip->isRecording() || clip->movingBuffer()); i++)
    fakejack::cycle();
  gui.stop();
  const AudioBuffer* ab = clip->buffer();
  int64_t wrong = 0;
  for (int64_t i = 0; i < recorded; i++)
    wrong += ab->getLeft()[i] != (float)(i & 0xFFFF) || ab->getRight()[i] != (float)(i >> 16);
  printf("recording of %.1f min at %gx real time: %lld frames recorded, %lld wrong, %ld out-of-memory "
         "lines, %ld buffer requests, buffer %lld frames\n",
         minutes, pace, (long long)recorded, (long long)wrong, gui.outOfMemoryLines.load(),
         gui.requests.load(), (long long)ab->getSize());
  // Per minute of audio: a clip's growing length must not show in any period.
  const long perMinute = 60L * RATE / PERIOD;
  printf("per minute of the take, CPU us: p99.9 / max\n");
  for (long m = 0; m * perMinute < (long)cpu.us.size(); m++) {
    Stats minute;
    for (long c = m * perMinute; c < std::min((long)cpu.us.size(), (m + 1) * perMinute); c++)
      minute.us.push_back(cpu.us[c]);
    printf("  %2ld: %6.1f / %6.1f\n", m, minute.at(0.999), minute.at(1.0));
  }
  s.print("recording, wall");
  cpu.print("recording, CPU");
  cpu.worst(5);
  return wrong != 0 || gui.outOfMemoryLines.load() != 0;
}

// The clips a session save writes, one to a cell in track order; a track each keeps playing.
void loadClipsOfASave(int clips, int64_t frames)
{
  for (int i = 0; i < clips; i++)
    toEngine(EventLooperLoad(i % NTRACKS, i / NTRACKS, loop(frames, 16)));
  toEngine(EventGridLaunchScene(0));
  fakejack::cycles(3000);
}

int benchSave(int clips, double seconds, double pace)
{
  setUp();
  Interface gui;
  gui.start();
  const int64_t frames = (int64_t)(seconds * RATE);
  loadClipsOfASave(clips, frames);
  Stats s, cpu;
  Pacer pacer(pace);
  toEngine(EventStateSave());
  auto t0 = Clock::now();
  long c = 0;
  for (; gui.saveFinishes.load() == 0 && c < 100000000; c++) {
    s.add(timedCycle());
    cpu.add(lastCpuUs);
    pacer.wait(c);
  }
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  gui.stop();
  printf("save of %d clips of %.0f s at %gx real time: %ld save buffers, %ld periods (%.2f s of audio, "
         "%.2f s wall)\n",
         clips, seconds, pace, gui.saveBuffers.load(), c, c * (double)PERIOD / RATE, wall);
  s.print("save, wall");
  cpu.print("save, CPU");
  cpu.worst(5);
  return gui.saveBuffers.load() != clips;
}
// The same engine and clips for as long as that save takes, saving nothing, while a thread
// of the interface side makes and frees the same buffers at the save's pace: what the
// interface's memory traffic alone does to the engine's periods.
int benchSaveControl(int clips, double seconds, double pace)
{
  setUp();
  Interface gui;
  gui.start();
  const int64_t frames = (int64_t)(seconds * RATE);
  loadClipsOfASave(clips, frames);
  // The save copies StateManager::SAVE_COPY_FRAMES_PER_FRAME frames per frame of the period.
  const long periods = (long)(clips * frames / ((int64_t)StateManager::SAVE_COPY_FRAMES_PER_FRAME * PERIOD)) + 1;
  const auto perClip = std::chrono::duration<double>(periods * PERIOD / (double)RATE / pace / clips);
  std::atomic<bool> done{false};
  std::thread traffic([&] {
    std::vector<AudioBuffer*> made;
    for (int i = 0; i < clips; i++)
      made.push_back(new AudioBuffer(frames));
    for (AudioBuffer* b : made) {
      std::this_thread::sleep_for(perClip);
      delete b;
      if (done)
        break;
    }
  });
  Stats s, cpu;
  Pacer pacer(pace);
  for (long c = 0; c < periods; c++) {
    s.add(timedCycle());
    cpu.add(lastCpuUs);
    pacer.wait(c);
  }
  done = true;
  traffic.join();
  gui.stop();
  printf("save control, %d buffers of %.0f s made and freed at %gx real time, no save: %ld periods\n",
         clips, seconds, pace, periods);
  s.print("save control, wall");
  cpu.print("save control, CPU");
  cpu.worst(5);
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  std::string what = argc > 1 ? argv[1] : "period";
  if (what == "period")
    return benchPeriod(argc > 2 ? atol(argv[2]) : 100000);
  if (what == "record" || what == "control")
    return benchRecord(argc > 2 ? atof(argv[2]) : 30, argc > 3 ? atof(argv[3]) : 50, what == "control");
  if (what == "save-control")
    return benchSaveControl(argc > 2 ? atoi(argv[2]) : 80, argc > 3 ? atof(argv[3]) : 30,
                            argc > 4 ? atof(argv[4]) : 50);
  if (what == "save")
    return benchSave(argc > 2 ? atoi(argv[2]) : 80, argc > 3 ? atof(argv[3]) : 30,
                     argc > 4 ? atof(argv[4]) : 50);
  fprintf(stderr, "usage: %s period|record|control|save|save-control [...]\n", argv[0]);
  return 2;
}
