#ifndef VESKO_WIDGETS_RADIALSTATUS_HXX
#define VESKO_WIDGETS_RADIALSTATUS_HXX

#include <FL/Fl_Slider.H>

namespace Tovk
{

// Ring showing a track's loop progress, value 0..1, in sixteen steps; a red disc while the
// track records. The owner sets the value with value(double) and the recording flag
// followed by redraw(). Interface thread only.
class RadialStatus : public Fl_Slider
{
public:
  RadialStatus(int x, int y, int w, int h, const char* label = "");
  ~RadialStatus() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  bool recording = false;
  bool mouseOver = false;
  bool mouseClicked = false;

protected:
  // A value set by the owner redraws the ring.
  void value_damage() override;
};

} // namespace Tovk

#endif
