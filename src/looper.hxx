#ifndef VESKO_LOOPER_HXX
#define VESKO_LOOPER_HXX

#include "audioprocessor.hxx"
#include "config.hxx"
#include "timeobserver.hxx"

class AudioBuffer;
class LooperClip;

// The audio source of one track, first in its chain: feeds the live input into the track's
// recording clip, or plays its playing clip into the track's looper output, stretched or
// squeezed to last its beats at the current tempo. Asks the interface for larger recording
// buffers in time and reports the playing clip's progress about 30 times a second.
//
// Built with the engine on the interface thread; everything else runs on the JACK thread.
class Looper : public AudioProcessor, public TimeObserver
{
public:
  explicit Looper(int track);

  // The clip of a scene; null outside 0..9.
  LooperClip* getClip(int scene);
  // A larger recording buffer for the clip of `scene`, from the interface.
  void receiveRecordBuffer(int scene, AudioBuffer* ab);

  void process(unsigned int nframes, Buffers* buffers) override;

  void setFpb(double fpb) override;
  // Every playing clip starts its loop again.
  void transportRestart() override;
  void beat() override {}

  double getFpb() const { return fpb; }

private:
  int track;
  double fpb = 0;
  LooperClip* clips[NSCENES] = {};
  int progressInterval;
  int progressCounter;
};

#endif
