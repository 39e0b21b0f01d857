#include "goptions.hxx"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tabs.H>

#include "controller/binding.hxx"
#include "controller/genericmidi.hxx"
#include "dialog.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "logger.hxx"
#include "widgets/button.hxx"
#include "widgets/lightbutton.hxx"

extern char** environ;

namespace
{
const int WINDOW_SIZE = 400;
const int TAB_HEIGHT = 25;
const int ROW_HEIGHT = 25;
const int ROW_STEP = 36;

// The window is dark like the main window, so the toolkit's light labels read on it.
const Fl_Color BACKGROUND = fl_rgb_color(28, 28, 28);
const Fl_Color PAGE = fl_rgb_color(40, 40, 40);
const Fl_Color LABEL = fl_rgb_color(230, 230, 230);

void styleGroup(Fl_Group* g)
{
  g->box(FL_FLAT_BOX);
  g->color(PAGE);
  g->selection_color(PAGE);
  g->labelcolor(LABEL);
  g->labelsize(12);
}

void styleBox(Fl_Box* b)
{
  b->box(FL_NO_BOX);
  b->labelcolor(LABEL);
  b->labelsize(12);
}

// Callbacks, each with its page or window as data.
void authorCb(Fl_Widget*, void* p) { static_cast<ControllerUI*>(p)->askAuthor(); }
void linkCb(Fl_Widget*, void* p) { static_cast<ControllerUI*>(p)->openLink(); }
void bindEnableCb(Fl_Widget*, void* p) { static_cast<ControllerUI*>(p)->toggleBindEnable(); }
void saveCb(Fl_Widget*, void* p) { static_cast<ControllerUI*>(p)->save(); }
void removeCb(Fl_Widget*, void* p) { static_cast<ControllerUI*>(p)->remove(); }
void deleteRowCb(Fl_Widget* w, void* p)
{
  // The row's button carries the binding's ID as its label.
  const char* label = w->label();
  char* end = nullptr;
  long id = label ? strtol(label, &end, 10) : 0;
  if (!label || end == label)
    return;
  static_cast<ControllerUI*>(p)->deleteBinding((int)id);
}
void newCb(Fl_Widget*, void* o) { static_cast<OptionsWindow*>(o)->newGenericMidi(); }
void loadCb(Fl_Widget*, void* o) { static_cast<OptionsWindow*>(o)->selectLoadController(); }

// The browser outlives nothing of ours, but its starter must be waited for.
void reapChild(void* data)
{
  pid_t pid = (pid_t)(intptr_t)data;
  pid_t r = waitpid(pid, nullptr, WNOHANG);
  if (r == 0)
    Fl::repeat_timeout(0.5, reapChild, data);
}
} // namespace

// ---- One controller's page ----

ControllerUI::ControllerUI(int x, int y, int w, int h, const std::string& n, int id, OptionsWindow* o)
  : ID(id), name(n), options(o)
{
  VESKO_NOTE("Controller %li ID on create %i", (long)(intptr_t)this, ID);
  Fl_Group::current(nullptr);
  group = new Fl_Group(x, y, w, h);
  group->copy_label(name.c_str());
  styleGroup(group);

  authorButton = new Tovk::Button(x + 5, y + 5, 190, 25, "");
  authorButton->callback(authorCb, this);
  linkButton = new Tovk::Button(x + w / 2 + 7, y + 5, 190, 25, "");
  linkButton->callback(linkCb, this);

  targetCaption = new Fl_Box(x + 100, y + 32, 75, 25, "Target: ");
  styleBox(targetCaption);
  targetBox = new Fl_Box(x + 140, y + 32, 200, 25, "");
  styleBox(targetBox);
  bindEnable = new Tovk::LightButton(x + 5, y + 32, 100, 25, "Bind Enable");
  bindEnable->callback(bindEnableCb, this);

  saveButton = new Tovk::Button(x + 5, y + h - 27, 100, 25, "Save");
  saveButton->callback(saveCb, this);
  removeButton = new Tovk::Button(x + 110, y + h - 27, 100, 25, "Remove");
  removeButton->callback(removeCb, this);

  scroll = new Fl_Scroll(x + 5, y + 82, 395, 265);
  scroll->type(Fl_Scroll::VERTICAL_ALWAYS);
  scroll->box(FL_FLAT_BOX);
  scroll->color(BACKGROUND);
  bindingList = new Fl_Pack(x + 5, y + 82, w - 15, 260);
  bindingList->type(Fl_Pack::VERTICAL);
  bindingList->spacing(2);
  bindingList->end();
  scroll->end();

  group->end();
  Fl_Group::current(nullptr);
}

ControllerUI::~ControllerUI()
{
  if (group) {
    if (group->parent())
      group->parent()->remove(group);
    delete group;
  }
}

void ControllerUI::setAuthor(const std::string& text)
{
  author = text;
  authorButton->copy_label(author.c_str());
  authorButton->redraw();
}

void ControllerUI::setLink(const std::string& text)
{
  link = text;
  linkButton->copy_label(link.c_str());
  linkButton->redraw();
}

void ControllerUI::setTarget(const std::string& text)
{
  target = text;
  targetBox->copy_label(target.c_str());
  // The box has no background of its own: repaint what lies beneath the old text too.
  group->damage(FL_DAMAGE_ALL);
  group->redraw();
}

void ControllerUI::setBindEnable(bool on)
{
  bindEnable->value(on ? 1 : 0);
  bindEnable->redraw();
}

bool ControllerUI::getBindEnable() const { return bindEnable->value() != 0; }

std::string ControllerUI::describe(const Binding& b)
{
  const char* actionName = b.action == EVENT_MASTER_VOL ? "Master Volume" : eventNameForType(b.action);
  if (b.action == EVENT_NULL || !actionName)
    return "";
  std::string text = actionName;
  if (b.track != -2)
    text += " Track:" + std::to_string(b.track + 1);
  if (b.scene != -1)
    text += " Scene:" + std::to_string(b.scene + 1);
  if (b.send == 0)
    text += " Post-fader Send";
  else if (b.send == 1)
    text += " Sidechain Key";
  else if (b.send == 2)
    text += " Sidechain Crossfade";
  if (b.active == 1)
    text += " On";
  else if (b.active == 0)
    text += " Off";
  return text;
}

void ControllerUI::addBinding(const Binding* b)
{
  if (!b)
    return;
  if (b->action == EVENT_NULL) {
    VESKO_WARN("new binding, action: ==  EVENT_NULL");
    return;
  }
  const std::string text = describe(*b);
  if (text.empty())
    return;
  bindingIDs.push_back(b->ID);

  Fl_Group::current(nullptr);
  Fl_Pack* row = new Fl_Pack(bindingList->x(), 0, bindingList->w(), ROW_HEIGHT);
  row->type(Fl_Pack::HORIZONTAL);
  row->spacing(2);
  Tovk::Button* del = new Tovk::Button(0, 0, 25, ROW_HEIGHT, std::to_string(b->ID).c_str());
  del->tooltip("Delete this binding");
  del->callback(deleteRowCb, this);
  Fl_Box* description = new Fl_Box(0, 0, 400, ROW_HEIGHT);
  description->copy_label(text.c_str());
  styleBox(description);
  description->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  row->end();
  Fl_Group::current(nullptr);

  bindingList->add(row);
  layoutList();
}

void ControllerUI::layoutList()
{
  bindingList->resize(bindingList->x(), bindingList->y(), bindingList->w(),
                      ROW_STEP * (int)bindingIDs.size());
  bindingList->redraw();
  scroll->redraw();
}

Fl_Group* ControllerUI::rowOf(int bindingID)
{
  for (int i = 0; i < bindingList->children(); i++) {
    Fl_Group* row = bindingList->child(i)->as_group();
    if (row && row->children() > 0 && row->child(0)->label() &&
        std::to_string(bindingID) == row->child(0)->label())
      return row;
  }
  return nullptr;
}

void ControllerUI::deleteBinding(int bindingID)
{
  VESKO_NOTE("CtlrID %i: Deleting binding with ID %i", ID, bindingID);
  EventControllerBindingRemove ev(ID, bindingID);
  writeToDspRingbuffer(&ev);

  if (Fl_Group* row = rowOf(bindingID)) {
    bindingList->remove(row);
    // The row's own button may be the one whose callback runs now.
    Fl::delete_widget(row);
  }
  for (size_t i = 0; i < bindingIDs.size(); i++)
    if (bindingIDs[i] == bindingID) {
      bindingIDs.erase(bindingIDs.begin() + i);
      break;
    }
  layoutList();
}

void ControllerUI::askAuthor()
{
  const char* text = dialog::input("Author: ", "");
  if (text)
    setAuthor(text);
}

void ControllerUI::openLink() { openLinkInBrowser(link); }

void ControllerUI::toggleBindEnable()
{
  const bool on = !getBindEnable();
  setBindEnable(on);
  EventControllerBindingEnable ev(-1, on);
  writeToDspRingbuffer(&ev);
}

void ControllerUI::save()
{
  VESKO_NOTE("Writing controller %li, %s ID %i .ctlr to disk", (long)(intptr_t)this, name.c_str(), ID);
  if (gui && gui->getDiskWriter()) {
    gui->getDiskWriter()->setControllerInfo(0, name);
    gui->getDiskWriter()->setControllerInfo(1, author);
    gui->getDiskWriter()->setControllerInfo(2, link);
  }
  EventControllerInstanceGetToWrite ev(ID, nullptr);
  writeToDspRingbuffer(&ev);
}

void ControllerUI::remove()
{
  Fl_Tabs* tabs = options->getTabs();
  tabs->remove(group);
  tabs->value(options->getAddGroup());
  tabs->redraw();
  // The Remove button's callback is running: the widgets go at the next turn of the loop.
  Fl::delete_widget(group);
  group = nullptr;

  EventControllerInstanceRemove ev(ID);
  handToEngine(&ev);
  options->erasePage(this);
}

// ---- The window ----

OptionsWindow::OptionsWindow()
{
  Fl_Group::current(nullptr);
  window = new Fl_Double_Window(WINDOW_SIZE, WINDOW_SIZE, "Options");
  window->color(BACKGROUND);
  window->xclass("vesko");
  tabs = new Fl_Tabs(0, 0, WINDOW_SIZE, WINDOW_SIZE);
  tabs->box(FL_FLAT_BOX);
  tabs->color(BACKGROUND);
  tabs->selection_color(PAGE);
  int x, y, w, h;
  clientArea(x, y, w, h);
  addGroup = new Fl_Group(x, y, w, h, "Add");
  styleGroup(addGroup);
  newButton = new Tovk::Button(x + 2, y + 2, w - 4, 30, "New Generic MIDI");
  newButton->callback(newCb, this);
  loadButton = new Tovk::Button(x + 2, y + 34, w - 4, 30, "Load Generic MIDI");
  loadButton->callback(loadCb, this);
  addGroup->end();
  tabs->end();
  window->end();
  Fl_Group::current(nullptr);
}

OptionsWindow::~OptionsWindow()
{
  for (ControllerUI* p : pages)
    delete p;
  pages.clear();
  delete window;
}

void OptionsWindow::clientArea(int& x, int& y, int& w, int& h) const
{
  tabs->client_area(x, y, w, h, TAB_HEIGHT);
}

void OptionsWindow::show() { window->show(); }
void OptionsWindow::hide() { window->hide(); }
bool OptionsWindow::shown() const { return window->shown() != 0; }

void OptionsWindow::addControllerUiDsp(GenericMIDI* c)
{
  if (!c)
    return;
  int x, y, w, h;
  clientArea(x, y, w, h);
  ControllerUI* page = new ControllerUI(x, y, w, h, c->getName(), c->getID(), this);
  pages.push_back(page);
  VESKO_NOTE("Added controller %s, ID %i", c->getName(), c->getID());
  tabs->insert(*page->group, addGroup);
  page->setAuthor(c->getAuthor());
  page->setLink(c->getLink());
  for (const Binding& b : c->getInputBindings())
    page->addBinding(&b);
  // The new controller is what the user wants to see next.
  tabs->value(page->group);
  tabs->redraw();

  // The page exists before the engine can report a binding for it.
  EventControllerInstance ev(c);
  handToEngine(&ev);
}

ControllerUI* OptionsWindow::getPage(int id)
{
  for (ControllerUI* p : pages)
    if (p->ID == id)
      return p;
  return nullptr;
}

void OptionsWindow::setTarget(const std::string& text)
{
  for (ControllerUI* p : pages)
    p->setTarget(text);
}

void OptionsWindow::newGenericMidi()
{
  VESKO_NOTE("%s", "ADD Controller cb");
  const char* answer = dialog::input("Controller name: ", "");
  if (!answer)
    return;
  std::string controllerName = answer;
  // The name becomes the stem of two JACK port names and of a map file.
  if (controllerName.empty()) {
    VESKO_WARN("A controller needs a name");
    return;
  }
  GenericMIDI* c = new GenericMIDI(controllerName);
  if (c->status() == 1) {
    addControllerUiDsp(c);
  } else {
    VESKO_ERROR("%s", "Controller initialization failed!");
    delete c;
  }
}

void OptionsWindow::selectLoadController()
{
  std::string path = dialog::chooseFile(dialog::FileMode::Open, "Pick a controller definition",
                                        "Controllers\t*.ctlr", veskoControllersDir());
  if (path.empty())
    return;
  GenericMIDI* c = new GenericMIDI(GenericMIDI::MapFile{path});
  if (c->status() == 1) {
    addControllerUiDsp(c);
  } else {
    VESKO_ERROR("%s", "Controller initialization failed!");
    // Never handed to the engine and without ports: ours to free.
    delete c;
  }
}

void OptionsWindow::erasePage(ControllerUI* page)
{
  for (size_t i = 0; i < pages.size(); i++)
    if (pages[i] == page) {
      pages.erase(pages.begin() + i);
      delete page;
      return;
    }
}

// ---- The web link ----

std::string linkAddress(const std::string& link)
{
  // Only an address that starts as a web address goes as it is; anything else (an option
  // for the opener such as "-x", a path, text) becomes the host part of one.
  if (link.compare(0, 4, "http") == 0)
    return link;
  return "http://" + link;
}

pid_t openLinkInBrowser(const std::string& link)
{
  std::string address = linkAddress(link);
  char program[] = "xdg-open";
  char* argv[] = {program, &address[0], nullptr};
  pid_t pid = -1;
  int r = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
  if (r != 0) {
    VESKO_WARN("Cannot start xdg-open for %s: %s", address.c_str(), strerror(r));
    return -1;
  }
  Fl::add_timeout(0.5, reapChild, (void*)(intptr_t)pid);
  return pid;
}
