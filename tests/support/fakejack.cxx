#include "fakejack.hxx"

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>

#include <jack/midiport.h>

#include "rtcheck.hxx"

struct _jack_client {
  int dummy;
};
// A MIDI port buffer laid out in fixed arrays, so that reading and writing it on the
// process thread allocates nothing.
struct FakeMidiBuffer {
  static const int MAX_EVENTS = 2048;
  int count = 0;
  size_t used = 0;
  size_t capacity = 0;
  jack_nframes_t time[MAX_EVENTS];
  uint32_t size[MAX_EVENTS];
  size_t offset[MAX_EVENTS];
  std::vector<unsigned char> data;
};

struct _jack_port {
  fakejack::Port p;
  std::unique_ptr<FakeMidiBuffer> midi;
  std::deque<fakejack::MidiEvent> pending; // input events for the next cycle
};

namespace
{
int g_samplerate = 48000;
int g_buffersize = 256;
_jack_client g_client;
bool g_open = false;
bool g_activated = false;
bool g_closed = false;
std::deque<_jack_port> g_ports; // stable addresses
JackProcessCallback g_process = nullptr;
void* g_processArg = nullptr;
JackTimebaseCallback g_timebase = nullptr;
void* g_timebaseArg = nullptr;
JackInfoShutdownCallback g_shutdown = nullptr;
void* g_shutdownArg = nullptr;
jack_position_t g_position;
int g_starts = 0;
int g_stops = 0;
jack_transport_state_t g_state = JackTransportRolling;
size_t g_midiCapacity = 32768;
std::string g_clientName = "Vesko";

_jack_port* findPort(const std::string& name)
{
  _jack_port* unregistered = nullptr;
  for (auto& p : g_ports) {
    if (p.p.name != name)
      continue;
    if (p.p.registered)
      return &p;
    unregistered = &p;
  }
  return unregistered;
}

// Each cycle an input port holds exactly the events queued since the last one.
void deliverPendingMidi()
{
  for (auto& p : g_ports) {
    if (!p.midi || !(p.p.flags & JackPortIsInput))
      continue;
    FakeMidiBuffer& b = *p.midi;
    b.count = 0;
    b.used = 0;
    while (!p.pending.empty()) {
      fakejack::MidiEvent& e = p.pending.front();
      if (b.count < FakeMidiBuffer::MAX_EVENTS && b.used + e.bytes.size() <= b.capacity) {
        b.time[b.count] = e.time;
        b.size[b.count] = e.bytes.size();
        b.offset[b.count] = b.used;
        memcpy(b.data.data() + b.used, e.bytes.data(), e.bytes.size());
        b.used += e.bytes.size();
        b.count++;
      }
      p.pending.pop_front();
    }
  }
}
} // namespace

namespace fakejack
{
void configure(int samplerate, int buffersize)
{
  g_samplerate = samplerate;
  g_buffersize = buffersize;
}
int bufferSize() { return g_buffersize; }

std::vector<std::string> portNames()
{
  std::vector<std::string> names;
  for (auto& p : g_ports)
    if (p.p.registered)
      names.push_back(p.p.name);
  return names;
}

Port* port(const std::string& name)
{
  _jack_port* p = findPort(name);
  return p ? &p->p : nullptr;
}

void sendMidi(const std::string& name, std::vector<unsigned char> bytes, jack_nframes_t time)
{
  _jack_port* p = findPort(name);
  if (p && p->midi)
    p->pending.push_back({time, std::move(bytes)});
}

std::vector<MidiEvent> midiEvents(const std::string& name)
{
  std::vector<MidiEvent> events;
  _jack_port* p = findPort(name);
  if (!p || !p->midi)
    return events;
  const FakeMidiBuffer& b = *p->midi;
  for (int i = 0; i < b.count; i++)
    events.push_back({b.time[i], std::vector<unsigned char>(b.data.begin() + b.offset[i],
                                                            b.data.begin() + b.offset[i] + b.size[i])});
  return events;
}

void setMidiCapacity(size_t bytes) { g_midiCapacity = bytes; }

Port* portAt(size_t index)
{
  for (auto& p : g_ports)
    if (p.p.registered && index-- == 0)
      return &p.p;
  return nullptr;
}

float* audio(const std::string& name)
{
  Port* p = port(name);
  return p ? p->audio.data() : nullptr;
}

void cycle(int n)
{
  if (n < 0)
    n = g_buffersize;
  deliverPendingMidi();
  if (g_process) {
    rtcheck::ProcessScope scope;
    g_process(n, g_processArg);
  }
  if (g_timebase) {
    rtcheck::ProcessScope scope;
    g_timebase(g_state, n, &g_position, 0, g_timebaseArg);
  }
}

void cycles(int count)
{
  for (int i = 0; i < count; i++)
    cycle();
}

jack_position_t& position() { return g_position; }
int transportStarts() { return g_starts; }
int transportStops() { return g_stops; }
bool activated() { return g_activated; }
bool closed() { return g_closed; }

void shutdownServer(const char* reason)
{
  if (g_shutdown)
    g_shutdown(JackServerError, reason, g_shutdownArg);
}
} // namespace fakejack

extern "C" {
jack_client_t* jack_client_open(const char* name, jack_options_t, jack_status_t* status, ...)
{
  if (status)
    *status = (jack_status_t)0;
  g_clientName = name ? name : "";
  g_open = true;
  return &g_client;
}

int jack_client_close(jack_client_t*)
{
  g_closed = true;
  return 0;
}

jack_nframes_t jack_get_sample_rate(jack_client_t*) { return g_samplerate; }
jack_nframes_t jack_get_buffer_size(jack_client_t*) { return g_buffersize; }

jack_port_t* jack_port_register(jack_client_t*, const char* name, const char* type,
                                unsigned long flags, unsigned long)
{
  // As the server does: a client's port names are unique, and a full name ("client:port")
  // must fit in 256 bytes.
  for (auto& existing : g_ports)
    if (existing.p.registered && existing.p.name == name)
      return nullptr;
  if (g_clientName.size() + 1 + strlen(name) >= 256)
    return nullptr;
  g_ports.emplace_back();
  _jack_port& p = g_ports.back();
  p.p.name = name;
  p.p.type = type;
  p.p.flags = flags;
  p.p.isMidi = p.p.type == JACK_DEFAULT_MIDI_TYPE;
  if (p.p.isMidi) {
    p.midi.reset(new FakeMidiBuffer());
    p.midi->capacity = g_midiCapacity;
    p.midi->data.assign(g_midiCapacity, 0);
  } else {
    // Room for the largest period a test may run.
    p.p.audio.assign(8192, 0.f);
  }
  return &p;
}

int jack_port_unregister(jack_client_t*, jack_port_t* port)
{
  if (!port || !port->p.registered)
    return -1;
  port->p.registered = false;
  return 0;
}

void* jack_port_get_buffer(jack_port_t* port, jack_nframes_t)
{
  if (port->midi)
    return port->midi.get();
  return port->p.audio.data();
}

// MIDI port buffers: the calls a client makes on them inside the process callback.
uint32_t jack_midi_get_event_count(void* buffer)
{
  return buffer ? static_cast<FakeMidiBuffer*>(buffer)->count : 0;
}

int jack_midi_event_get(jack_midi_event_t* event, void* buffer, uint32_t index)
{
  FakeMidiBuffer* b = static_cast<FakeMidiBuffer*>(buffer);
  if (!b || index >= (uint32_t)b->count)
    return -ENODATA;
  event->time = b->time[index];
  event->size = b->size[index];
  event->buffer = b->data.data() + b->offset[index];
  return 0;
}

void jack_midi_clear_buffer(void* buffer)
{
  FakeMidiBuffer* b = static_cast<FakeMidiBuffer*>(buffer);
  if (b) {
    b->count = 0;
    b->used = 0;
  }
}

void jack_midi_reset_buffer(void* buffer) { jack_midi_clear_buffer(buffer); }

size_t jack_midi_max_event_size(void* buffer)
{
  FakeMidiBuffer* b = static_cast<FakeMidiBuffer*>(buffer);
  return b ? b->capacity - b->used : 0;
}

jack_midi_data_t* jack_midi_event_reserve(void* buffer, jack_nframes_t time, size_t size)
{
  FakeMidiBuffer* b = static_cast<FakeMidiBuffer*>(buffer);
  // Like the server: events go in time order, and a full buffer refuses.
  if (!b || size == 0 || b->count == FakeMidiBuffer::MAX_EVENTS || b->used + size > b->capacity)
    return nullptr;
  if (b->count > 0 && time < b->time[b->count - 1])
    return nullptr;
  b->time[b->count] = time;
  b->size[b->count] = size;
  b->offset[b->count] = b->used;
  jack_midi_data_t* at = b->data.data() + b->used;
  b->used += size;
  b->count++;
  return at;
}

int jack_midi_event_write(void* buffer, jack_nframes_t time, const jack_midi_data_t* data, size_t size)
{
  jack_midi_data_t* at = jack_midi_event_reserve(buffer, time, size);
  if (!at)
    return -ENOBUFS;
  memcpy(at, data, size);
  return 0;
}

uint32_t jack_midi_get_lost_event_count(void*) { return 0; }

const char* jack_port_name(const jack_port_t* port) { return port->p.name.c_str(); }
const char* jack_port_short_name(const jack_port_t* port) { return port->p.name.c_str(); }

int jack_set_process_callback(jack_client_t*, JackProcessCallback cb, void* arg)
{
  g_process = cb;
  g_processArg = arg;
  return 0;
}

int jack_set_timebase_callback(jack_client_t*, int, JackTimebaseCallback cb, void* arg)
{
  g_timebase = cb;
  g_timebaseArg = arg;
  return 0;
}

void jack_on_info_shutdown(jack_client_t*, JackInfoShutdownCallback cb, void* arg)
{
  g_shutdown = cb;
  g_shutdownArg = arg;
}

void jack_on_shutdown(jack_client_t*, JackShutdownCallback, void*) {}

int jack_activate(jack_client_t*)
{
  g_activated = true;
  return 0;
}

int jack_deactivate(jack_client_t*) { return 0; }

void jack_transport_start(jack_client_t*)
{
  g_starts++;
  g_state = JackTransportRolling;
}

void jack_transport_stop(jack_client_t*)
{
  g_stops++;
  g_state = JackTransportStopped;
}
}
