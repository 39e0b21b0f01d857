#ifndef VESKO_DISKWRITER_HXX
#define VESKO_DISKWRITER_HXX

#include <string>
#include <vector>

struct cJSON;
class AudioBuffer;
class Controller;
struct GuiState;

// Writes what the interface keeps on disk: sessions, single clips, the configuration
// directories and the default preferences. Interface thread only; returns 0 or 2.
//
// A session save never destroys the last good one: its files are written into a staging
// directory inside the session directory and moved into place only when every one of them
// was written completely.
class DiskWriter
{
public:
  // Makes $HOME/.config/morvit/, .../vesko and .../vesko/controllers/.
  DiskWriter();
  ~DiskWriter();

  // Prepares a save of session `name` in `parent` (parent itself under a session manager).
  // Refuses names that would leave parent.
  int initialize(const std::string& parent, const std::string& name);

  // Without a path: one clip of the session being saved. With a path: that one file.
  int writeAudioBuffer(int track, int scene, AudioBuffer* ab, const std::string& path = "");

  // Writes the session file and audio description, then moves the save into place.
  int writeSession();
  // The save under way cannot be complete: writeSession() will keep the previous files.
  void failSave(const std::string& why);

  std::string getSessionName() const { return sessionName; }
  std::string getSessionDir() const { return sessionDir; }
  // Where initialize() last put the session, and whether a session manager chose it.
  std::string getSessionParent() const { return sessionParent; }
  bool isSessionManaged() const { return sessionManaged; }

  // What a session is saved from; the interface sets it once.
  void setState(const GuiState* s) { state = s; }
  // The rate WAV files are written at: the engine's, as the interface last heard it.
  void setSamplerate(int rate) { samplerate = rate; }
  // Under a session manager the session directory is the parent itself.
  void setSessionManaged(bool managed) { sessionManaged = managed; }

  // Text for controller map files: 0 name, 1 author, 2 link.
  void setControllerInfo(int which, const std::string& text);
  const std::string& getControllerInfo(int which) const;
  // Writes a generic MIDI controller's input bindings as controllers/<its name>.ctlr, with
  // the texts above; asks before replacing a file. 0 when written or when the user chose
  // "Cancel"; 2 when refused, when the rename was cancelled, or when writing failed.
  int writeControllerFile(Controller* c);

  // Writes the default preferences file, replacing any there.
  void writeDefaultConfigToUserHome();

private:
  struct ClipName {
    int track;
    int scene;
    std::string file;
  };

  bool ensureStaging();
  void abandonSave();
  void resetSave();

  cJSON* audioJson = nullptr;
  bool foldersCreated = false;
  std::string sessionName = "session";
  std::string sessionParent;
  std::string audioDir;
  std::string sessionDir;
  std::string stagingDir;
  std::vector<ClipName> clipNames;
  bool saveFailed = false;
  std::string controllerInfo[3] = {"no name", "no author", "no link"};

  const GuiState* state = nullptr;
  int samplerate = 0;
  bool sessionManaged = false;
};

// $HOME/.config/morvit/vesko, and the files and directories in it.
std::string veskoConfigDir();
std::string veskoControllersDir();
std::string veskoPreferencesPath();

// Writes frames 0 .. lengthFrames - 1 of ab as a 32-bit float stereo WAV file, through a
// temporary file renamed into place when complete. False, with the reason logged, on failure.
bool writeWavFile(const std::string& path, const AudioBuffer* ab, int samplerate);

#endif
