#include "diskwriter.hxx"

#include <cerrno>
#include <cstring>

#include <cjson/cJSON.h>

#include "fileutil.hxx"
#include "logger.hxx"

std::string veskoConfigDir() { return fileutil::home() + "/.config/morvit/vesko"; }
std::string veskoControllersDir() { return veskoConfigDir() + "/controllers/"; }
std::string veskoPreferencesPath() { return veskoConfigDir() + "/vesko.prfs"; }

DiskWriter::DiskWriter()
{
  const std::string home = fileutil::home();
  if (home.empty()) {
    VESKO_ERROR("HOME is not set: no configuration directory, preferences or controller maps");
    return;
  }
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
  char* text = cJSON_Print(prefs);
  if (text && !fileutil::writeFileAtomically(veskoPreferencesPath(), text))
    VESKO_WARN("Could not write %s: %s", veskoPreferencesPath().c_str(), strerror(errno));
  cJSON_free(text);
  cJSON_Delete(prefs);
}
