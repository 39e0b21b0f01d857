#ifndef VESKO_DISKREADER_HXX
#define VESKO_DISKREADER_HXX

#include <functional>
#include <string>

#include "preferences.hxx"

struct cJSON;
class AudioBuffer;
class DiskWriter;
struct GuiState;

// Reads sessions, samples and the preferences. Interface thread only; returns 0 or 2.
// Every file is outside input: a bad item is refused with a log line, never trusted.
class DiskReader
{
public:
  explicit DiskReader(DiskWriter* writer);

  // Sends a saved session's mixer settings and clips to the engine and sets its names.
  int readSession(const std::string& dir);

  // Loads any file libsndfile reads into clip (track, scene), resampled to the engine's
  // rate, with its beats from the audio.cfg beside it or from the beats dialog.
  // wholeOnly: the file is a session's own, written complete, so a file shorter than its
  // header says is damaged and refused rather than loaded in part.
  int loadSample(int track, int scene, const std::string& path, bool wholeOnly = false);

  // Reads the preferences file into prefs and sends the metronome settings to the engine.
  // A missing file gets the defaults written (and applied); returns 0, or 2 for a file that
  // is not valid JSON, in which case nothing is applied.
  int loadPreferences(Preferences& prefs);

  std::string getLastSampleDir() const { return lastSampleDir; }
  int getResampleQuality() const { return resampleQuality; }

  void setState(GuiState* s) { state = s; }
  // The engine's rate, as the interface last heard it; 0 while unknown.
  void setSamplerate(int rate) { samplerate = rate; }

  // Asks the user for a buffer's beat count: sets beats to the answer, or to -1 when the
  // user cancels. Until the beats dialog exists every question is cancelled.
  std::function<void(AudioBuffer*)> beatsDialog;

  // Told after each clip of a session load: clips done, clips to do.
  std::function<void(int done, int total)> onProgress;

private:
  void readTracks(cJSON* root);
  void readClips(int track, cJSON* trackJson);
  void readMaster(cJSON* root);
  int askBeats(AudioBuffer* ab);
  static int countClips(cJSON* root);

  int clipsDone = 0;
  int clipsTotal = 0;

  std::string sessionDir;
  int resampleQuality = 1;
  std::string lastSampleDir;
  DiskWriter* writer;
  GuiState* state = nullptr;
  int samplerate = 0;
};

#endif
