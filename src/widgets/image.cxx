#include "widgets/image.hxx"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include "widgets/buttonevents.hxx"

namespace Tovk
{

Image::Image(int x, int y, int w, int h, const char* label)
  : Fl_Widget(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
}

Image::~Image() = default;

// Opaque, and drawn by the window toolkit itself: no cairo here.
void Image::draw()
{
  if (!(damage() & FL_DAMAGE_ALL))
    return;
  if (!pixels || bytesPerPixel < 1 || W <= 0 || H <= 0)
    return;
  fl_draw_image(pixels, X, Y, W, H, bytesPerPixel, bytesPerPixel * W);
}

int Image::handle(int event)
{
  switch (event) {
  case FL_PUSH:
    do_callback();
    return 1;
  case FL_RELEASE:
  case FL_DRAG:
    return 1;
  case FL_SHORTCUT:
    if (!shortcutMatches(this))
      return 0;
    do_callback();
    return 1;
  default:
    return Fl_Widget::handle(event);
  }
}

void Image::resize(int, int, int, int)
{
  if (stickToRight && window())
    X = window()->w() - W;
  // The toolkit's copy of the geometry follows what is drawn, so clicks and repaints
  // land where the picture is.
  Fl_Widget::resize(X, Y, W, H);
  redraw();
}

} // namespace Tovk
