#ifndef VESKO_BINDING_HXX
#define VESKO_BINDING_HXX

#include <atomic>

// One tie between a MIDI message and an action of the looper (input), or between a change
// of engine state and a message sent back to the device (output). A plain, copyable record:
// once a binding is in a controller's list it is never changed again, so the interface
// thread may read it while the JACK thread works.
class Binding
{
public:
  // Takes the next number of the one counter shared by all bindings (any thread).
  Binding();
  // A binding with no number yet, for storage filled in later (see GenericMIDI).
  struct Unnumbered {};
  explicit Binding(Unnumbered) : ID(-1) {}

  int ID;
  unsigned char status = 0; // MIDI status byte, channel included
  unsigned char data = 0;   // first data byte: note or controller number
  int action = 0;           // event type number of the action; 0 is none
  int active = 1;           // switch value; for grid presses 1 press, -1 clear, else release
  int track = -2;           // -2: none
  int scene = -1;           // -1: none
  int send = -1;            // -1: none; a send number or a master input place

  // Clip state (0..6) -> the value byte sent for it; clip-state feedback only.
  static const int CLIP_STATES = 7;
  void setClipStateValue(int state, int value);
  // False when the map gave no value for this state (or the state is out of range).
  bool clipStateValue(int state, int* value) const;
  int clipStateCount() const;

private:
  static std::atomic<int> privateID;
  int clipState[CLIP_STATES] = {};
  unsigned char clipStateKnown = 0; // one bit per state
};

#endif
