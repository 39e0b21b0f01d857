#ifndef VESKO_GOPTIONS_HXX
#define VESKO_GOPTIONS_HXX

#include <string>
#include <sys/types.h>
#include <vector>

class Binding;
class GenericMIDI;
class OptionsWindow;
class Fl_Box;
class Fl_Double_Window;
class Fl_Group;
class Fl_Pack;
class Fl_Scroll;
class Fl_Tabs;
class Fl_Widget;
namespace Tovk
{
class Button;
class LightButton;
} // namespace Tovk

// One tab page of the options window: a generic MIDI controller made or loaded there, its
// author and link, learning, its input bindings, and saving or removing it. Interface
// thread only.
class ControllerUI
{
public:
  // Builds the page's widgets inside the area given; the group is not yet in any tabs.
  ControllerUI(int x, int y, int w, int h, const std::string& name, int ID, OptionsWindow* options);
  // Destroys the page's group with its widgets, unless it was handed away (release()).
  ~ControllerUI();

  void setAuthor(const std::string& text);
  void setLink(const std::string& text);
  // What the engine would bind next, shown after "Target: ".
  void setTarget(const std::string& text);
  void setBindEnable(bool on);
  bool getBindEnable() const;
  // Adds a row for the binding (copied at once); bindings without a name get none.
  void addBinding(const Binding* b);
  // The row text of a binding, or "" when it gets no row.
  static std::string describe(const Binding& b);

  // The buttons' actions.
  void askAuthor();
  void openLink();
  void toggleBindEnable();
  void save();
  // Takes the page out of the window, asks the engine to let the controller go and
  // destroys the page: `this` is gone afterwards.
  void remove();
  // Drops the row of this binding and asks the engine to drop the binding.
  void deleteBinding(int bindingID);

  // The widgets of the row of this binding, or null.
  Fl_Group* rowOf(int bindingID);
  int rowCount() const { return (int)bindingIDs.size(); }

  int ID;
  std::string name;
  std::string author;
  std::string link;
  std::string target;

  Fl_Group* group = nullptr;
  Tovk::Button* authorButton = nullptr;
  Tovk::Button* linkButton = nullptr;
  Fl_Box* targetCaption = nullptr;
  Fl_Box* targetBox = nullptr;
  Tovk::LightButton* bindEnable = nullptr;
  Tovk::Button* saveButton = nullptr;
  Tovk::Button* removeButton = nullptr;
  Fl_Scroll* scroll = nullptr;
  Fl_Pack* bindingList = nullptr;
  std::vector<int> bindingIDs;
  OptionsWindow* options;

private:
  void layoutList();
};

// The window where MIDI controllers are made, loaded, taught, saved and removed: one tab
// page per controller made here and a last "Add" tab. Interface thread only.
class OptionsWindow
{
public:
  OptionsWindow();
  ~OptionsWindow();

  void show();
  void hide();
  bool shown() const;

  // Gives c a page and then hands c to the engine, which owns it from then on.
  void addControllerUiDsp(GenericMIDI* c);
  // The first page of the controller with this ID, or null.
  ControllerUI* getPage(int id);
  // Every page shows the text as its binding target.
  void setTarget(const std::string& text);

  // The "Add" page's buttons.
  void newGenericMidi();
  void selectLoadController();

  // Called by a page's remove(): takes it out of the list and destroys it.
  void erasePage(ControllerUI* page);

  const std::vector<ControllerUI*>& getPages() const { return pages; }
  Fl_Double_Window* getWindow() { return window; }
  Fl_Tabs* getTabs() { return tabs; }
  Fl_Group* getAddGroup() { return addGroup; }
  Tovk::Button* getNewButton() { return newButton; }
  Tovk::Button* getLoadButton() { return loadButton; }

  // The tabs' client area, where pages are built.
  void clientArea(int& x, int& y, int& w, int& h) const;

private:
  Fl_Double_Window* window = nullptr;
  Fl_Tabs* tabs = nullptr;
  Fl_Group* addGroup = nullptr;
  Tovk::Button* newButton = nullptr;
  Tovk::Button* loadButton = nullptr;
  std::vector<ControllerUI*> pages;
};

// Opens a controller map's web link in the desktop's browser, without a shell: "xdg-open"
// is started with the address as its one argument. An address that does not begin with
// "http" gets "http://" in front. Returns the child's pid, or -1 when it could not start;
// the child is reaped from the event loop.
pid_t openLinkInBrowser(const std::string& link);
// The address openLinkInBrowser() hands to the browser.
std::string linkAddress(const std::string& link);

#endif
