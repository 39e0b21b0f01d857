#ifndef VESKO_WIDGETS_PALETTE_HXX
#define VESKO_WIDGETS_PALETTE_HXX

#include <cmath>

#include <FL/Enumerations.H>
#include <FL/Fl_Widget.H>
#include <cairo.h>

// The toolkit's colours and the two small drawing helpers every widget uses. Interface
// thread only.
namespace Tovk
{

// An RGB triple, each channel 0..1.
struct Colour
{
  float r, g, b;
};

namespace Palette
{
// dial arcs, fader handles, progress ring, default button colour
constexpr Colour accent{1.0f, 0.48f, 0.0f};
// dark fill behind buttons
constexpr Colour darkFill{0.11f, 0.11f, 0.11f};
// grid lines, cell fills, borders
constexpr Colour grid{66 / 255.f, 66 / 255.f, 66 / 255.f};
constexpr Colour stripBackground{28 / 255.f, 28 / 255.f, 28 / 255.f};
// dial track, waveform background
constexpr Colour well{0.1f, 0.1f, 0.1f};
// strip titles, meters, selection frame
constexpr Colour blue{0.0f, 0.6f, 1.0f};
constexpr Colour waveformBorder{100 / 255.f, 100 / 255.f, 100 / 255.f};
constexpr Colour white{1.0f, 1.0f, 1.0f};
constexpr Colour black{0.0f, 0.0f, 0.0f};
constexpr Colour red{1.0f, 0.0f, 0.0f};
} // namespace Palette

inline void setColour(cairo_t* cr, const Colour& c, double alpha = 1.0)
{
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// A grey whose channels are the mean of c's: the look of a greyed-out colour.
inline Colour greyOf(const Colour& c)
{
  float m = (c.r + c.g + c.b) / 3.f;
  return Colour{m, m, m};
}

// Values reach the widgets from controllers, files and the engine; drawing only ever sees
// 0..1, and a NaN reads as 0.
inline float unitClamp(double v)
{
  if (!(v > 0.0))
    return 0.f;
  if (v > 1.0)
    return 1.f;
  return (float)v;
}

// Labels drawn by the window toolkit: light and small, to read on the near-black surfaces.
inline void useLabelStyle(Fl_Widget* w)
{
  w->labelcolor(fl_rgb_color(230, 230, 230));
  w->labelsize(11);
}

} // namespace Tovk

#endif
