#include "widgets/waveform.hxx"

#include <cmath>
#include <cstdio>

#include "widgets/cairocontext.hxx"
#include "widgets/palette.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

Waveform::Waveform(int x, int y, int w, int h, const char* label)
  : Fl_Widget(x, y, w, h), X(x), Y(y), W(w), H(h), data(w > 0 ? w : 0, 0.f)
{
  copy_label(label ? label : "");
}

Waveform::~Waveform()
{
  cancelRepaint(this);
  if (cacheContext)
    cairo_destroy(cacheContext);
  if (cache)
    cairo_surface_destroy(cache);
}

// Half the column's height for an average magnitude m: 0 for silence, 0.4 h for 1.
static double columnReach(double m, int h)
{
  return ((std::log(4.9 * m + 0.1) + 2.3) / 3.9) * 0.4 * h;
}

void Waveform::render()
{
  int w = W > 0 ? W : 0;
  int h = H > 0 ? H : 0;
  // A cache of another size would paint outside the widget or leave part of it blank.
  if (cache && (cairo_image_surface_get_width(cache) != w ||
                cairo_image_surface_get_height(cache) != h)) {
    cairo_destroy(cacheContext);
    cairo_surface_destroy(cache);
    cache = nullptr;
    cacheContext = nullptr;
  }
  if (!cache) {
    cache = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cacheContext = cairo_create(cache);
  }
  cairo_t* cr = cacheContext;
  cairo_save(cr);

  cairo_rectangle(cr, 0, 0, w, h);
  setColour(cr, Palette::well);
  cairo_fill(cr);

  const double dash[] = {2.0, 2.0};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_line_width(cr, 1);
  for (int i = 1; i < 4; i++) {
    cairo_move_to(cr, i * w / 4, 0);
    cairo_line_to(cr, i * w / 4, h);
    cairo_move_to(cr, 0, i * h / 4);
    cairo_line_to(cr, w, i * h / 4);
  }
  setColour(cr, Palette::grid, 0.5);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);

  size_t n = data.size();
  if (n == 0) {
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, w, h);
    cairo_move_to(cr, 0, h);
    cairo_line_to(cr, w, 0);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_stroke(cr);
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 20);
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_move_to(cr, w / 2 - 65, h / 2 + 10);
    cairo_show_text(cr, "No data loaded");
  } else if (w > 0) {
    // With fewer samples than columns each column shows the one sample under it.
    size_t perColumn = n / (size_t)w;
    size_t span = perColumn > 0 ? perColumn : 1;
    for (int p = 0; p < w; p++) {
      size_t first = perColumn > 0 ? (size_t)p * perColumn : (size_t)p * n / (size_t)w;
      double pos = 0, neg = 0;
      for (size_t i = first; i < first + span; i++) {
        float s = data[i];
        // A NaN or infinity from a damaged file draws as silence.
        if (!std::isfinite(s))
          continue;
        if (s >= 0)
          pos += s;
        else
          neg -= s;
      }
      pos /= span;
      neg /= span;
      cairo_move_to(cr, p, h / 2 - columnReach(neg, h));
      cairo_line_to(cr, p, h / 2 + columnReach(pos, h));
    }
    setColour(cr, Palette::white);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  cairo_surface_flush(cache);
  newWaveform = false;
}

void Waveform::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  cairo_t* cr = cairoContext(this);
  if (!cr)
    return;
  cairo_save(cr);

  cairo_rectangle(cr, X, Y, W, H);
  setColour(cr, Palette::well);
  cairo_fill(cr);

  if (newWaveform || !cache)
    render();
  cairo_set_source_surface(cr, cache, X, Y);
  cairo_paint(cr);

  if (border) {
    cairo_rectangle(cr, X, Y, W, H);
    cairo_set_line_width(cr, 1);
    setColour(cr, Palette::waveformBorder);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  cairoFinish(cr);
}

int Waveform::handle(int)
{
  return 0;
}

void Waveform::resize(int x, int y, int w, int h)
{
  printf("Waveform new size %li, from %i\n", (long)(w > W ? w : W), W);
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  data.resize(w > 0 ? w : 0, 0.f);
  newWaveform = true;
  redraw();
}

} // namespace Tovk
