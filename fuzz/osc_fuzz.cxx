// OSC packets arriving at the session-manager client's port: any bytes.
#include <cstdlib>
#include <string>

#include <lo/lo.h>

#include "fuzz_support.hxx"
#include "nsm.hxx"

static int opens = 0, saves = 0;
static int onOpen(const char*, const char*, const char*, char**, void*) { return ++opens, 0; }
static int onSave(char**, void*) { return ++saves, 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzzSetUp();
  // The announce goes to a port on loopback where nothing listens.
  static NsmClient* client = [] {
    setenv("NSM_URL", "osc.udp://127.0.0.1:9/", 1);
    return NsmClient::create("vesko", onOpen, onSave, nullptr);
  }();
  if (!client)
    abort();
  // The packet as the client's server would receive it. liblo parses in place, so it gets
  // a copy of its own.
  std::string packet(reinterpret_cast<const char*>(data), size);
  client->dispatch(&packet[0], packet.size());
  return 0;
}
