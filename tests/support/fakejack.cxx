#include "fakejack.hxx"

#include <cstring>
#include <deque>

#include <jack/midiport.h>

#include "rtcheck.hxx"

struct _jack_client {
  int dummy;
};
struct _jack_port {
  fakejack::Port p;
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
    names.push_back(p.p.name);
  return names;
}

Port* port(const std::string& name)
{
  for (auto& p : g_ports)
    if (p.p.name == name)
      return &p.p;
  return nullptr;
}

Port* portAt(size_t index) { return index < g_ports.size() ? &g_ports[index].p : nullptr; }

float* audio(const std::string& name)
{
  Port* p = port(name);
  return p ? p->audio.data() : nullptr;
}

void cycle(int n)
{
  if (n < 0)
    n = g_buffersize;
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
jack_client_t* jack_client_open(const char*, jack_options_t, jack_status_t* status, ...)
{
  if (status)
    *status = (jack_status_t)0;
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
  g_ports.emplace_back();
  _jack_port& p = g_ports.back();
  p.p.name = name;
  p.p.type = type;
  p.p.flags = flags;
  p.p.isMidi = p.p.type == JACK_DEFAULT_MIDI_TYPE;
  // Room for the largest period a test may run.
  p.p.audio.assign(8192, 0.f);
  p.p.midi.assign(8192, 0);
  return &p;
}

int jack_port_unregister(jack_client_t*, jack_port_t*) { return 0; }

void* jack_port_get_buffer(jack_port_t* port, jack_nframes_t)
{
  if (port->p.isMidi)
    return port->p.midi.data();
  return port->p.audio.data();
}

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
