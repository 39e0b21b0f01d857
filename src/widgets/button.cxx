#include "widgets/button.hxx"

#include <FL/Fl.H>

#include "widgets/buttonevents.hxx"
#include "widgets/cairocontext.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

Button::Button(int x, int y, int w, int h, const char* label)
  : Fl_Button(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
  useLabelStyle(this);
}

Button::~Button()
{
  cancelRepaint(this);
}

void Button::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  cairo_t* cr = cairoContext(this);
  if (cr) {
    cairo_save(cr);
    cairo_rectangle(cr, X + 1, Y + 1, W - 2, H - 2);
    setColour(cr, greyOut ? greyOf(bgColour) : bgColour);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.3);
    cairo_rectangle(cr, X + 1, Y + 1, W - 2, H - 2);
    if (mouseClicked && !greyOut) {
      setColour(cr, colour, 0.4);
      cairo_fill_preserve(cr);
    }
    if (greyOut) {
      setColour(cr, greyOf(colour));
      cairo_set_line_width(cr, 1.3);
    } else {
      setColour(cr, colour, mouseOver ? 1.0 : 0.6);
      cairo_set_line_width(cr, mouseClicked ? 2.2 : 1.3);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    cairoFinish(cr);
  }
  draw_label();
}

int Button::handle(int event)
{
  return buttonEvent(this, event, mouseOver, mouseClicked);
}

void Button::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
