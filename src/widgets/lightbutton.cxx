#include "widgets/lightbutton.hxx"

#include <FL/Fl.H>

#include "widgets/buttonevents.hxx"
#include "widgets/cairocontext.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

LightButton::LightButton(int x, int y, int w, int h, const char* label)
  : Fl_Button(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
  useLabelStyle(this);
}

LightButton::~LightButton()
{
  cancelRepaint(this);
}

void LightButton::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  lit = value() != 0;
  cairo_t* cr = cairoContext(this);
  if (cr) {
    cairo_save(cr);
    cairo_rectangle(cr, X + 1, Y + 1, W - 2, H - 2);
    setColour(cr, bgColour, 0.4);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_rectangle(cr, X + 1, Y + 1, W - 2, H - 2);
    if (lit) {
      setColour(cr, colour, 0.4);
      cairo_fill_preserve(cr);
    }
    setColour(cr, colour, mouseOver ? 1.0 : 0.7);
    cairo_stroke(cr);
    cairo_restore(cr);
    cairoFinish(cr);
  }
  draw_label();
}

int LightButton::handle(int event)
{
  switch (event) {
  case FL_PUSH:
    do_callback();
    return 1;
  case FL_RELEASE:
  case FL_ACTIVATE:
  case FL_DEACTIVATE:
    return 1;
  case FL_ENTER:
  case FL_LEAVE:
    mouseOver = (event == FL_ENTER);
    redraw();
    return 1;
  case FL_DRAG: {
    bool inside = Fl::event_inside(this);
    if (inside != lit) {
      lit = inside;
      redraw();
    }
    return 1;
  }
  case FL_SHORTCUT:
    if (!shortcutMatches(this))
      return 0;
    do_callback();
    return 1;
  default:
    return Fl_Widget::handle(event);
  }
}

void LightButton::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
