#include "widgets/dial.hxx"

#include <algorithm>

#include <FL/Fl.H>

#include "widgets/cairocontext.hxx"
#include "widgets/palette.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

// Angles in radians, in cairo's direction: the track runs from the lower left through the
// top to the lower right; the value at the top is 4.73.
static const double START = 2.46;
static const double SPAN = 4.54;
static const double END = 0.75;
static const double TOP = 4.73;

Dial::Dial(int x, int y, int w, int h, const char* label)
  : Fl_Slider(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
  useLabelStyle(this);
}

Dial::~Dial()
{
  cancelRepaint(this);
}

void Dial::value_damage()
{
  redraw();
}

void Dial::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  if (drawLabel)
    draw_label();
  cairo_t* cr = cairoContext(this);
  if (!cr)
    return;
  cairo_save(cr);

  radius = 0.9f * (std::min(W, H) * 0.5f);
  lineWidth = radius / 12.f + 1.4f;
  int cx = X + W / 2;
  int cy = Y + H / 2;
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, radius, START, END);
  setColour(cr, Palette::well);
  cairo_set_line_width(cr, lineWidth - 0.2);
  cairo_stroke(cr);

  double a = START + SPAN * unitClamp(value());
  if (bipolar) {
    if (a < TOP)
      cairo_arc_negative(cr, cx, cy, radius, TOP, a);
    else
      cairo_arc(cr, cx, cy, radius, TOP, a);
  } else {
    cairo_arc(cr, cx, cy, radius, START, a);
  }
  cairo_line_to(cr, cx, cy);
  setColour(cr, Palette::accent, 0.8);
  cairo_set_line_width(cr, lineWidth);
  cairo_stroke(cr);

  cairo_restore(cr);
  cairoFinish(cr);
}

int Dial::handle(int event)
{
  switch (event) {
  case FL_PUSH:
    mouseClicked = true;
    redraw();
    return 1;
  case FL_RELEASE:
    if (mouseClicked) {
      mouseClicked = false;
      redraw();
    }
    dragging = false;
    return 1;
  case FL_DRAG:
    if (!Fl::event_button1())
      return 1;
    if (!dragging) {
      dragging = true;
      lastY = Fl::event_y();
    } else {
      float v = (float)value() + (float)(lastY - Fl::event_y()) / 100.f;
      set_value(unitClamp(v));
      lastY = Fl::event_y();
    }
    redraw();
    do_callback();
    return 1;
  case FL_MOUSEWHEEL:
    set_value(unitClamp((float)value() - 0.1f * (float)Fl::event_dy()));
    redraw();
    do_callback();
    return 1;
  default:
    return Fl_Widget::handle(event);
  }
}

void Dial::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
