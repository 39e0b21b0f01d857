#ifndef VESKO_EVENTHANDLER_HXX
#define VESKO_EVENTHANDLER_HXX

// The two queues between the interface thread and the JACK process thread, and their
// dispatchers. Each queue has exactly one writer thread and one reader thread.

#include <jack/ringbuffer.h>

class EventBase;

// Toward the engine: written by the interface thread, drained by the JACK thread.
extern jack_ringbuffer_t* rbToDsp;
// Toward the interface: written by the JACK thread (and by the interface thread only
// while the engine is being built), drained by the interface thread.
extern jack_ringbuffer_t* rbToGui;

// Where each consumer peeks at the next record's 8-byte header.
extern void* processDspMem;
extern void* processGuiMem;

// Creates both queues and both peek headers; called once at start-up.
void createEventQueues();

// The reader's side of either queue, for its one reader thread. Same meaning as the
// jack_ringbuffer calls of the same names; records must go through these (and the
// writers below) so that a ThreadSanitizer build sees the queue's ordering.
size_t queueReadSpace(jack_ringbuffer_t* rb);
void queuePeek(jack_ringbuffer_t* rb, char* dest, size_t size);
void queueRead(jack_ringbuffer_t* rb, char* dest, size_t size);
void queueReadAdvance(jack_ringbuffer_t* rb, size_t size);

// Interface thread.
void writeToDspRingbuffer(EventBase* e);
// JACK thread (or the interface thread before the engine runs).
void writeToGuiRingbuffer(EventBase* e);
// JACK thread: for a record that must not be lost (a buffer or a save changing hands).
// When the queue has no room it writes nothing and returns false, and the caller tries
// again in a later period: a busy interface fills the queue with level reports.
bool handToGui(EventBase* e);
// JACK thread: for a hand-over that has no retry of its own (a buffer or a controller
// going back, an answer the interface waits for). When the queue has no room the record
// waits in a small preallocated list, sent ahead of later ones at the next period.
void handOverToGui(EventBase* e);
// JACK thread, at the start of every period: sends what waits, in order, while room lasts.
void retryHandOversToGui();
// Records waiting in that list (for tests; JACK thread or between periods).
int handOversWaitingForGui();
// Interface thread: hand-overs lost because that list was full, since the last call.
unsigned takeLostHandOvers();

// Interface thread: for a hand-over toward the engine (a loaded clip, a controller, an
// answered buffer request). When rbToDsp has no room, or earlier hand-overs still wait,
// the record is kept and sent by the next handleGuiEvents, so it is never lost.
void handToEngine(EventBase* e);
// Interface thread: sends what waits, in order, while room lasts; called by handleGuiEvents.
void sendPendingToEngine();
// Interface thread: hand-overs waiting for room in rbToDsp.
int pendingToEngine();

// JACK thread: formats a message (cut to 49 characters) and sends it to the interface's
// log as an EventGuiPrint, since the JACK thread must not touch the console itself.
void dspPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Interface thread: records dropped by a full rbToGui since the last call.
unsigned takeGuiDropCount();

// JACK thread: applies every complete record waiting in rbToDsp.
void handleDspEvents();
// Interface thread: applies every complete record waiting in rbToGui.
void handleGuiEvents();

#endif
