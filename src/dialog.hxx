#ifndef VESKO_DIALOG_HXX
#define VESKO_DIALOG_HXX

#include <functional>

// The modal questions the interface asks. Each runs a nested toolkit loop by default; a
// test puts its own answerer in place of the dialog. Interface thread only.
namespace dialog
{
// The index of the button chosen (0 also when the dialog is closed).
int choice(const char* question, const char* b0, const char* b1, const char* b2);
// The text entered, or null when cancelled. The text stays valid until the next question.
const char* input(const char* question, const char* defaultText = nullptr);

// Test answerers; empty means "show the dialog".
extern std::function<int(const char* question, const char* b0, const char* b1, const char* b2)>
  choiceAnswerer;
extern std::function<const char*(const char* question, const char* defaultText)> inputAnswerer;
} // namespace dialog

#endif
