#include "midiclient.hxx"

#include <cstring>
#include <unistd.h>

#include <jack/midiport.h>

#include "process.hxx"

namespace
{
// Four-byte messages through a ring buffer, as the engine's queues do it: a ThreadSanitizer
// build cannot see libjack's barriers, so each side states the ordering they give.
#if VESKO_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
void seen(volatile size_t* ptr) { __tsan_acquire(const_cast<size_t*>(ptr)); }
void publish(volatile size_t* ptr) { __tsan_release(const_cast<size_t*>(ptr)); }
#else
void seen(volatile size_t*) {}
void publish(volatile size_t*) {}
#endif

bool putMessage(jack_ringbuffer_t* rb, const unsigned char* m)
{
  if (jack_ringbuffer_write_space(rb) < 4)
    return false;
  seen(&rb->read_ptr);
  jack_ringbuffer_data_t room[2];
  jack_ringbuffer_get_write_vector(rb, room);
  const size_t first = room[0].len < 4 ? room[0].len : 4;
  memcpy(room[0].buf, m, first);
  if (first < 4)
    memcpy(room[1].buf, m + first, 4 - first);
  publish(&rb->write_ptr);
  jack_ringbuffer_write_advance(rb, 4);
  return true;
}

bool takeMessage(jack_ringbuffer_t* rb, unsigned char* m)
{
  if (jack_ringbuffer_read_space(rb) < 4)
    return false;
  seen(&rb->write_ptr);
  jack_ringbuffer_peek(rb, (char*)m, 4);
  publish(&rb->read_ptr);
  jack_ringbuffer_read_advance(rb, 4);
  return true;
}
} // namespace

namespace e2e
{
MidiClient::~MidiClient()
{
  if (client)
    jack_client_close(client);
  if (toJack)
    jack_ringbuffer_free(toJack);
  if (fromJack)
    jack_ringbuffer_free(fromJack);
}

bool MidiClient::open(const std::string& server, const std::string& name)
{
  jack_status_t status;
  client = jack_client_open(name.c_str(), (jack_options_t)(JackNoStartServer | JackServerName),
                            &status, server.c_str());
  if (!client)
    return false;
  toJack = jack_ringbuffer_create(1 << 16);
  fromJack = jack_ringbuffer_create(1 << 22);
  out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (!out || !in)
    return false;
  jack_set_process_callback(client, process, this);
  jack_set_xrun_callback(client, xrun, this);
  return jack_activate(client) == 0;
}

bool MidiClient::connect(const std::string& controllerIn, const std::string& controllerOut)
{
  return jack_connect(client, jack_port_name(out), controllerIn.c_str()) == 0 &&
         jack_connect(client, controllerOut.c_str(), jack_port_name(in)) == 0;
}

bool MidiClient::addAudio(float level)
{
  outputLevel = level;
  audioOut = jack_port_register(client, "audio_out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  audioIn = jack_port_register(client, "audio_in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  audioReady.store(audioOut && audioIn);
  return audioReady.load();
}

bool MidiClient::connectAudio(const std::string& toPort, const std::string& fromPort)
{
  return jack_connect(client, jack_port_name(audioOut), toPort.c_str()) == 0 &&
         jack_connect(client, fromPort.c_str(), jack_port_name(audioIn)) == 0;
}

void MidiClient::send(const MidiBytes& bytes)
{
  unsigned char m[4] = {(unsigned char)bytes.size(), 0, 0, 0};
  memcpy(m + 1, bytes.data(), bytes.size() < 3 ? bytes.size() : 3);
  putMessage(toJack, m);
}

void MidiClient::stream(int perSecond, unsigned char status, unsigned char data)
{
  streamStatus = status;
  streamData = data;
  streamRate.store(perSecond);
}

std::vector<MidiBytes> MidiClient::take()
{
  std::vector<MidiBytes> out;
  unsigned char m[4];
  while (takeMessage(fromJack, m)) {
    out.push_back(MidiBytes(m + 1, m + 1 + (m[0] < 3 ? m[0] : 3)));
  }
  return out;
}

bool MidiClient::waitForReceived(long n, int timeoutMs)
{
  long long end = nowMs() + timeoutMs;
  while (received.load() < n) {
    if (nowMs() > end)
      return false;
    usleep(5000);
  }
  return true;
}

int MidiClient::process(jack_nframes_t n, void* arg)
{
  MidiClient* self = static_cast<MidiClient*>(arg);
  void* outBuf = jack_port_get_buffer(self->out, n);
  jack_midi_clear_buffer(outBuf);

  unsigned char m[4];
  while (takeMessage(self->toJack, m)) {
    jack_midi_event_write(outBuf, 0, m + 1, m[0]);
  }

  const int rate = self->streamRate.load();
  const double periodStart = self->frameClock;
  self->frameClock += n;
  if (rate > 0) {
    const double spacing = (double)jack_get_sample_rate(self->client) / rate;
    if (self->nextStreamFrame < periodStart)
      self->nextStreamFrame = periodStart;
    while (self->nextStreamFrame < periodStart + n) {
      const jack_nframes_t at = (jack_nframes_t)(self->nextStreamFrame - periodStart);
      const unsigned char msg[3] = {self->streamStatus, self->streamData, self->streamValue};
      if (jack_midi_event_write(outBuf, at, msg, 3) == 0)
        self->streamed.fetch_add(1);
      self->streamValue = (self->streamValue + 1) & 0x7F;
      self->nextStreamFrame += spacing;
    }
  } else {
    self->nextStreamFrame = -1;
  }

  if (self->audioReady.load()) {
    float* o = (float*)jack_port_get_buffer(self->audioOut, n);
    const float* a = (const float*)jack_port_get_buffer(self->audioIn, n);
    double sum = 0;
    for (jack_nframes_t i = 0; i < n; i++) {
      o[i] = self->outputLevel;
      sum += a[i];
    }
    self->inputLevel.store((float)(sum / n));
  }

  void* inBuf = jack_port_get_buffer(self->in, n);
  const uint32_t count = jack_midi_get_event_count(inBuf);
  for (uint32_t i = 0; i < count; i++) {
    jack_midi_event_t e;
    if (jack_midi_event_get(&e, inBuf, i) != 0)
      continue;
    unsigned char r[4] = {(unsigned char)(e.size < 3 ? e.size : 3), 0, 0, 0};
    memcpy(r + 1, e.buffer, r[0]);
    if (!putMessage(self->fromJack, r))
      self->lost.fetch_add(1);
    self->received.fetch_add(1);
  }
  return 0;
}

int MidiClient::xrun(void* arg)
{
  static_cast<MidiClient*>(arg)->xrunCount.fetch_add(1);
  return 0;
}
} // namespace e2e
