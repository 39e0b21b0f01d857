#include "diskreader.hxx"

#include <cstring>

#include <cjson/cJSON.h>

#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "fileutil.hxx"
#include "logger.hxx"

namespace
{
// Map names are file names inside the controllers directory; anything with a path in it
// would reach outside that directory.
bool isPlainFileName(const char* name)
{
  return name && *name && !strchr(name, '/') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

void applyProjectsDir(Preferences& prefs, const char* relative)
{
  prefs.projectsDir = fileutil::home();
  if (relative)
    prefs.projectsDir += std::string("/") + relative;
}
} // namespace

int DiskReader::loadPreferences(Preferences& prefs)
{
  std::string text;
  if (!fileutil::readFile(veskoPreferencesPath(), text) || text.empty()) {
    VESKO_WARN("Preferences, file doesn't exist: ~/.config/morvit/vesko/vesko.prefs");
    if (writer)
      writer->writeDefaultConfigToUserHome();
    // The defaults just written hold from this run on, so "Save Session" has a place to go.
    applyProjectsDir(prefs, "vesko");
    return 0;
  }

  cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
  if (!root || !cJSON_IsObject(root)) {
    VESKO_WARN("Preferences JSON not valid");
    cJSON_Delete(root);
    return 2;
  }

  cJSON* quality = cJSON_GetObjectItem(root, "resampleQuality");
  if (cJSON_IsNumber(quality)) {
    int q = (int)quality->valuedouble;
    resampleQuality = (q >= 0 && q <= 2) ? q : 1;
    prefs.resampleQuality = resampleQuality;
    if (q == 0)
      VESKO_NOTE("Using Linear resampling, may reduce quality. Check .config/morvit/vesko/vesko.prfs");
  }

  cJSON* controllers = cJSON_GetObjectItem(root, "defaultControllers");
  if (cJSON_IsArray(controllers)) {
    cJSON* item;
    cJSON_ArrayForEach(item, controllers) {
      if (!cJSON_IsString(item))
        continue;
      if (!isPlainFileName(item->valuestring)) {
        VESKO_WARN("Controller map name \"%s\" is not a file name in %s; skipped",
                   item->valuestring, veskoControllersDir().c_str());
        continue;
      }
      VESKO_NOTE("Loading controller %s", item->valuestring);
      prefs.controllerPaths.push_back(veskoControllersDir() + item->valuestring);
    }
  } else {
    VESKO_NOTE("No default controllers active.");
  }

  cJSON* saveDir = cJSON_GetObjectItem(root, "saveDirectory");
  applyProjectsDir(prefs, cJSON_IsString(saveDir) ? saveDir->valuestring : nullptr);

  cJSON* perTrack = cJSON_GetObjectItem(root, "enablePerTrackOutput");
  if (cJSON_IsNumber(perTrack)) {
    prefs.enablePerTrackOutput = perTrack->valuedouble != 0;
    if (prefs.enablePerTrackOutput)
      VESKO_NOTE("Enabling per track output ports");
  }

  cJSON* metroActive = cJSON_GetObjectItem(root, "metronomeActiveByDefault");
  if (cJSON_IsNumber(metroActive)) {
    EventMetronomeActive ev(metroActive->valuedouble != 0);
    writeToDspRingbuffer(&ev);
  }

  cJSON* metroVol = cJSON_GetObjectItem(root, "metronomeDefaultVolume");
  if (cJSON_IsNumber(metroVol)) {
    EventMetronomeVolume ev((int)metroVol->valuedouble / 100.f);
    writeToDspRingbuffer(&ev);
  }

  cJSON_Delete(root);
  return 0;
}
