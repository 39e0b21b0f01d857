#include "widgets/box.hxx"

#include "widgets/cairocontext.hxx"

namespace Tovk
{

Box::Box(int x, int y, int w, int h, const char* label)
  : Fl_Widget(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
}

Box::~Box() = default;

// Paints every pixel of its area opaque, so it never needs the area beneath repainted.
void Box::draw()
{
  if (!(damage() & FL_DAMAGE_ALL))
    return;
  cairo_t* cr = cairoContext(this);
  if (!cr)
    return;
  cairo_save(cr);
  cairo_rectangle(cr, X, Y, W, H);
  cairo_set_source_rgb(cr, r, g, b);
  cairo_fill(cr);
  cairo_restore(cr);
  cairoFinish(cr);
}

void Box::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
