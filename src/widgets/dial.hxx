#ifndef VESKO_WIDGETS_DIAL_HXX
#define VESKO_WIDGETS_DIAL_HXX

#include <FL/Fl_Slider.H>

namespace Tovk
{

// Rotary control, value 0..1. A vertical drag of 100 pixels covers the range (upward
// increases) and a wheel notch moves 0.1; each step fires the callback. Owners set the
// value with value(double), which redraws. Interface thread only.
class Dial : public Fl_Slider
{
public:
  Dial(int x, int y, int w, int h, const char* label = "");
  ~Dial() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  bool drawLabel = true;
  // Drawn from the top: for values around a centre, like pan.
  bool bipolar = false;
  bool mouseClicked = false;

protected:
  // A value set by the owner redraws the dial.
  void value_damage() override;

private:
  bool dragging = false;
  int lastY = 0;
  float radius = 0.f;
  float lineWidth = 0.f;
};

} // namespace Tovk

#endif
