#ifndef VESKO_SIGNALFLAG_HXX
#define VESKO_SIGNALFLAG_HXX

#include <csignal>

// The number of the last SIGINT or SIGTERM received; written only by the signal handler,
// polled by the interface thread.
extern volatile sig_atomic_t signalFlag;

void installSignalHandlers();

#endif
