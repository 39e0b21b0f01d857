#ifndef VESKO_CONTROLLERMAPWRITER_HXX
#define VESKO_CONTROLLERMAPWRITER_HXX

#include <functional>
#include <string>

class Controller;

// Writes a generic MIDI controller's input bindings as a ".ctlr" map into the user's
// controllers directory, asking before it replaces a file. Interface thread only.
class ControllerMapWriter
{
public:
  // The interface's one writer.
  static ControllerMapWriter& shared();

  // The texts written as the map's "name", "author" and "link" (which: 0, 1, 2), as the
  // options window last stored them; "no name", "no author" and "no link" until then.
  void setControllerInfo(int which, const std::string& text);

  // 0 when written or when the user chose "Cancel"; 2 when refused, when the rename was
  // cancelled, or when the file could not be written.
  int writeControllerFile(Controller* c);

  // "$HOME/.config/morvit/vesko/controllers/", or empty when HOME is not set.
  static std::string controllersDirectory();

  // The two questions the writer may ask. They are modal dialogs by default; a test puts
  // its own answers here. askChoice returns the index of the button chosen; askInput the
  // text entered, or null when cancelled.
  static std::function<int(const char* question, const char* b0, const char* b1, const char* b2)>
    askChoice;
  static std::function<const char*(const char* question)> askInput;

private:
  std::string name = "no name";
  std::string author = "no author";
  std::string link = "no link";
};

#endif
