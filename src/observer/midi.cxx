#include "observer/midi.hxx"

#include <cstring>

#include <jack/midiport.h>

#include "jack.hxx"
#include "logger.hxx"

MidiIO::~MidiIO()
{
  if (listed.load(std::memory_order_acquire)) {
    // Only the JACK thread may change its list; taking the object out from here would race
    // with the period's walk over it. Reaching this is a fault of the caller.
    VESKO_ERROR("MidiIO %s destroyed while the engine still services it", portStem.c_str());
  }
  jack_client_t* client = jack ? jack->getJackClientPointer() : nullptr;
  if (!client)
    return; // the client is closed, and its ports with it
  if (inputPort)
    jack_port_unregister(client, inputPort);
  if (outputPort)
    jack_port_unregister(client, outputPort);
  inputPort = outputPort = nullptr;
}

int MidiIO::registerMidiPorts(std::string name)
{
  jack_client_t* client = jack ? jack->getJackClientPointer() : nullptr;
  if (!client) {
    VESKO_ERROR("%s", "Attempted register of controller, JACK not instantiated yet!");
    return 2;
  }
  portStem = name;
  inputPort = jack_port_register(client, (name + " in").c_str(), JACK_DEFAULT_MIDI_TYPE,
                                 JackPortIsInput, 0);
  outputPort = jack_port_register(client, (name + " out").c_str(), JACK_DEFAULT_MIDI_TYPE,
                                  JackPortIsOutput, 0);
  if (!inputPort || !outputPort) {
    VESKO_ERROR("%s", "Error registering JACK ports");
    return 2;
  }
  portsRegistered = true;
  return 0;
}

void MidiIO::writeMidi(const unsigned char* data)
{
  if (!portsRegistered)
    return;
  void* buffer = jack_port_get_buffer(outputPort, jack->getBufferSize());
  jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, 3);
  if (!event)
    return;
  event[0] = data[0];
  event[1] = data[1];
  event[2] = data[2];
}

void MidiIO::clearMidiOut(int nframes)
{
  if (!portsRegistered)
    return;
  jack_midi_clear_buffer(jack_port_get_buffer(outputPort, nframes));
}

void MidiIO::processMidiIn(int nframes)
{
  if (!portsRegistered)
    return;
  void* buffer = jack_port_get_buffer(inputPort, nframes);
  const uint32_t count = jack_midi_get_event_count(buffer);
  for (uint32_t i = 0; i < count; i++) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
      continue;
    // Short messages (real-time bytes, program changes) must not make the handler read
    // past the event: copy what there is and pad with zeros.
    unsigned char message[3] = {0, 0, 0};
    memcpy(message, event.buffer, event.size < 3 ? event.size : 3);
    midi(message);
  }
}
