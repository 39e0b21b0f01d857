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

// Interface thread.
void writeToDspRingbuffer(EventBase* e);
// JACK thread (or the interface thread before the engine runs).
void writeToGuiRingbuffer(EventBase* e);
// JACK thread: for a record that must not be lost (a buffer or a save changing hands).
// When the queue has no room it writes nothing and returns false, and the caller tries
// again in a later period: a busy interface fills the queue with level reports.
bool handToGui(EventBase* e);

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
