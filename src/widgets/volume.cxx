#include "widgets/volume.hxx"

#include <cmath>

#include <FL/Fl.H>

#include "widgets/buttonevents.hxx"
#include "widgets/cairocontext.hxx"
#include "widgets/palette.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

static const float SILENCE = 0.1f;
static const float LEVEL_STEP = 0.025f;

Volume::Volume(int x, int y, int w, int h, const char* label)
  : Fl_Slider(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
  useLabelStyle(this);
  value(0.78);
}

Volume::~Volume()
{
  cancelRepaint(this);
}

void Volume::value_damage()
{
  redraw();
}

void Volume::setAmplitude(float left, float right)
{
  if (left < SILENCE)
    left = 0.f;
  if (right < SILENCE)
    right = 0.f;
  if (std::fabs(left - levelLeft) > LEVEL_STEP || std::fabs(right - levelRight) > LEVEL_STEP) {
    levelLeft = left;
    levelRight = right;
    redraw();
  }
}

void Volume::setOrientationHorizontal()
{
  horizontal = true;
  redraw();
}

void Volume::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  cairo_t* cr = cairoContext(this);
  if (!cr)
    return;
  cairo_save(cr);

  cairo_set_line_width(cr, 1.5);
  cairo_rectangle(cr, X, Y, W, H);
  setColour(cr, Palette::grid, 0.4);
  cairo_fill(cr);

  cairo_set_line_width(cr, 1.0);
  cairo_move_to(cr, X, Y);
  cairo_line_to(cr, X, Y + H);
  cairo_move_to(cr, X + W / 2, Y);
  cairo_line_to(cr, X + W / 2, Y + H);
  for (int i = 0; i < 4; i++) {
    cairo_move_to(cr, X, Y + i * H / 4);
    cairo_line_to(cr, X + W, Y + i * H / 4);
  }
  setColour(cr, Palette::grid, 0.5);
  cairo_stroke(cr);

  // Levels above full scale would reach out of the fader.
  float l = unitClamp(levelLeft);
  float r = unitClamp(levelRight);
  if (horizontal) {
    cairo_rectangle(cr, X, Y + 0.15 * H, l * W, 9.9);
    cairo_rectangle(cr, X, Y + 0.56 * H, r * W, 9.9);
  } else {
    cairo_rectangle(cr, X + 0.15 * W, Y + (1 - l) * H, 9.9, l * H);
    cairo_rectangle(cr, X + 0.56 * W, Y + (1 - r) * H, 9.9, r * H);
  }
  setColour(cr, Palette::blue, 0.21);
  cairo_fill_preserve(cr);
  setColour(cr, Palette::blue);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);

  float v = unitClamp(value());
  if (horizontal)
    cairo_rectangle(cr, X + 2 + (W - 24) * v, Y + 5, 20, H - 10);
  else
    cairo_rectangle(cr, X + 5, Y + 2 + (1 - v) * (H - 24), W - 10, 20);
  setColour(cr, Palette::accent);
  cairo_set_line_width(cr, 1.9);
  cairo_stroke(cr);

  cairo_rectangle(cr, X, Y, W, H);
  setColour(cr, Palette::black);
  cairo_stroke(cr);

  cairo_restore(cr);
  cairoFinish(cr);
}

int Volume::handle(int event)
{
  switch (event) {
  case FL_PUSH:
    redraw();
    return 1;
  case FL_RELEASE:
    dragging = false;
    return 1;
  case FL_DRAG:
    if (!Fl::event_button1())
      return 1;
    if (!dragging) {
      dragging = true;
    } else {
      float v = (float)value();
      // A fader squeezed to nothing has no travel to drag along.
      if (horizontal && W > 0)
        v += (float)(Fl::event_x() - lastX) / (float)W;
      else if (!horizontal && H > 0)
        v += (float)(lastY - Fl::event_y()) / (float)H;
      set_value(unitClamp(v));
    }
    lastX = Fl::event_x();
    lastY = Fl::event_y();
    redraw();
    do_callback();
    return 1;
  case FL_ENTER:
  case FL_MOUSEWHEEL:
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

void Volume::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
