#ifndef VESKO_TEST_FAKEJACK_HXX
#define VESKO_TEST_FAKEJACK_HXX

// The one seam of the cycle-by-cycle tests: this executable defines the JACK client calls
// the engine makes (client, ports, buffers, callbacks, transport), so a test can build the
// engine without a server and run it one period at a time. Everything else, the ring buffer
// above all, is the real libjack.

#include <string>
#include <vector>

#include <jack/jack.h>

namespace fakejack
{
struct Port {
  std::string name;
  std::string type;
  unsigned long flags = 0;
  bool isMidi = false;
  std::vector<float> audio;
  std::vector<unsigned char> midi;
};

// Before the engine is built: the server's sample rate and period size.
void configure(int samplerate, int buffersize);
int bufferSize();

// Every registered port, in registration order.
std::vector<std::string> portNames();
Port* port(const std::string& name);
// The port registered index-th (0 is the first), or null.
Port* portAt(size_t index);
// The sample buffer of a port (input ports: the test writes; output ports: it reads).
float* audio(const std::string& name);

// Runs one period of n frames (the period size by default) through the engine's process
// callback, counted by the real-time fixture, then the timebase callback.
void cycle(int n = -1);
void cycles(int count);

// The position record handed to the timebase callback.
jack_position_t& position();

// Transport calls made by the engine.
int transportStarts();
int transportStops();

bool activated();
bool closed();
// Tells the engine the server went away, as JACK's notification thread would.
void shutdownServer(const char* reason);
} // namespace fakejack

#endif
