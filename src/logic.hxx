#ifndef VESKO_LOGIC_HXX
#define VESKO_LOGIC_HXX

// The one way controllers change the mixer, the tempo and the metronome: each operation
// checks its track, changes the engine, then announces the new value to every controller.
// Holds no state; reaches the engine through its global instance. Every operation runs on
// the JACK thread (engine dispatch, MIDI input handling).
class Logic
{
public:
  Logic();

  void tapTempo();
  // 0 asks for 60 BPM, 1 for 220.
  void setBpmZeroOne(float zeroOne);
  void metronomeEnable(bool on);

  void masterInputVol(float v);
  // place: 0 post-fader send, 1 mix, 2 side-chain crossfade, 3 side-chain key. Places with
  // no level (or no switch) change nothing but are still announced.
  void masterInputTo(int place, float v);
  void masterInputToActive(int place, bool on);
  void masterReturnVolume(float v);

  // Tracks 0..7; trackVolume also takes -1, the master fader. Any other track is refused
  // with a warning (trackPan refuses silently).
  void trackPan(int track, float pan);
  void trackVolume(int track, float v);
  void trackRecordArm(int track, bool armed);
  void trackSendActive(int track, int send, bool on);
  void trackSend(int track, int send, float v);
  void trackJackSendActivate(int track, bool on);
  void trackJackSend(int track, float v);

  // The clip's length in beats; announces nothing.
  void looperClipLenght(int track, int scene, int beats);
  // The clip's recorded length over its beats becomes the tempo at the next bar line.
  void looperUseAsTempo(int track, int scene);

private:
  static bool trackOk(const char* operation, int track);
};

#endif
