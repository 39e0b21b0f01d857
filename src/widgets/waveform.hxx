#ifndef VESKO_WIDGETS_WAVEFORM_HXX
#define VESKO_WIDGETS_WAVEFORM_HXX

#include <vector>

#include <FL/Fl_Widget.H>
#include <cairo.h>

namespace Tovk
{

// Picture of one audio channel: for each pixel column the mean of the positive and of the
// negative samples it covers, on a logarithmic scale. The picture is rendered once per
// data set into an offscreen image and painted from there. The owner replaces data, sets
// newWaveform and calls redraw(). Ignores all events. Interface thread only.
class Waveform : public Fl_Widget
{
public:
  Waveform(int x, int y, int w, int h, const char* label = "");
  ~Waveform() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  std::vector<float> data;
  bool newWaveform = true;
  bool border = true;

private:
  void render();

  cairo_surface_t* cache = nullptr;
  cairo_t* cacheContext = nullptr;
};

} // namespace Tovk

#endif
