#ifndef VESKO_WIDGETS_BUTTON_HXX
#define VESKO_WIDGETS_BUTTON_HXX

#include <FL/Fl_Button.H>

#include "widgets/palette.hxx"

namespace Tovk
{

// Push button with a coloured outline; fires its callback on release. Owners set colour,
// bgColour and greyOut directly. Interface thread only.
class Button : public Fl_Button
{
public:
  Button(int x, int y, int w, int h, const char* label = "");
  ~Button() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  Colour colour = Palette::accent;
  Colour bgColour = Palette::darkFill;
  // Drawn grey; the button still fires.
  bool greyOut = false;
  bool mouseOver = false;
  bool mouseClicked = false;
};

} // namespace Tovk

#endif
