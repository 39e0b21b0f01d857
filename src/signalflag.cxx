#include "signalflag.hxx"

std::atomic<int> signalFlag{0};

static void signalHandler(int sig) { signalFlag = sig; }

void installSignalHandlers()
{
  // SA_RESTART said, not left to signal()'s defaults: a quit signal must not fail a
  // request libjack has in flight (its replies would fall out of step and a port come
  // back null). glibc's signal() restarts, but not every signal() does (a sanitizer's
  // does not).
  struct sigaction sa = {};
  sa.sa_handler = signalHandler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}
