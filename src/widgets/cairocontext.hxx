#ifndef VESKO_WIDGETS_CAIROCONTEXT_HXX
#define VESKO_WIDGETS_CAIROCONTEXT_HXX

#include <cairo.h>

class Fl_Widget;

// The one place that knows which toolkit hands out the cairo context. Interface thread,
// inside a widget's draw() only.
namespace Tovk
{

// The cairo context on the drawable the widget's window is being drawn into (the back
// buffer of a double-buffered window), clipped to the area the toolkit is repainting now.
// Null when the widget has no shown window. The context belongs to the toolkit: do not
// destroy it.
cairo_t* cairoContext(Fl_Widget* w);

// Sends what cairo has drawn to the window system, so that toolkit drawing done next on
// the same drawable (labels, images) lands on top of it.
void cairoFinish(cairo_t* cr);

} // namespace Tovk

#endif
