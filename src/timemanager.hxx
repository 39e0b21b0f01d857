#ifndef VESKO_TIMEMANAGER_HXX
#define VESKO_TIMEMANAGER_HXX

#include <cstdint>

#include <jack/transport.h>

class Buffers;
class TimeObserver;

// Musical time for the whole engine: the tempo (as frames per beat), the beat and bar
// counts, the transport state and tap tempo. Once per period it cuts the period at the
// beat that falls inside it and tells the observers of the beat (and, every fourth beat,
// of the bar) between the two pieces. Tempo requests wait for the next bar line. Four
// beats to the bar, always; 60 to 220 BPM.
//
// Everything runs on the JACK process thread, apart from the constructor and
// registerObserver, which run on the interface thread while the engine is being built.
class TimeManager
{
public:
  // Fixed room, so that the list never allocates: the metronome, the grid logic and each
  // track's looper twice fit with room to spare.
  static const int MAX_OBSERVERS = 32;

  explicit TimeManager(int samplerate);

  // Tempo requests, applied at the next bar line if they lie within 60 to 220 BPM; a later
  // request before the bar line replaces an earlier one.
  void setBpm(float bpm);
  // 0 asks for 60 BPM, 1 for 220 (controller faders).
  void setBpmZeroOne(float zeroOne);
  void queueFpb(double fpb);

  // Applies a tempo now and restarts the bar and beat counts.
  void setFpb(double fpb);
  double getFpb() const { return fpb; }

  // One tap-tempo press: the fourth tap within five seconds sets the beat length to a
  // third of the span from the first tap.
  void tap();

  // Non-zero starts the JACK transport and restarts the beat grid at the next period;
  // zero stops the transport and freezes everything.
  void setTransportState(int state);
  bool rolling() const { return rollingState != 0; }

  // Appends the observer and hands it the current tempo.
  void registerObserver(TimeObserver* observer);

  // Once per period, from the engine's process callback: runs the engine's processFrames
  // once, or twice around the beat callbacks when a beat falls inside the period.
  void process(Buffers* buffers);

  // From the timebase callback: publishes bar, beat, tick and tempo for the start of the
  // next period as timebase master.
  void writePosition(jack_position_t* pos) const;

  int64_t getTotalFrames() const { return totalFrames; }
  int getBarCounter() const { return barCounter; }
  int getBeatCounter() const { return beatCounter; }

private:
  // Whole BPM for display and publication; immune to the last bit of rounding that would
  // show 126 BPM as 125.
  static int wholeBpm(double bpm);
  int64_t beatFrame(int beat) const;

  int samplerate;
  int rollingState = 1;
  double fpb;
  double queuedFpb = 0;
  bool fpbChangeQueued = false;
  int64_t totalFrames = 0;
  // Frames from the end of the last processed period to the next beat; -1 puts the next
  // beat on the first frame of the next period.
  int64_t beatCountdown = -1;
  int barCounter = 0;
  int beatCounter = 0;
  // Beats are laid on an exact grid from this frame (the last restart or tempo change),
  // so that no rounding accumulates from beat to beat.
  int64_t gridOrigin = 0;
  // Frame within the period of the piece being processed, for a tempo applied at a beat.
  int pieceOffset = 0;

  int tapCount = 0;
  int64_t tapTimes[3] = {0, 0, 0};

  TimeObserver* observers[MAX_OBSERVERS] = {};
  int observerCount = 0;
};

#endif
