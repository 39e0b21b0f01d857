#ifndef VESKO_JACKSENDRETURN_HXX
#define VESKO_JACKSENDRETURN_HXX

#include <cstdint>

#include <jack/jack.h>

#include "audioprocessor.hxx"

// A track's insert point for an external effect: sends the looper's output to two JACK
// output ports and, while active, replaces the track's signal with what comes back on two
// JACK input ports. Switching crossfades within a few milliseconds.
//
// Built on the interface thread with the engine, registering its four ports; process and
// the setters run on the JACK thread.
class JackSendReturn : public AudioProcessor
{
public:
  // previous is the track's looper; null leaves the looper output silent.
  JackSendReturn(int track, AudioProcessor* previous, jack_client_t* client);

  void process(unsigned int nframes, Buffers* buffers) override;

  // False when the server refused one of the four ports.
  bool portsRegistered() const { return sendPortL && sendPortR && returnPortL && returnPortR; }
  void setActive(bool active);
  bool getActive() const { return active; }
  void setSendVolume(float v);
  float getSendVolume() const { return sendVol; }

  // Writes silence to the send ports for a period in which nothing is processed.
  void silenceSends(unsigned int nframes);

private:
  int track;
  AudioProcessor* previous;
  bool active = false;
  float activeLag = 0.f;
  float sendVol = 1.f;
  float sendVolLag = 1.f;
  jack_port_t* sendPortL = nullptr;
  jack_port_t* sendPortR = nullptr;
  jack_port_t* returnPortL = nullptr;
  jack_port_t* returnPortR = nullptr;
  // Frames since construction: where the current piece lies in its period, without the
  // chain knowing how the period was cut.
  uint64_t framesProcessed = 0;
};

#endif
