#ifndef VESKO_GUI_HXX
#define VESKO_GUI_HXX

#include <memory>
#include <string>
#include <vector>

#include "guistate.hxx"
#include "preferences.hxx"

class AudioBuffer;
class AudioEditor;
class DiskReader;
class DiskWriter;
class NsmClient;
class OptionsWindow;
class SessionRescue;
class GTrack;
class GMasterTrack;
class Fl_Double_Window;
class Fl_Group;
class Fl_Box;
class Fl_Widget;
namespace Tovk
{
class Image;
}

class Gui;
// The one interface object, null before main() creates it.
extern Gui* gui;

// The interface: the main window with its strips, the loop and its timers, the session
// commands and the keyboard map. Every function here runs on the interface thread.
//
// What the window shows lives in GuiState: the engine's announcements (handleGuiEvents)
// and the user's gestures write it, and showState() brings the widgets up to date with it.
class Gui
{
public:
  // withWindow false: no display is opened (the session-manager client and the files work
  // alone, as in tests of those).
  explicit Gui(const char* argv0, bool withWindow = true);
  ~Gui();

  // Shows the window and runs the toolkit loop until quit() ends it.
  int run();

  // The engine exists now (under a session manager, once it opened a project): the strips
  // take gestures.
  void engineReady();
  // One line in the header for what the performer should know now; "" clears it.
  void setStatus(const std::string& text);
  const std::string& getStatus() const { return statusText; }

  // The one shutdown sequence: closes the engine's client, hides every window.
  void quit();
  bool isQuitting() const { return quitting; }

  // The JACK sample rate, as last announced by the engine.
  int samplerate = 0;
  void setSamplerate(int rate);

  // Where the next single-clip save goes ("" when none is under way).
  std::string saveBufferPath;

  // What the strips and clip columns show.
  GuiState& getState() { return state; }
  // Brings every widget up to date with getState(); cheap when nothing changed.
  void showState();

  // The strips (null / empty without a window).
  std::shared_ptr<GTrack> getTrack(int n);
  GMasterTrack* getMasterTrack() { return masterTrack; }
  Fl_Double_Window* getWindow() { return window; }

  // The controller options window and the beats dialog (null without a window).
  OptionsWindow* getOptionsWindow() { return optionsWindow; }
  AudioEditor* getAudioEditor() { return audioEditor; }
  // Asks the user for the beat count of a loaded sample until it is answered; leaves it 0
  // when the interface quits meanwhile.
  void askBeats(AudioBuffer* ab);

  // The session-manager client, or null when Vesko runs without one.
  NsmClient* getNsm() { return nsm; }

  DiskReader* getDiskReader() { return diskReader; }
  DiskWriter* getDiskWriter() { return diskWriter; }
  const Preferences& getPreferences() const { return preferences; }
  const std::string& getProjectsDir() const { return preferences.projectsDir; }

  // Makes a generic MIDI controller from each map the preferences name and hands it to the
  // engine, whatever its status. Called once by the engine's constructor.
  void loadSetupControllers();

  // Names the user gives (kept in the state, shown at once).
  void setTrackName(int track, const std::string& name);
  void setClipName(int track, int scene, const std::string& name);
  void setSceneName(int scene, const std::string& name);

  // Clip menu: choose a sound file and load it into the clip.
  void selectLoadSample(int track, int scene);
  // Asks for a file to save a clip to; "" when cancelled.
  std::string selectSaveSample();
  // Asks the engine to lend the clip's buffer for a single-clip save to saveBufferPath.
  void requestSaveBuffer(int track, int scene);

  // Progress of a session save in the header: started, one clip written, the end (0 when
  // the session was written). The end also answers a session manager that asked for it.
  void saveStarted();
  void clipSaved();
  void saveFinished(int result);
  // From saveStarted until saveFinished (or until the server went away). Another save
  // meanwhile is refused: it would change where the clips still on their way are written.
  bool isSaving() const { return saving; }
  // Once the JACK server is gone: saves the session from the clips directly; 0 when written.
  int saveWithoutEngine(const std::string& parent, const std::string& name);

  // Session commands of the header menu.
  void newSession();
  void loadSession();
  void saveSession();
  // The header menu; the logo's callback.
  void headerMenu();
  // "Really Quit?": quits on "Quit".
  void askQuit();

  // The keyboard map: 1 when the event was turned into a record.
  static int keyboardHandler(int event);

private:
  void buildWindow();
  static void drainTimer(void* self);
  static void nsmTimer(void* self);
  static void signalPollTimer(void* self);
  static void closeCallback(Fl_Widget*, void* self);
  static void logoCallback(Fl_Widget*, void* self);

  NsmClient* nsm = nullptr;
  DiskWriter* diskWriter = nullptr;
  DiskReader* diskReader = nullptr;
  SessionRescue* rescue = nullptr;
  Preferences preferences;
  GuiState state;

  Fl_Double_Window* window = nullptr;
  Tovk::Image* headerImage = nullptr;
  Tovk::Image* logo = nullptr;
  Tovk::Image* makerImage = nullptr;
  GMasterTrack* masterTrack = nullptr;
  OptionsWindow* optionsWindow = nullptr;
  AudioEditor* audioEditor = nullptr;
  Fl_Group* stripGroup = nullptr;
  Fl_Box* status = nullptr;
  std::string statusText;
  int saveTotal = 0;
  int saveDone = 0;
  bool saving = false;
  std::vector<std::shared_ptr<GTrack>> tracks;

  bool quitting = false;
  bool serverGoneReported = false;
};

#endif
