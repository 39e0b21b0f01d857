#ifndef VESKO_TEST_FAKEJACK_HXX
#define VESKO_TEST_FAKEJACK_HXX

// The one seam of the cycle-by-cycle tests: this executable defines the JACK client calls
// the engine makes (client, ports, buffers, callbacks, transport), so a test can build the
// engine without a server and run it one period at a time. Everything else, the ring buffer
// above all, is the real libjack.

#include <cstddef>
#include <string>
#include <vector>

#include <jack/jack.h>

namespace fakejack
{
struct Port {
  std::string name;
  std::string type;
  unsigned long flags = 0;
  bool registered = true; // false once unregistered; the name is free again
  bool isMidi = false;
  std::vector<float> audio;
};

struct MidiEvent {
  jack_nframes_t time;
  std::vector<unsigned char> bytes;
};

// Before the engine is built: the server's sample rate and period size.
void configure(int samplerate, int buffersize);
int bufferSize();

// Every registered port, in registration order.
std::vector<std::string> portNames();
Port* port(const std::string& name);
// The index-th of the ports registered now, as in portNames(), or null.
Port* portAt(size_t index);
// The sample buffer of a port (input ports: the test writes; output ports: it reads).
float* audio(const std::string& name);

// Queues one MIDI event into a MIDI input port; it arrives in the next cycle only, as a
// device's message does.
void sendMidi(const std::string& port, std::vector<unsigned char> bytes, jack_nframes_t time = 0);
// The events in a MIDI port's buffer as the last cycle left them (output ports: what the
// engine wrote in that cycle).
std::vector<MidiEvent> midiEvents(const std::string& port);
// Bytes of event data one MIDI port buffer holds (default 32768); a smaller figure lets a
// test fill an output buffer. Applies to ports registered afterwards.
void setMidiCapacity(size_t bytes);

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
