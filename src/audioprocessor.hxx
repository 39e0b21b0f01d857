#ifndef VESKO_AUDIOPROCESSOR_HXX
#define VESKO_AUDIOPROCESSOR_HXX

class Buffers;

// One unit of a track's chain (looper, send/return, track output). The engine calls the
// last unit of each chain; each unit calls the one before it first. Units are built with
// the engine on the interface thread; process and the setters run on the JACK thread.
class AudioProcessor
{
public:
  // Processes the next n frames of the current piece of the period.
  virtual void process(unsigned int nframes, Buffers* buffers);
  // The unit's main gain; only the track output has one.
  virtual void setMaster(float value) {}
  virtual ~AudioProcessor() {}
};

#endif
