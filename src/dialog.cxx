#include "dialog.hxx"

#include <FL/fl_ask.H>

namespace dialog
{
std::function<int(const char*, const char*, const char*, const char*)> choiceAnswerer;
std::function<const char*(const char*, const char*)> inputAnswerer;

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
} // namespace dialog
