#ifndef VESKO_GUI_HXX
#define VESKO_GUI_HXX

#include <string>

#include "guistate.hxx"
#include "preferences.hxx"

class DiskReader;
class DiskWriter;
class NsmClient;

class Gui;
// The one interface object, null before main() creates it.
extern Gui* gui;

// The interface: owns the interface thread's loop and its timers. Every function here runs
// on the interface thread.
class Gui
{
public:
  explicit Gui(const char* argv0);
  ~Gui();

  // Runs the toolkit loop until quit() ends it.
  int run();

  // The one shutdown sequence: closes the engine's client, hides every window.
  void quit();

  // The JACK sample rate, as last announced by the engine.
  int samplerate = 0;
  void setSamplerate(int rate);

  // Where the next single-clip save goes ("" when none is under way).
  std::string saveBufferPath;

  // What the strips and clip columns show.
  GuiState& getState() { return state; }

  // The session-manager client, or null when Vesko runs without one.
  NsmClient* getNsm() { return nsm; }

  DiskReader* getDiskReader() { return diskReader; }
  DiskWriter* getDiskWriter() { return diskWriter; }
  const Preferences& getPreferences() const { return preferences; }

  // Makes a generic MIDI controller from each map the preferences name and hands it to the
  // engine, whatever its status. Called once by the engine's constructor.
  void loadSetupControllers();

private:
  static void drainTimer(void* self);
  static void nsmTimer(void* self);
  static void signalPollTimer(void* self);

  NsmClient* nsm = nullptr;
  DiskWriter* diskWriter = nullptr;
  DiskReader* diskReader = nullptr;
  Preferences preferences;
  GuiState state;

  bool quitting = false;
  bool serverGoneReported = false;
};

#endif
