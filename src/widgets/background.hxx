#ifndef VESKO_WIDGETS_BACKGROUND_HXX
#define VESKO_WIDGETS_BACKGROUND_HXX

#include <FL/Fl_Widget.H>

namespace Tovk
{

// A strip's background with a title band. The title is the widget's label; a right click
// in the band asks the user for a new one and, when one is given, fires the callback.
// Interface thread only.
class Background : public Fl_Widget
{
public:
  Background(int x, int y, int w, int h, const char* label = "");
  ~Background() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
};

} // namespace Tovk

#endif
