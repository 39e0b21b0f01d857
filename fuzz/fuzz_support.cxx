#include "fuzz_support.hxx"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "audiobuffer.hxx"
#include "event.hxx"
#include "eventhandler.hxx"

static std::string dir;

void fuzzSetUp()
{
  if (!dir.empty())
    return;
  char tmpl[] = "/tmp/vesko-fuzz-XXXXXX";
  dir = mkdtemp(tmpl);
  setenv("HOME", dir.c_str(), 1);
  createEventQueues();
  if (!getenv("VESKO_FUZZ_VERBOSE")) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
}

const std::string& fuzzDir() { return dir; }

void writeBytes(const std::string& path, const uint8_t* data, size_t size)
{
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    abort();
  fwrite(data, 1, size, f);
  fclose(f);
}

void drainToEngine()
{
  char buf[256];
  while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
    jack_ringbuffer_peek(rbToDsp, buf, 8);
    uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
    jack_ringbuffer_read(rbToDsp, buf, size);
    if (reinterpret_cast<EventBase*>(buf)->type() == EVENT_LOOPER_LOAD)
      delete reinterpret_cast<EventLooperLoad*>(buf)->audioBuffer;
  }
}
