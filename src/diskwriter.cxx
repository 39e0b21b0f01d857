#include "diskwriter.hxx"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cjson/cJSON.h>
#include <sndfile.h>

#include "audiobuffer.hxx"
#include "config.hxx"
#include "controller/genericmidi.hxx"
#include "dialog.hxx"
#include "event.hxx"
#include "fileutil.hxx"
#include "guistate.hxx"
#include "logger.hxx"

std::string veskoConfigDir() { return fileutil::home() + "/.config/morvit/vesko"; }
std::string veskoControllersDir() { return veskoConfigDir() + "/controllers/"; }
std::string veskoPreferencesPath() { return veskoConfigDir() + "/vesko.prfs"; }

namespace
{
const char* STAGING_NAME = ".vesko-saving";

// Removes a staging directory and the plain files in it.
void removeStaging(const std::string& dir)
{
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
        unlink((dir + "/" + e->d_name).c_str());
    }
    closedir(d);
  }
  rmdir(dir.c_str());
}

std::string printJson(cJSON* json)
{
  char* text = cJSON_Print(json);
  std::string s = text ? text : "";
  cJSON_free(text);
  return s;
}
} // namespace

bool writeWavFile(const std::string& path, const AudioBuffer* ab, int samplerate)
{
  SF_INFO info;
  memset(&info, 0, sizeof(info));
  info.samplerate = samplerate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

  std::string tmp = path + ".tmp";
  int fd = open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0664);
  if (fd < 0) {
    VESKO_ERROR("Cannot write %s: %s", path.c_str(), strerror(errno));
    return false;
  }
  SNDFILE* f = sf_open_fd(fd, SFM_WRITE, &info, 0);
  if (!f) {
    VESKO_ERROR("Cannot write %s: %s", path.c_str(), sf_strerror(nullptr));
    close(fd);
    unlink(tmp.c_str());
    return false;
  }

  bool ok = true;
  int64_t frames = ab->getLengthFrames();
  if (frames > ab->getSize())
    frames = ab->getSize(); // never past the samples that exist
  if (frames < 1) {
    VESKO_WARN("Sample has zero samples");
  } else {
    const float* l = ab->getLeft().data();
    const float* r = ab->getRight().data();
    const int64_t BLOCK = 4096;
    float interleaved[2 * 4096];
    for (int64_t done = 0; done < frames && ok;) {
      int64_t n = frames - done < BLOCK ? frames - done : BLOCK;
      for (int64_t i = 0; i < n; i++) {
        interleaved[2 * i] = l[done + i];
        interleaved[2 * i + 1] = r[done + i];
      }
      if (sf_writef_float(f, interleaved, n) != n) {
        VESKO_ERROR("Cannot write %s: %s", path.c_str(), sf_strerror(f));
        ok = false;
      }
      done += n;
    }
  }
  if (sf_close(f) != 0 && ok) {
    VESKO_ERROR("Cannot write %s: closing failed", path.c_str());
    ok = false;
  }
  // On disk before it replaces anything: a rename of unwritten data would lose both.
  if (ok && fsync(fd) != 0) {
    VESKO_ERROR("Cannot write %s: %s", path.c_str(), strerror(errno));
    ok = false;
  }
  close(fd);
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    VESKO_ERROR("Cannot write %s: %s", path.c_str(), strerror(errno));
    ok = false;
  }
  if (!ok)
    unlink(tmp.c_str());
  return ok;
}

DiskWriter::DiskWriter()
{
  audioJson = cJSON_CreateObject();

  const std::string home = fileutil::home();
  sessionDir = home;
  if (home.empty()) {
    VESKO_ERROR("HOME is not set: no configuration directory, preferences or controller maps");
    return;
  }
  // A new account may have no ~/.config yet.
  fileutil::makeDirectory(home + "/.config");
  int r = fileutil::makeDirectory(home + "/.config/morvit/");
  if (r == 0)
    VESKO_NOTE("Creating .config/morvit/ directory");
  else if (r < 0)
    VESKO_WARN("Error creating dotConfigDir: %s", strerror(errno));

  r = fileutil::makeDirectory(veskoConfigDir());
  if (r == 0)
    VESKO_NOTE("Creating .config/morvit/vesko directory");
  else if (r < 0)
    VESKO_WARN("Error creating dotConfigVeskoDir: %s", strerror(errno));

  r = fileutil::makeDirectory(veskoControllersDir());
  if (r < 0)
    VESKO_WARN("Error creating dotConfigCtlrDir: %s", strerror(errno));
}

DiskWriter::~DiskWriter() { cJSON_Delete(audioJson); }

int DiskWriter::initialize(const std::string& parent, const std::string& name)
{
  if (!sessionManaged && (name.empty() || name.find('/') != std::string::npos || name == "." ||
                          name == ".." || name.find("..") == 0)) {
    VESKO_ERROR("Session name \"%s\" refused: a name may not contain \"/\" or start with \"..\"",
                name.c_str());
    return 2;
  }

  // A save that never finished leaves nothing behind in the new one.
  resetSave();

  sessionName = name;
  sessionParent = parent;

  int r = fileutil::makeDirectory(parent);
  if (r == 0)
    VESKO_NOTE("Creating %s directory", parent.c_str());
  else if (r < 0)
    VESKO_WARN("Error creating projectDir: %s", strerror(errno));

  sessionDir = sessionManaged ? parent : parent + "/" + name + ".vesko";
  VESKO_NOTE("Creating session dir %s", sessionDir.c_str());
  if (fileutil::makeDirectory(sessionDir) != 0)
    VESKO_WARN("Error creating session directory. Does the path: %s exist?", parent.c_str());

  audioDir = sessionDir + "/audio";
  VESKO_NOTE("Creating audio dir %s", audioDir.c_str());
  if (fileutil::makeDirectory(audioDir) != 0)
    VESKO_WARN("Error creating sample directory");

  foldersCreated = true;
  return 0;
}

bool DiskWriter::ensureStaging()
{
  std::string dir = sessionDir + "/" + STAGING_NAME;
  if (stagingDir == dir)
    return true;
  removeStaging(dir); // what a crashed save left
  if (fileutil::makeDirectory(dir) < 0) {
    VESKO_ERROR("Cannot save into %s: %s", sessionDir.c_str(), strerror(errno));
    return false;
  }
  stagingDir = dir;
  return true;
}

int DiskWriter::writeAudioBuffer(int track, int scene, AudioBuffer* ab, const std::string& path)
{
  if (!ab)
    return 2;
  if (!path.empty()) {
    printf("saving single buffer to %s\n", path.c_str());
    return writeWavFile(path, ab, samplerate > 0 ? samplerate : 48000) ? 0 : 2;
  }
  if (!foldersCreated) {
    VESKO_WARN("Session folders not created yet, while trying to write audioBuffers.");
    return 2;
  }
  if (track < 0 || track >= NTRACKS || scene < 0 || scene >= NSCENES) {
    VESKO_ERROR("Clip %d, %d is outside the grid; not saved", track, scene);
    return 2;
  }

  std::string file = "t_" + std::to_string(track) + "_s_" + std::to_string(scene) + ".wav";
  if (!ensureStaging() || !writeWavFile(stagingDir + "/" + file, ab, samplerate > 0 ? samplerate : 48000)) {
    saveFailed = true;
    return 2;
  }
  clipNames.push_back({track, scene, file});

  cJSON* entry = cJSON_CreateObject();
  cJSON_AddNumberToObject(entry, "beats", ab->getBeats());
  const std::string& shown = state ? state->tracks[track].clipNames[scene] : std::string();
  cJSON_AddStringToObject(entry, "name", shown.c_str());
  cJSON_AddItemToObject(audioJson, file.c_str(), entry);
  return 0;
}

int DiskWriter::writeSession()
{
  if (!foldersCreated) {
    VESKO_WARN("Session folders not created yet, while trying to write session.");
    return 2;
  }
  GuiState defaults;
  const GuiState& s = state ? *state : defaults;

  cJSON* session = cJSON_CreateObject();
  cJSON_AddStringToObject(session, "session", sessionName.c_str());
  cJSON_AddNumberToObject(session, "version_major", 1);
  cJSON_AddNumberToObject(session, "version_minor", 0);
  cJSON_AddNumberToObject(session, "version_patch", 0);

  cJSON* master = cJSON_CreateObject();
  cJSON_AddNumberToObject(master, "fader", s.master.fader);
  cJSON_AddNumberToObject(master, "bpm", s.master.bpm);
  cJSON_AddNumberToObject(master, "inputVolume", s.master.inputVolume);
  cJSON_AddNumberToObject(master, "inputToSndActive", s.master.inputToSendActive);
  cJSON_AddNumberToObject(master, "inputToKeyActive", s.master.inputToKeyActive);
  cJSON_AddNumberToObject(master, "inputToMixActive", s.master.inputToMixActive);
  cJSON_AddNumberToObject(master, "inputToSndVol", s.master.inputToSend);
  cJSON_AddNumberToObject(master, "inputToXSide", s.master.inputToXSide);
  cJSON_AddNumberToObject(master, "inputToMixVol", s.master.inputToMix);
  cJSON* sceneNames = cJSON_CreateArray();
  for (int i = 0; i < NSCENES; i++)
    cJSON_AddItemToArray(sceneNames, cJSON_CreateString(s.master.sceneNames[i].c_str()));
  cJSON_AddItemToObject(master, "sceneNames", sceneNames);
  cJSON_AddItemToObject(session, "master", master);

  cJSON* tracks = cJSON_CreateArray();
  for (int t = 0; t < NTRACKS; t++) {
    const GuiTrackState& ts = s.tracks[t];
    cJSON* track = cJSON_CreateObject();
    cJSON_AddNumberToObject(track, "ID", t);
    cJSON_AddStringToObject(track, "name", ts.name.c_str());
    cJSON_AddNumberToObject(track, "fader", ts.fader);
    cJSON_AddNumberToObject(track, "pan", ts.pan);
    cJSON_AddNumberToObject(track, "sendAmount", ts.send);
    cJSON_AddNumberToObject(track, "sendActive", ts.sendActive);
    cJSON_AddNumberToObject(track, "jacksendAmount", ts.jackSend);
    cJSON_AddNumberToObject(track, "jacksendActive", ts.jackSendActive);
    cJSON_AddNumberToObject(track, "xsideAmount", ts.xside);
    cJSON_AddNumberToObject(track, "keyActive", ts.keyActive);
    cJSON* clips = cJSON_CreateArray();
    for (int sc = 0; sc < NSCENES; sc++) {
      const char* file = "";
      for (const ClipName& c : clipNames)
        if (c.track == t && c.scene == sc)
          file = c.file.c_str();
      cJSON_AddItemToArray(clips, cJSON_CreateString(file));
    }
    cJSON_AddItemToObject(track, "clips", clips);
    cJSON_AddItemToArray(tracks, track);
  }
  cJSON_AddItemToObject(session, "tracks", tracks);

  std::string sessionText = printJson(session);
  std::string audioText = printJson(audioJson);
  cJSON_Delete(session);

  bool ok = !saveFailed && ensureStaging();
  ok = ok && fileutil::writeFileAtomically(stagingDir + "/session.vesko", sessionText);
  ok = ok && fileutil::writeFileAtomically(stagingDir + "/audio.cfg", audioText);
  if (!ok) {
    if (!saveFailed)
      VESKO_ERROR("Cannot write the session file in %s: %s", sessionDir.c_str(), strerror(errno));
    abandonSave();
    return 2;
  }

  // Everything is complete: move it into place, the session file last, so the session
  // file never names audio that is not there yet.
  for (const ClipName& c : clipNames) {
    if (rename((stagingDir + "/" + c.file).c_str(), (audioDir + "/" + c.file).c_str()) != 0) {
      VESKO_ERROR("Cannot move %s into %s: %s", c.file.c_str(), audioDir.c_str(), strerror(errno));
      ok = false;
    }
  }
  ok = ok && rename((stagingDir + "/audio.cfg").c_str(), (audioDir + "/audio.cfg").c_str()) == 0;
  ok = ok && rename((stagingDir + "/session.vesko").c_str(), (sessionDir + "/session.vesko").c_str()) == 0;
  if (!ok) {
    VESKO_ERROR("Session \"%s\" not saved completely: %s", sessionName.c_str(), strerror(errno));
    abandonSave();
    return 2;
  }
  removeStaging(stagingDir);
  VESKO_NOTE("Session saved: %s", sessionDir.c_str());
  resetSave();
  return 0;
}

void DiskWriter::failSave(const std::string& why)
{
  VESKO_ERROR("Session \"%s\" cannot be saved whole: %s", sessionName.c_str(), why.c_str());
  saveFailed = true;
}

void DiskWriter::abandonSave()
{
  VESKO_ERROR("Session \"%s\" NOT saved; the previous files in %s are unchanged",
              sessionName.c_str(), sessionDir.c_str());
  resetSave();
}

void DiskWriter::resetSave()
{
  if (!stagingDir.empty())
    removeStaging(stagingDir);
  stagingDir.clear();
  clipNames.clear();
  saveFailed = false;
  cJSON_Delete(audioJson);
  audioJson = cJSON_CreateObject();
}

void DiskWriter::setControllerInfo(int which, const std::string& text)
{
  if (which >= 0 && which < 3)
    controllerInfo[which] = text;
}

const std::string& DiskWriter::getControllerInfo(int which) const
{
  return controllerInfo[which >= 0 && which < 3 ? which : 0];
}

namespace
{
// A map's file name comes from the controller's name or from the user: it must name a
// file inside the controllers directory, never a path leading out of it.
bool usableMapStem(const std::string& stem)
{
  return !stem.empty() && stem.find('/') == std::string::npos && stem != "." && stem != "..";
}
} // namespace

int DiskWriter::writeControllerFile(Controller* c)
{
  if (!c) {
    VESKO_ERROR("%s", "DiskWriter Controller* passed NULL");
    return 2;
  }
  VESKO_NOTE("DiskWriter Controller* id: %i", c->getID());
  GenericMIDI* g = dynamic_cast<GenericMIDI*>(c);
  if (!g) {
    VESKO_WARN("Invalid Controller pointer: cannot write %s as is not a GenericMIDI controller!",
               c->getName());
    return 2;
  }

  // Everything needed is taken from the controller before the question below: the dialog
  // runs the interface's loop, in which the engine may hand this controller back to be
  // destroyed. The copy of the bindings is safe while the engine learns or removes.
  const std::string controllerName = g->getName();
  const std::vector<Binding> bindings = g->getInputBindings();

  VESKO_NOTE("%s", "Creating JSON for .ctlr file...");
  cJSON* root = cJSON_CreateObject();
  cJSON_AddStringToObject(root, "name", controllerInfo[0].c_str());
  cJSON_AddStringToObject(root, "author", controllerInfo[1].c_str());
  cJSON_AddStringToObject(root, "link", controllerInfo[2].c_str());
  cJSON* array = cJSON_AddArrayToObject(root, "inputBindings");
  for (const Binding& b : bindings) {
    const char* actionName = eventNameForType(b.action);
    if (!actionName) {
      VESKO_WARN("Binding action %i has no prettyName!", b.action);
      continue;
    }
    cJSON* o = cJSON_CreateObject();
    cJSON_AddStringToObject(o, "action", actionName);
    cJSON_AddNumberToObject(o, "status", b.status);
    cJSON_AddNumberToObject(o, "data", b.data);
    if (b.track != -2)
      cJSON_AddNumberToObject(o, "track", b.track);
    if (b.scene != -1)
      cJSON_AddNumberToObject(o, "scene", b.scene);
    if (b.send != -1)
      cJSON_AddNumberToObject(o, "send", b.send);
    if (b.active != -1)
      cJSON_AddNumberToObject(o, "active", b.active);
    cJSON_AddItemToArray(array, o);
    VESKO_NOTE("Creating Binding: action %i == %s!", b.action, actionName);
  }
  const std::string text = printJson(root);
  cJSON_Delete(root);

  if (fileutil::home().empty()) {
    VESKO_ERROR("%s", "HOME is not set: cannot write the .ctlr file");
    return 2;
  }
  if (!usableMapStem(controllerName)) {
    VESKO_ERROR("Controller name \"%s\" cannot be a file name: .ctlr file not written",
                controllerName.c_str());
    return 2;
  }
  std::string path = veskoControllersDir() + controllerName + ".ctlr";

  if (FILE* existing = fopen(path.c_str(), "r")) {
    fclose(existing);
    const int choice = dialog::choice("Controller exists, action?", "Cancel", "Rename", "Overwrite");
    if (choice == 1) {
      const char* entered = dialog::input("New name for .ctlr file:");
      if (!entered || !*entered) {
        VESKO_NOTE("%s", "No name entered for .ctlr file, canceling!");
        return 2;
      }
      if (!usableMapStem(entered)) {
        VESKO_ERROR("\"%s\" cannot be a file name: .ctlr file not written", entered);
        return 2;
      }
      path = veskoControllersDir() + entered + ".ctlr";
      VESKO_NOTE("New .ctlr filename %s", path.c_str());
    } else if (choice != 2) {
      return 0; // "Cancel": the old file stays as it was
    }
  }

  VESKO_NOTE("Writing %s.ctlr file to disk", controllerName.c_str());
  // A failed write leaves any old map whole, and is reported as a failure.
  if (!fileutil::writeFileAtomically(path, text)) {
    VESKO_ERROR("Could not write %s: %s", path.c_str(), strerror(errno));
    return 2;
  }
  return 0;
}

void DiskWriter::writeDefaultConfigToUserHome()
{
  VESKO_NOTE("Writing default preferences file.");
  cJSON* prefs = cJSON_CreateObject();
  cJSON_AddItemToObject(prefs, "__COMMENT__", cJSON_CreateString("users home + <whatever it says here>"));
  cJSON_AddItemToObject(prefs, "saveDirectory", cJSON_CreateString("vesko"));
  cJSON_AddItemToObject(prefs, "__COMMENT__", cJSON_CreateString("0 = LINEAR, 1 = SINC_FASTEST, 2 = SINC_BEST"));
  cJSON_AddItemToObject(prefs, "resampleQuality", cJSON_CreateNumber(1));
  cJSON_AddItemToObject(prefs, "defaultControllers", cJSON_CreateArray());
  cJSON_AddItemToObject(prefs, "enablePerTrackSendReturns", cJSON_CreateNumber(0));
  std::string text = printJson(prefs);
  if (!fileutil::writeFileAtomically(veskoPreferencesPath(), text))
    VESKO_WARN("Could not write %s: %s", veskoPreferencesPath().c_str(), strerror(errno));
  cJSON_Delete(prefs);
}
