#ifndef VESKO_DIALOG_HXX
#define VESKO_DIALOG_HXX

#include <functional>
#include <string>

struct Fl_Menu_Item;

// The modal questions the interface asks. Each runs a nested toolkit loop by default; a
// test puts its own answerer in place of the dialog. Interface thread only.
namespace dialog
{
// The index of the button chosen (0 also when the dialog is closed).
int choice(const char* question, const char* b0, const char* b1, const char* b2);
// The text entered, or null when cancelled. The text stays valid until the next question.
const char* input(const char* question, const char* defaultText = nullptr);
// Pops up a menu with its top-left corner at (x, y), window coordinates; the item chosen,
// or null when nothing was.
const Fl_Menu_Item* popup(const Fl_Menu_Item* menu, int x, int y);

enum class FileMode { Open, Save };
// A file chooser starting in `directory`; the path chosen, or "" when cancelled or failed.
std::string chooseFile(FileMode mode, const char* title, const char* filter,
                       const std::string& directory);
// A directory chooser starting in `directory`; the path chosen, or "" when cancelled.
std::string chooseDirectory(const char* title, const std::string& directory);

// Test answerers; empty means "show the dialog".
extern std::function<int(const char* question, const char* b0, const char* b1, const char* b2)>
  choiceAnswerer;
extern std::function<const char*(const char* question, const char* defaultText)> inputAnswerer;
// Given the menu, answers with the text of the item to choose, or "" for none.
extern std::function<std::string(const Fl_Menu_Item* menu)> popupAnswerer;
extern std::function<std::string(FileMode mode, const char* title)> fileAnswerer;
extern std::function<std::string(const char* title)> directoryAnswerer;
} // namespace dialog

#endif
