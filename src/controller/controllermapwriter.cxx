#include "controller/controllermapwriter.hxx"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <FL/fl_ask.H>
#include <cjson/cJSON.h>

#include "controller/genericmidi.hxx"
#include "event.hxx"
#include "logger.hxx"

std::function<int(const char*, const char*, const char*, const char*)> ControllerMapWriter::askChoice =
  [](const char* q, const char* b0, const char* b1, const char* b2) {
    return fl_choice("%s", b0, b1, b2, q);
  };
std::function<const char*(const char*)> ControllerMapWriter::askInput = [](const char* q) {
  return fl_input("%s", nullptr, q);
};

namespace
{
// A map's file name comes from the controller's name or from the user: it must name a
// file inside the controllers directory, never a path leading out of it.
bool usableFileStem(const std::string& stem)
{
  return !stem.empty() && stem.find('/') == std::string::npos;
}
} // namespace

ControllerMapWriter& ControllerMapWriter::shared()
{
  static ControllerMapWriter writer;
  return writer;
}

void ControllerMapWriter::setControllerInfo(int which, const std::string& text)
{
  switch (which) {
  case 0: name = text; break;
  case 1: author = text; break;
  case 2: link = text; break;
  default: VESKO_WARN("No controller field %i to set", which); break;
  }
}

std::string ControllerMapWriter::controllersDirectory()
{
  const char* home = getenv("HOME");
  if (!home || !*home)
    return "";
  return std::string(home) + "/.config/morvit/vesko/controllers/";
}

int ControllerMapWriter::writeControllerFile(Controller* c)
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
  // destroyed.
  const std::string controllerName = g->getName();
  const std::vector<Binding> bindings = g->getInputBindings();

  VESKO_NOTE("%s", "Creating JSON for .ctlr file...");
  cJSON* root = cJSON_CreateObject();
  cJSON_AddStringToObject(root, "name", name.c_str());
  cJSON_AddStringToObject(root, "author", author.c_str());
  cJSON_AddStringToObject(root, "link", link.c_str());
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

  const std::string dir = controllersDirectory();
  if (dir.empty()) {
    VESKO_ERROR("%s", "HOME is not set: cannot write the .ctlr file");
    cJSON_Delete(root);
    return 2;
  }
  if (!usableFileStem(controllerName)) {
    VESKO_ERROR("Controller name \"%s\" cannot be a file name: .ctlr file not written",
                controllerName.c_str());
    cJSON_Delete(root);
    return 2;
  }
  std::string path = dir + controllerName + ".ctlr";

  if (FILE* existing = fopen(path.c_str(), "r")) {
    fclose(existing);
    const int choice = askChoice("Controller exists, action?", "Cancel", "Rename", "Overwrite");
    if (choice == 1) {
      const char* entered = askInput("New name for .ctlr file:");
      if (!entered || !*entered) {
        VESKO_NOTE("%s", "No name entered for .ctlr file, canceling!");
        cJSON_Delete(root);
        return 2;
      }
      if (!usableFileStem(entered)) {
        VESKO_ERROR("\"%s\" cannot be a file name: .ctlr file not written", entered);
        cJSON_Delete(root);
        return 2;
      }
      path = dir + entered + ".ctlr";
      VESKO_NOTE("New .ctlr filename %s", path.c_str());
    } else if (choice != 2) {
      cJSON_Delete(root); // "Cancel", or the dialog closed
      return 0;
    }
  }

  VESKO_NOTE("Writing %s.ctlr file to disk", controllerName.c_str());
  char* text = cJSON_Print(root);
  cJSON_Delete(root);
  if (!text) {
    VESKO_ERROR("%s", "Could not print the .ctlr JSON");
    return 2;
  }
  int result = 0;
  FILE* f = fopen(path.c_str(), "w");
  if (!f) {
    VESKO_ERROR("Cannot open %s for writing: %s", path.c_str(), strerror(errno));
    result = 2;
  } else {
    const size_t len = strlen(text);
    const bool wrote = fwrite(text, 1, len, f) == len;
    const int savedErrno = errno;
    if (fclose(f) != 0 || !wrote) {
      VESKO_ERROR("Error writing %s: %s", path.c_str(), strerror(wrote ? errno : savedErrno));
      result = 2;
    }
  }
  cJSON_free(text);
  return result;
}
