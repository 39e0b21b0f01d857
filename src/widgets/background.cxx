#include "widgets/background.hxx"

#include <FL/Fl.H>

#include "dialog.hxx"
#include "widgets/buttonevents.hxx"
#include "widgets/cairocontext.hxx"
#include "widgets/palette.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

static const int TITLE_BAND = 20;

Background::Background(int x, int y, int w, int h, const char* label)
  : Fl_Widget(x, y, w, h), X(x), Y(y), W(w), H(h)
{
  copy_label(label ? label : "");
}

Background::~Background()
{
  cancelRepaint(this);
}

void Background::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  cairo_t* cr = cairoContext(this);
  if (!cr)
    return;
  cairo_save(cr);

  cairo_set_line_width(cr, 1.5);
  cairo_rectangle(cr, X, Y, W, H);
  setColour(cr, Palette::stripBackground);
  cairo_fill(cr);
  cairo_rectangle(cr, X, Y, W, TITLE_BAND);
  cairo_fill(cr);

  cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 10);
  setColour(cr, Palette::blue);
  cairo_move_to(cr, X + 10, Y + 14);
  cairo_show_text(cr, label() ? label() : "");

  cairo_new_path(cr);
  cairo_move_to(cr, X, Y + TITLE_BAND);
  cairo_line_to(cr, X + W, Y + TITLE_BAND);
  cairo_stroke(cr);

  cairo_rectangle(cr, X, Y, W, H);
  setColour(cr, Palette::grid);
  cairo_stroke(cr);

  cairo_restore(cr);
  cairoFinish(cr);
}

int Background::handle(int event)
{
  switch (event) {
  case FL_PUSH:
    if (Fl::event_button() == FL_RIGHT_MOUSE && Fl::event_y() < Y + TITLE_BAND) {
      const char* name = dialog::input("Track name: ", "");
      if (name) {
        copy_label(name);
        redraw();
        // The owner keeps the name beyond the widget (the window's state, the session).
        do_callback();
      }
    }
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

void Background::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
