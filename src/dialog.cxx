#include "dialog.hxx"

#include <cstdio>
#include <cstring>

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

namespace dialog
{
std::function<int(const char*, const char*, const char*, const char*)> choiceAnswerer;
std::function<const char*(const char*, const char*)> inputAnswerer;
std::function<std::string(const Fl_Menu_Item*)> popupAnswerer;
std::function<std::string(FileMode, const char*)> fileAnswerer;
std::function<std::string(const char*)> directoryAnswerer;

int choice(const char* question, const char* b0, const char* b1, const char* b2)
{
  if (choiceAnswerer)
    return choiceAnswerer(question, b0, b1, b2);
  return fl_choice("%s", b0, b1, b2, question);
}

const char* input(const char* question, const char* defaultText)
{
  if (inputAnswerer)
    return inputAnswerer(question, defaultText);
  return fl_input("%s", defaultText, question);
}

// Finds an item by its text anywhere in the menu, submenus included.
static const Fl_Menu_Item* findItem(const Fl_Menu_Item* menu, const std::string& text)
{
  int depth = 0;
  for (const Fl_Menu_Item* m = menu; depth > 0 || m->text; m++) {
    if (!m->text) {
      depth--;
      continue;
    }
    if (text == m->text)
      return m;
    if (m->flags & FL_SUBMENU)
      depth++;
  }
  return nullptr;
}

const Fl_Menu_Item* popup(const Fl_Menu_Item* menu, int x, int y)
{
  if (popupAnswerer) {
    std::string text = popupAnswerer(menu);
    return text.empty() ? nullptr : findItem(menu, text);
  }
  return menu->popup(x, y);
}

std::string chooseFile(FileMode mode, const char* title, const char* filter,
                       const std::string& directory)
{
  if (fileAnswerer)
    return fileAnswerer(mode, title);
  Fl_Native_File_Chooser chooser;
  chooser.type(mode == FileMode::Open ? Fl_Native_File_Chooser::BROWSE_FILE
                                      : Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
  chooser.title(title);
  if (filter)
    chooser.filter(filter);
  if (!directory.empty())
    chooser.directory(directory.c_str());
  // 0: chosen; 1: cancelled; -1: failed.
  if (chooser.show() != 0 || !chooser.filename() || !chooser.filename()[0])
    return "";
  return chooser.filename();
}

std::string chooseDirectory(const char* title, const std::string& directory)
{
  if (directoryAnswerer)
    return directoryAnswerer(title);
  Fl_File_Chooser chooser(directory.c_str(), "*", Fl_File_Chooser::DIRECTORY, title);
  chooser.show();
  while (chooser.shown())
    Fl::wait();
  const char* v = chooser.value(1);
  if (!v || !v[0])
    return "";
  fprintf(stderr, "--------------------\n");
  fprintf(stderr, "DIRECTORY: '%s'\n", chooser.directory());
  fprintf(stderr, "    VALUE: '%s'\n", v);
  fprintf(stderr, "    COUNT: %d files selected\n", chooser.count());
  return v;
}
} // namespace dialog
