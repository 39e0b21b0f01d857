#include "signalflag.hxx"

volatile sig_atomic_t signalFlag = 0;

static void signalHandler(int sig) { signalFlag = sig; }

void installSignalHandlers()
{
  signal(SIGINT, signalHandler);
  signal(SIGTERM, signalHandler);
}
