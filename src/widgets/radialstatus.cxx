#include "widgets/radialstatus.hxx"

#include <algorithm>

#include <FL/Fl.H>

#include "widgets/buttonevents.hxx"
#include "widgets/cairocontext.hxx"
#include "widgets/palette.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

static const double TOP = -1.57075;

RadialStatus::RadialStatus(int x, int y, int w, int h, const char* label)
  : Fl_Slider(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
  useLabelStyle(this);
}

RadialStatus::~RadialStatus()
{
  cancelRepaint(this);
}

void RadialStatus::value_damage()
{
  redraw();
}

void RadialStatus::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  cairo_t* cr = cairoContext(this);
  if (cr) {
    cairo_save(cr);
    int steps = (int)(unitClamp(value()) * 16);
    int r = std::min((int)(W * 0.5), (int)(H * 0.5));
    int cx = X + (int)(W * 0.5);
    int cy = Y + (int)(H * 0.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, std::max(r - 10, 0), TOP, TOP + steps * 0.0625 * 6.28);
    setColour(cr, Palette::black, 0.5);
    cairo_set_line_width(cr, 12);
    cairo_stroke_preserve(cr);
    setColour(cr, Palette::accent);
    cairo_set_line_width(cr, 8.2);
    cairo_stroke(cr);

    if (recording) {
      cairo_arc(cr, cx, cy, std::max(r - 14, 0), 0, 6.283);
      setColour(cr, Palette::red, 0.8);
      cairo_fill_preserve(cr);
      setColour(cr, Palette::black, 0.8);
      cairo_set_line_width(cr, 2.2);
      cairo_stroke(cr);
      cairo_arc(cr, cx, cy, 10, 0, 6.283);
      setColour(cr, Palette::black);
      cairo_fill(cr);
    } else {
      cairo_arc(cr, cx, cy, 10, 0, 6.283);
      cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
      cairo_fill(cr);
    }
    cairo_restore(cr);
    cairoFinish(cr);
  }
  draw_label();
}

int RadialStatus::handle(int event)
{
  return buttonEvent(this, event, mouseOver, mouseClicked);
}

void RadialStatus::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
