#ifndef VESKO_TEST_MIDICLIENT_HXX
#define VESKO_TEST_MIDICLIENT_HXX

// A JACK client of the tests with one MIDI output (to play a controller's "<name> in") and
// one MIDI input (to read its "<name> out"), for exact counts where the example clients
// only print.

#include <atomic>
#include <string>
#include <vector>

#include <jack/jack.h>
#include <jack/ringbuffer.h>

namespace e2e
{
using MidiBytes = std::vector<unsigned char>;

class MidiClient
{
public:
  MidiClient() = default;
  ~MidiClient();
  MidiClient(const MidiClient&) = delete;
  MidiClient& operator=(const MidiClient&) = delete;

  // Opens client `name` on the server named `server`, with ports "out" and "in".
  bool open(const std::string& server, const std::string& name);
  // Connects our output to `controllerIn` and `controllerOut` to our input (full names).
  bool connect(const std::string& controllerIn, const std::string& controllerOut);

  // Sends one message (up to 3 bytes) in the next period.
  void send(const MidiBytes& bytes);
  // From the next period on, sends `perSecond` messages a second, evenly spread over the
  // frames: status, data and a value that counts 0..127 over and over. 0 stops it.
  void stream(int perSecond, unsigned char status, unsigned char data);
  long streamedCount() const { return streamed.load(); }

  // Messages received since the last call, in order.
  std::vector<MidiBytes> take();
  long receivedCount() const { return received.load(); }
  // Waits until `n` messages have arrived since open() (take() does not reset this).
  bool waitForReceived(long n, int timeoutMs);
  // Messages that did not fit the queue toward the test thread: must stay 0.
  long lostCount() const { return lost.load(); }

  // Adds an audio output that carries `level` in every sample and an audio input whose
  // mean over each period is kept (level()).
  bool addAudio(float level);
  bool connectAudio(const std::string& toPort, const std::string& fromPort);
  float level() const { return inputLevel.load(); }

  // Over-runs the server reported to this client.
  int xruns() const { return xrunCount.load(); }
  jack_client_t* handle() { return client; }

private:
  static int process(jack_nframes_t n, void* self);
  static int xrun(void* self);

  jack_client_t* client = nullptr;
  jack_port_t* out = nullptr;
  jack_port_t* in = nullptr;
  jack_ringbuffer_t* toJack = nullptr;   // test thread -> process: 4 bytes a message
  jack_ringbuffer_t* fromJack = nullptr; // process -> test thread: 4 bytes a message
  std::atomic<int> streamRate{0};
  unsigned char streamStatus = 0, streamData = 0;
  double nextStreamFrame = -1;
  double frameClock = 0;
  unsigned char streamValue = 0;
  std::atomic<long> streamed{0};
  std::atomic<long> received{0};
  std::atomic<long> lost{0};
  std::atomic<int> xrunCount{0};
  std::atomic<bool> audioReady{false};
  jack_port_t* audioOut = nullptr;
  jack_port_t* audioIn = nullptr;
  float outputLevel = 0;
  std::atomic<float> inputLevel{0};
};
} // namespace e2e

#endif
