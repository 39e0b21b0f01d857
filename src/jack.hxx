#ifndef VESKO_JACK_HXX
#define VESKO_JACK_HXX

#include <atomic>
#include <string>

#include <jack/jack.h>
#include <jack/transport.h>

#include "buffers.hxx"
#include "config.hxx"
#include "dbmeter.hxx"

class ControllerUpdater;
class GridLogic;
class JackSendReturn;
class Logic;
class Looper;
class Metronome;
class MidiIO;
class StateManager;
class TimeManager;
class TrackOutput;
class Jack;
// The one engine, null until setup() has built it.
extern Jack* jack;

// The audio engine: the JACK client, the owner of every engine object and the code that
// runs once per period on the JACK process thread.
class Jack
{
public:
  // Interface thread. Builds the engine under the client name given and activates it.
  // Returns false, with the engine left unbuilt, when no JACK server can be reached.
  static bool setup(const std::string& name);

  // Interface thread, before setup(): register the 16 per-track direct outputs too.
  static void setPerTrackOutputs(bool enable) { perTrackOutputs = enable; }

  // Interface thread: closes the client; the process callback stops.
  void quit();

  // Interface thread: true once the server has shut the client down (the process
  // callback will not run again). Set from JACK's own notification thread.
  // Set while the engine is built when the server refused a port.
  bool portRefused = false;
  bool serverGone() const { return serverShutdown.load(); }
  const char* serverGoneReason() const { return shutdownReason; }
  // Interface thread: true when the server is gone and no callback of ours is running;
  // from then on none will touch the engine again, so the interface may read the clips'
  // audio directly. False may just mean "not yet": ask again a little later.
  bool processStopped() const;

  int getSamplerate() const { return samplerate; }
  int getBufferSize();
  jack_client_t* getJackClientPointer() { return client; }
  bool hasPerTrackOutputs() const { return perTrackOutputs; }

  // Smoothed-gain step per sample, scaled so smoothing takes the same time at any rate.
  float smoothing() const { return smoothingValue; }

  // JACK thread (the time manager only): starts or stops the JACK transport.
  void transportRolling(bool rolling);

  // The units of a track's chain, built with the engine and used on the JACK thread; null
  // for any track above 7 (negative ones included).
  Looper* getLooper(unsigned int track);
  TrackOutput* getTrackOutput(unsigned int track);
  JackSendReturn* getJackSendReturn(unsigned int track);

  // Built with the engine (the time manager first); used on the JACK thread.
  TimeManager* getTimeManager() { return timeManager; }
  Metronome* getMetronome() { return metronome; }
  Logic* getLogic() { return logic; }
  GridLogic* getGridLogic() { return gridLogic; }

  // JACK thread: master strip targets.
  void masterVolume(float v) { masterVol = v; }
  void returnVolume(float v) { returnVol = v; }
  void inputVolume(float v) { inputVol = v * 2.f; }
  void inputTo(int place, float value);
  void inputToActive(int place, bool active);
  float getInputVolume() const { return inputVol; }
  float getMasterVolume() const { return masterVol; }
  float getReturnVolume() const { return returnVol; }

  // JACK thread, from the time manager: processes the next n frames of the current
  // period (the tracks, the metronome, the master mix and the meters).
  void processFrames(int n);
  // JACK thread, from the time manager between the pieces of a split period: zeroes n
  // samples of every scratch bus.
  void clearScratch(int n);

  // The learn record of binding learning: what the last engine-bound record addressed.
  bool bindingLearnEnable() const { return learnEnable; }
  int bindingEventType() const { return learnType; }
  int bindingTrack() const { return learnTrack; }
  int bindingScene() const { return learnScene; }
  int bindingSend() const { return learnSend; }
  int bindingActive() const { return learnActive; }
  void resetLearnRecord();

  // JACK thread: the per-period MIDI list. Registering clears the new output at once, so
  // feedback written later in this period lands in a fresh buffer. Only this thread
  // changes or walks the list: a controller leaves it before it is handed back.
  void registerMidiIO(MidiIO* mo);
  void unregisterMidiIO(MidiIO* mo);
  int midiIOCount() const { return midiIOUsed; }

  Buffers& getBuffers() { return buffers; }
  ControllerUpdater* getControllerUpdater() { return controllerUpdater; }
  StateManager* getStateManager() { return stateManager; }

private:
  explicit Jack(const std::string& name, jack_client_t* client);

  // JACK process thread.
  int process(jack_nframes_t nframes);
  void fetchPortBuffers(jack_nframes_t nframes);
  void advancePortBuffers(int n);
  void reportLevels();

  // JACK thread: false, touching nothing else, once the server is gone; otherwise marks a
  // callback as running until leaveCallback().
  bool enterCallback();
  void leaveCallback() { callbacksRunning.fetch_sub(1); }

  static int static_process(jack_nframes_t nframes, void* instance);
  static void static_timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* pos,
                              int newPosition, void* instance);
  // JACK's notification thread.
  static void static_shutdown(jack_status_t code, const char* reason, void* instance);

  friend void handleDspEvents();

  static bool perTrackOutputs;

  // Learn record, written by the engine-side dispatch.
  bool learnEnable = false;
  int learnType = 0;
  int learnTrack = -2;
  int learnScene = -1;
  int learnSend = -1;
  int learnActive = 1;

  bool reportedClog = false;

  // One MIDI input and output per controller, so the controller list's room suffices; a
  // fixed array, so that registering never allocates on the JACK thread.
  static const int MAX_MIDI_IO = 64;
  MidiIO* midiIO[MAX_MIDI_IO] = {};
  int midiIOUsed = 0;

  float smoothingValue = 0.f;
  int frameOffset = 0;

  jack_client_t* client;
  StateManager* stateManager = nullptr;
  ControllerUpdater* controllerUpdater = nullptr;
  TimeManager* timeManager = nullptr;
  Metronome* metronome = nullptr;
  Logic* logic = nullptr;
  GridLogic* gridLogic = nullptr;
  Looper* loopers[NTRACKS] = {};
  JackSendReturn* jackSendReturns[NTRACKS] = {};
  TrackOutput* trackOutputs[NTRACKS] = {};
  Buffers buffers;
  int samplerate = 0;
  int buffersize = 0;

  DBMeter* inputMeter = nullptr;
  DBMeter* masterMeter = nullptr;

  // Master strip: targets set by the setters, and values smoothed toward them per sample.
  float inputVol = 1.f, inputVolLag = 1.f;
  float masterVol = 0.75f, masterVolLag = 0.75f;
  float returnVol = 1.f, returnVolLag = 1.f;
  float inputToMixVol = 0.f, inputToMixVolLag = 0.f;
  float inputToSendVol = 0.f, inputToSendVolLag = 0.f;
  float inputToXSideVol = 0.f, inputToXSideVolLag = 0.f;
  bool inputToKey = false;
  float inputToKeyLag = 0.f;
  bool inputToMix = false;
  float inputToMixLag = 0.f;
  bool inputToSend = false;
  float inputToSendLag = 0.f;

  jack_port_t* masterInputL = nullptr;
  jack_port_t* masterInputR = nullptr;
  jack_port_t* masterReturnL = nullptr;
  jack_port_t* masterReturnR = nullptr;
  jack_port_t* masterOutputL = nullptr;
  jack_port_t* masterOutputR = nullptr;
  jack_port_t* headphonesPortL = nullptr;
  jack_port_t* headphonesPortR = nullptr;
  jack_port_t* sendOutputL = nullptr;
  jack_port_t* sendOutputR = nullptr;
  jack_port_t* sidechainKeyOutputL = nullptr;
  jack_port_t* sidechainKeyOutputR = nullptr;
  jack_port_t* sidechainSignalOutputL = nullptr;
  jack_port_t* sidechainSignalOutputR = nullptr;
  jack_port_t* trackJackOutputPorts[2 * NTRACKS] = {};

  int uiUpdateCounter = 0;
  int uiUpdateConstant = 0;

  std::atomic<bool> serverShutdown{false};
  // Callbacks of ours running now (process, timebase); see processStopped().
  std::atomic<int> callbacksRunning{0};
  char shutdownReason[256] = {};
};

#endif
