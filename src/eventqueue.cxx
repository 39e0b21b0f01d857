#include "eventhandler.hxx"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

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

// libjack is not instrumented, so ThreadSanitizer cannot see the barriers with which the
// ring buffer orders a record's bytes before its write pointer (and a read before the read
// pointer that frees its room). Without them every record, and every buffer or
// controller a record hands over, looks like a race. A TSan build states that ordering
// where it happens: each side publishes before it advances its pointer and takes what
// the other side published once it has seen that pointer move.
#if VESKO_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
static void queueSeen(volatile size_t* ptr) { __tsan_acquire(const_cast<size_t*>(ptr)); }
static void queuePublish(volatile size_t* ptr) { __tsan_release(const_cast<size_t*>(ptr)); }
#else
static void queueSeen(volatile size_t*) {}
static void queuePublish(volatile size_t*) {}
#endif

size_t queueReadSpace(jack_ringbuffer_t* rb)
{
  const size_t n = jack_ringbuffer_read_space(rb);
  if (n > 0)
    queueSeen(&rb->write_ptr);
  return n;
}

void queuePeek(jack_ringbuffer_t* rb, char* dest, size_t size)
{
  jack_ringbuffer_peek(rb, dest, size);
}

void queueReadAdvance(jack_ringbuffer_t* rb, size_t size)
{
  queuePublish(&rb->read_ptr);
  jack_ringbuffer_read_advance(rb, size);
}

// jack_ringbuffer_read copies and advances in one call; split, so that the copy is
// published before its room is given back.
void queueRead(jack_ringbuffer_t* rb, char* dest, size_t size)
{
  jack_ringbuffer_peek(rb, dest, size);
  queueReadAdvance(rb, size);
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
  queueSeen(&rb->read_ptr);
  // jack_ringbuffer_write, split so that the copy is published before the record shows.
  jack_ringbuffer_data_t room[2];
  jack_ringbuffer_get_write_vector(rb, room);
  const char* bytes = reinterpret_cast<const char*>(e);
  const size_t first = size < room[0].len ? size : room[0].len;
  memcpy(room[0].buf, bytes, first);
  if (size > first)
    memcpy(room[1].buf, bytes + first, size - first);
  queuePublish(&rb->write_ptr);
  jack_ringbuffer_write_advance(rb, size);
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

namespace
{
// Room for the largest record.
struct RecordImage {
  alignas(8) char bytes[64];
  void take(const EventBase* e) { memcpy(bytes, static_cast<const void*>(e), e->size()); }
  EventBase* record() { return reinterpret_cast<EventBase*>(bytes); }
};

// Engine side: filled and emptied on the JACK thread only, so it is a plain ring of slots
// made before the process callback starts.
const int WAITING_FOR_GUI = 64;
RecordImage waitingForGui[WAITING_FOR_GUI];
int waitingFirst = 0, waitingCount = 0;
std::atomic<unsigned> handOversLost{0};

// Interface side: the interface thread may allocate, and a list that grows while the
// engine is not running yet (or has stopped) still loses nothing.
std::deque<RecordImage> waitingForEngine;
} // namespace

void handOverToGui(EventBase* e)
{
  if (!e)
    return;
  if (waitingCount == 0 && writeRecord(rbToGui, e))
    return;
  if (waitingCount == WAITING_FOR_GUI) {
    // Only a queue that has been full for a long time gets here.
    handOversLost.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  waitingForGui[(waitingFirst + waitingCount) % WAITING_FOR_GUI].take(e);
  waitingCount++;
}

void retryHandOversToGui()
{
  while (waitingCount > 0 && writeRecord(rbToGui, waitingForGui[waitingFirst].record())) {
    waitingFirst = (waitingFirst + 1) % WAITING_FOR_GUI;
    waitingCount--;
  }
}

int handOversWaitingForGui() { return waitingCount; }

unsigned takeLostHandOvers() { return handOversLost.exchange(0, std::memory_order_relaxed); }

void handToEngine(EventBase* e)
{
  if (!e)
    return;
  sendPendingToEngine();
  if (waitingForEngine.empty() && writeRecord(rbToDsp, e))
    return;
  waitingForEngine.emplace_back();
  waitingForEngine.back().take(e);
}

void sendPendingToEngine()
{
  while (!waitingForEngine.empty() && writeRecord(rbToDsp, waitingForEngine.front().record()))
    waitingForEngine.pop_front();
}

int pendingToEngine() { return (int)waitingForEngine.size(); }

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
