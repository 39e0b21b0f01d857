#ifndef VESKO_TRACKOUTPUT_HXX
#define VESKO_TRACKOUTPUT_HXX

#include <cstdint>

#include "audioprocessor.hxx"
#include "dbmeter.hxx"

// A track's mixer strip, the last unit of its chain: fader, pan, post-fader send,
// side-chain key (taken before the fader) and side-chain crossfade, metering with level
// reports, record arm, and the optional direct per-track output. Every gain is smoothed
// per sample toward its target.
//
// Built on the interface thread with the engine; process and the setters run on the JACK
// thread.
class TrackOutput : public AudioProcessor
{
public:
  // previous is the track's send/return.
  TrackOutput(int track, AudioProcessor* previous);

  void process(unsigned int nframes, Buffers* buffers) override;

  // Fader; anything below 0.01 mutes exactly.
  void setMaster(float value) override;
  float getMaster() const { return volume; }
  // -1 is hard left, 1 hard right; the far side is attenuated, the near one never boosted.
  void setPan(float pan);
  // send 0: post-fader send amount; send 2: side-chain crossfade. Others are ignored.
  void setSend(int send, float value);
  // send 0: post-fader send on; send 1: side-chain key on. Others are ignored.
  void setSendActive(int send, bool on);

  // Read by the grid logic when a clip is pressed; the audio path ignores it.
  bool recordArm() const { return armed; }
  void recordArm(bool on) { armed = on; }

private:
  int track;
  AudioProcessor* previous;
  bool armed = false;

  float volume = 0.8f, volumeLag = 0.8f;
  float panL = 1.f, panR = 1.f;
  float panLLag = 1.f, panRLag = 1.f;
  float send = 0.f, sendLag = 0.f;
  float xfade = 0.f, xfadeLag = 0.f;
  bool sendActive = false;
  float sendActiveLag = 0.f;
  bool keyActive = false;
  float keyActiveLag = 0.f;

  int64_t uiUpdateCounter;
  int64_t uiUpdateConstant;
  DBMeter meter;
};

#endif
