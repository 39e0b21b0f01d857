#ifndef VESKO_SIGNALFLAG_HXX
#define VESKO_SIGNALFLAG_HXX

#include <atomic>
#include <csignal>

// The number of the last SIGINT or SIGTERM received; written by the signal handler,
// polled by the interface thread. The handler runs on whichever thread the kernel picks
// (a JACK thread too), so the flag is an atomic, not a volatile sig_atomic_t: that one is
// only safe within one thread.
extern std::atomic<int> signalFlag;
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may not lock");

void installSignalHandlers();

#endif
