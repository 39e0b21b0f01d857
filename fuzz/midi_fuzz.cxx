// MIDI from a control surface: any byte stream into a generic MIDI controller that holds a
// map binding every action, run through the engine period by period on the JACK seam.
//
// Input: a sequence of messages, each a header byte and its bytes. The low three bits of
// the header give the message length (0 to 7 bytes, so short, long and empty events all
// arrive); the next three the periods to run after it (0 to 7). A bar is 16 periods, so a
// few messages reach a bar line, where queued recordings, plays and stops take effect.
#include "controller/genericmidi.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "fakejack.hxx"
#include "fuzz_support.hxx"
#include "jack.hxx"

#include <cstdlib>
#include <vector>

namespace
{
GenericMIDI* pad = nullptr;

void setUpEngine()
{
  if (pad)
    return;
  // A low rate keeps a bar cheap to run: 16000 frames at 120 BPM, 16 periods.
  fakejack::configure(8000, 1024);
  fuzzSetUp();
  if (!Jack::setup("Vesko"))
    abort();
  pad = new GenericMIDI(GenericMIDI::MapFile{VESKO_FUZZ_MIDI_MAP});
  if (!pad->status())
    abort();
  EventControllerInstance e(pad);
  writeToDspRingbuffer(&e);
  fakejack::cycle();
}

// The interface's side of each period: answers buffer requests, destroys what the engine
// lets go, and keeps the queue toward the interface from filling.
void period()
{
  fakejack::cycle();
  handleGuiEvents();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  setUpEngine();
  size_t i = 0;
  while (i < size) {
    const uint8_t header = data[i++];
    size_t len = header & 7;
    if (len > size - i)
      len = size - i;
    fakejack::sendMidi("pad in", std::vector<unsigned char>(data + i, data + i + len));
    i += len;
    for (int p = (header >> 3) & 7; p > 0; p--)
      period();
  }
  period();
  return 0;
}
