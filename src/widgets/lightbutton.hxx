#ifndef VESKO_WIDGETS_LIGHTBUTTON_HXX
#define VESKO_WIDGETS_LIGHTBUTTON_HXX

#include <FL/Fl_Button.H>

#include "widgets/palette.hxx"

namespace Tovk
{

// Lamp button: its button value (0/1) is drawn lit or dark. It fires its callback on the
// press and never toggles itself; the owner sets the new value. Interface thread only.
class LightButton : public Fl_Button
{
public:
  LightButton(int x, int y, int w, int h, const char* label = "");
  ~LightButton() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  Colour colour = Palette::accent;
  Colour bgColour = Palette::darkFill;
  // Kept for owners that set it; not drawn.
  Colour highlightColour = Palette::accent;
  bool mouseOver = false;
  // Recomputed from the button value at every draw.
  bool lit = false;
};

} // namespace Tovk

#endif
