#ifndef VESKO_OBSERVER_MIDI_HXX
#define VESKO_OBSERVER_MIDI_HXX

#include <atomic>
#include <string>

#include <jack/jack.h>

// One JACK MIDI input and one output port for a controller. The engine keeps every
// registered MidiIO in a list and services it once per period: the output is cleared at
// the top of the period, the input is read once, on the period's first processing piece.
class MidiIO
{
public:
  MidiIO() {}
  // Interface thread. The engine has already taken this object out of its list when it
  // handed the controller back (Jack::unregisterMidiIO on the JACK thread), so nothing here
  // touches that list; the ports are unregistered from the client.
  virtual ~MidiIO();

  // Any thread: the controller's name, fixed once the ports are registered.
  virtual const char* getName() = 0;
  // JACK thread: one incoming message. Always three readable bytes; data bytes that the
  // message did not carry read as 0.
  virtual void midi(const unsigned char* data) {}

  // Interface thread: registers "<name> in" and "<name> out". 0 on success, 2 on failure.
  int registerMidiPorts(std::string name);

  // JACK thread: queues three bytes at frame 0 of this period's output; dropped silently
  // when the buffer is full or the ports are not registered.
  void writeMidi(const unsigned char* data);
  // JACK thread: empties this period's output buffer.
  void clearMidiOut(int nframes);
  // JACK thread: hands every message of this period's input to midi(), in order.
  void processMidiIn(int nframes);

  bool midiPortsRegistered() const { return portsRegistered; }
  // True while the engine's per-period list holds this object (set and cleared by the
  // engine on the JACK thread, read by the destructor).
  bool inEngineList() const { return listed.load(std::memory_order_acquire); }

private:
  friend class Jack;
  std::atomic<bool> listed{false};
  bool portsRegistered = false;
  std::string portStem; // kept for the destructor, where getName() is no longer callable
  jack_port_t* inputPort = nullptr;
  jack_port_t* outputPort = nullptr;
};

#endif
