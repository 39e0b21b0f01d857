#ifndef VESKO_WIDGETS_VOLUME_HXX
#define VESKO_WIDGETS_VOLUME_HXX

#include <FL/Fl_Slider.H>

namespace Tovk
{

// Fader, value 0..1, with a level meter for each channel behind the handle. Dragging the
// full height (or width, when horizontal) covers the range; each step fires the callback.
// Owners set the value with value(double), which redraws. Interface thread only.
class Volume : public Fl_Slider
{
public:
  Volume(int x, int y, int w, int h, const char* label = "");
  ~Volume() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  // Meter levels 0..1. Levels under 0.1 read as silence, and the fader redraws only for a
  // change of more than 0.025 in either channel.
  void setAmplitude(float left, float right);
  void setOrientationHorizontal();

  int X, Y, W, H;
  bool horizontal = false;
  float levelLeft = 0.f;
  float levelRight = 0.f;

protected:
  // A value set by the owner redraws the fader.
  void value_damage() override;

private:
  bool dragging = false;
  int lastX = 0;
  int lastY = 0;
};

} // namespace Tovk

#endif
