#include "eventhandler.hxx"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "config.hxx"
#include "event.hxx"

jack_ringbuffer_t* rbToDsp = nullptr;
jack_ringbuffer_t* rbToGui = nullptr;
void* processDspMem = nullptr;
void* processGuiMem = nullptr;

void createEventQueues()
{
  processDspMem = malloc(sizeof(EventBase));
  processGuiMem = malloc(sizeof(EventBase));
  rbToDsp = jack_ringbuffer_create(VESKO_RINGBUFFER_SIZE);
  rbToGui = jack_ringbuffer_create(VESKO_RINGBUFFER_SIZE);
}

// Records dropped because rbToGui was full. The JACK thread may not print, so it only
// counts; the interface thread reports the drops on its next drain.
static std::atomic<unsigned> guiDropped{0};

// A record goes in whole or not at all: a partial record would wedge the reader.
static bool writeRecord(jack_ringbuffer_t* rb, EventBase* e)
{
  if (!rb || !e)
    return false;
  const size_t size = e->size();
  if (jack_ringbuffer_write_space(rb) < size)
    return false;
  jack_ringbuffer_write(rb, reinterpret_cast<const char*>(e), size);
  return true;
}

void writeToDspRingbuffer(EventBase* e)
{
  if (!writeRecord(rbToDsp, e))
    printf("->DSP ringbuffer full!\n");
}

void writeToGuiRingbuffer(EventBase* e)
{
  if (!writeRecord(rbToGui, e))
    guiDropped.fetch_add(1, std::memory_order_relaxed);
}

bool handToGui(EventBase* e) { return writeRecord(rbToGui, e); }

unsigned takeGuiDropCount() { return guiDropped.exchange(0, std::memory_order_relaxed); }

void dspPrint(const char* format, ...)
{
  EventGuiPrint ev;
  va_list args;
  va_start(args, format);
  vsnprintf(ev.print, sizeof(ev.print), format, args);
  va_end(args);
  writeToGuiRingbuffer(&ev);
}
