// Session save and load against the tools that do the same bare work, timed in one run so
// that the ratios hold on a busy machine:
//
// - save: the DiskWriter writes `clips` clips of `seconds` at 48 kHz (32-bit float stereo
//   WAVs, each fsync'ed before it is moved into place) and the session file; against it,
//   `dd bs=1M conv=fsync` copies a WAV of the same size as many times, from the page cache.
// - load: the DiskReader reads a session of as many clips at 44.1 kHz into a 48 kHz engine
//   (read, split into channels, resampled with the preferences' default converter, the
//   fastest sinc); against it, `sndfile-resample -c 2` (the same converter) on each file.
//
//   vesko_bench_session [clips=80] [seconds=30] [repeats=3]
//
// Each repeat runs both sides, in turns of order; the figures are medians over the repeats
// and the ratio's median, min and max. Everything is written under /tmp and removed.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "audiobuffer.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"

extern char** environ;

namespace
{
FILE* out = stdout; // the figures; the program's own log goes to /dev/null

double now()
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// posix_spawn, not fork: a fork copies the page tables of the gigabyte of clips held here,
// which would be charged to the tool.
bool run(const std::vector<std::string>& argv)
{
  std::vector<char*> args;
  for (auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
    return false;
  int status = -1;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// There is no engine here: take back what the reader sent it and free the clips.
void drainToEngine()
{
  do {
    sendPendingToEngine();
    alignas(16) char buf[512];
    while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
      jack_ringbuffer_peek(rbToDsp, buf, 8);
      const uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
      jack_ringbuffer_read(rbToDsp, buf, size);
      if (reinterpret_cast<EventBase*>(buf)->type() == EVENT_LOOPER_LOAD)
        delete reinterpret_cast<EventLooperLoad*>(buf)->audioBuffer;
    }
  } while (pendingToEngine() > 0);
}

struct Figures {
  std::vector<double> ours, theirs, ratio;
};

double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void print(const char* what, const char* tool, const Figures& f)
{
  std::vector<double> r = f.ratio;
  std::sort(r.begin(), r.end());
  fprintf(out, "%s: median %.3f s; %s: median %.3f s; ratio median %.3f  min %.3f  max %.3f  over %zu repeats\n",
          what, median(f.ours), tool, median(f.theirs), median(r), r.front(), r.back(), r.size());
}
} // namespace

int main(int argc, char** argv)
{
  const int clips = argc > 1 ? atoi(argv[1]) : 80;
  const int seconds = argc > 2 ? atoi(argv[2]) : 30;
  const int repeats = argc > 3 ? atoi(argv[3]) : 3;
  if (clips < 1 || clips > 80 || seconds < 1 || repeats < 1) {
    fprintf(stderr, "usage: vesko_bench_session [clips 1..80] [seconds] [repeats]\n");
    return 2;
  }

  char tmpl[] = "/tmp/vesko-bench-io-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("HOME", dir.c_str(), 1); // the writer makes its configuration directories there
  out = fdopen(dup(1), "w");
  setvbuf(out, nullptr, _IOLBF, 0);
  if (!freopen("/dev/null", "w", stdout))
    return 2;
  createEventQueues();

  // The clips: distinct buffers, as a session holds them, of one second of sines repeated.
  const int64_t frames = 48000LL * seconds;
  std::vector<std::unique_ptr<AudioBuffer>> buffers;
  for (int c = 0; c < clips; c++) {
    auto ab = std::make_unique<AudioBuffer>(frames);
    for (int64_t i = 0; i < frames; i++) {
      ab->getLeft()[i] = 0.2f * sinf(6.2831853f * (110.f + c) * (i % 48000) / 48000.f);
      ab->getRight()[i] = 0.2f * sinf(6.2831853f * (165.f + c) * (i % 48000) / 48000.f);
    }
    ab->setLengthFrames(frames);
    ab->setBeats(2 * seconds);
    buffers.push_back(std::move(ab));
  }
  const std::string source = dir + "/source.wav";
  const std::string copies = dir + "/copies";
  mkdir(copies.c_str(), 0775);
  if (!writeWavFile(source, buffers[0].get(), 48000)) {
    fprintf(stderr, "cannot write %s\n", source.c_str());
    return 2;
  }

  DiskWriter writer;
  Figures save;
  for (int r = 0; r < repeats; r++) {
    double ours = 0, theirs = 0;
    for (int turn = 0; turn < 2; turn++) {
      sync(); // what the last turn left dirty is not this one's to write
      if ((turn == 0) == (r % 2 == 0)) {
        writer.setSamplerate(48000);
        const double t0 = now();
        bool ok = writer.initialize(dir, "save") == 0;
        for (int c = 0; c < clips && ok; c++)
          ok = writer.writeAudioBuffer(c % 8, c / 8, buffers[c].get()) == 0;
        ok = ok && writer.writeSession() == 0;
        ours = now() - t0;
        if (!ok) {
          fprintf(stderr, "the session save failed\n");
          return 1;
        }
        run({"rm", "-rf", dir + "/save.vesko"});
      } else {
        const double t0 = now();
        for (int c = 0; c < clips; c++)
          if (!run({"dd", "if=" + source, "of=" + copies + "/" + std::to_string(c) + ".wav", "bs=1M",
                    "conv=fsync", "status=none"})) {
            fprintf(stderr, "dd failed\n");
            return 1;
          }
        theirs = now() - t0;
        run({"sh", "-c", "rm -f '" + copies + "'/*.wav"});
      }
    }
    save.ours.push_back(ours);
    save.theirs.push_back(theirs);
    save.ratio.push_back(ours / theirs);
  }
  char what[128];
  snprintf(what, sizeof(what), "session save, %d clips x %d s at 48 kHz", clips, seconds);
  print(what, "dd conv=fsync, same bytes", save);

  // The load's files: the same clips written at 44.1 kHz.
  writer.setSamplerate(44100);
  bool ok = writer.initialize(dir, "load") == 0;
  for (int c = 0; c < clips && ok; c++) {
    buffers[c]->setLengthFrames(44100LL * seconds);
    ok = writer.writeAudioBuffer(c % 8, c / 8, buffers[c].get()) == 0;
  }
  ok = ok && writer.writeSession() == 0;
  buffers.clear();
  if (!ok) {
    fprintf(stderr, "cannot write the session to load\n");
    return 1;
  }
  unlink(source.c_str());

  DiskReader reader(&writer);
  reader.setSamplerate(48000);
  reader.onProgress = [](int, int) { drainToEngine(); };
  Figures load;
  for (int r = 0; r < repeats; r++) {
    double ours = 0, theirs = 0;
    for (int turn = 0; turn < 2; turn++) {
      sync();
      if ((turn == 0) == (r % 2 == 0)) {
        const double t0 = now();
        ok = reader.readSession(dir + "/load.vesko") == 0;
        drainToEngine();
        ours = now() - t0;
        if (!ok) {
          fprintf(stderr, "the session load failed\n");
          return 1;
        }
      } else {
        const double t0 = now();
        for (int c = 0; c < clips; c++) {
          std::string file = "t_" + std::to_string(c % 8) + "_s_" + std::to_string(c / 8) + ".wav";
          if (!run({"sndfile-resample", "-to", "48000", "-c", "2", dir + "/load.vesko/audio/" + file,
                    copies + "/resampled.wav"})) {
            fprintf(stderr, "sndfile-resample failed\n");
            return 1;
          }
        }
        theirs = now() - t0;
        unlink((copies + "/resampled.wav").c_str());
      }
    }
    load.ours.push_back(ours);
    load.theirs.push_back(theirs);
    load.ratio.push_back(ours / theirs);
  }
  snprintf(what, sizeof(what), "session load, %d clips x %d s at 44.1 kHz into 48 kHz", clips, seconds);
  print(what, "sndfile-resample -c 2, same files", load);

  run({"rm", "-rf", dir});
  return 0;
}
