#ifndef VESKO_METRONOME_HXX
#define VESKO_METRONOME_HXX

#include "timeobserver.hxx"

class Buffers;

// A short sine click on every beat and a click an octave higher on every bar line, on the
// headphone outputs only. Off until switched on.
//
// Built on the interface thread with the engine (after the time manager, with which it
// registers); everything else runs on the JACK process thread.
class Metronome : public TimeObserver
{
public:
  explicit Metronome(int samplerate);
  ~Metronome() override;

  // A tempo change silences the click in progress.
  void setFpb(double fpb) override;
  void bar() override;
  void beat() override;

  // Either way the click in progress stops; switching on waits for the next beat.
  void setActive(bool active);
  bool getActive() const { return active; }
  // Control value 0..1; the click's gain is half of it.
  void setVolume(float v);
  float getVolume() const { return volume; }

  int getClickLength() const { return clickLength; }

  // Adds the click into the headphone outputs for the next n frames.
  void process(int nframes, Buffers* buffers);

private:
  void stopClick() { playPoint = clickLength + 1; }

  double fpb = 0;
  bool playBar = false;
  bool active = false;
  float volume = 0.25f;
  int clickLength;
  int playPoint;
  float* barClick;
  float* beatClick;
};

#endif
