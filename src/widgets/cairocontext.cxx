#include "widgets/cairocontext.hxx"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

// The layout of an X region, to hand its rectangles to cairo; last, for its macros.
#include <X11/Xregion.h>

namespace Tovk
{

cairo_t* cairoContext(Fl_Widget* w)
{
  Fl_Window* win = w->window();
  if (!win || !win->shown())
    return nullptr;
  cairo_t* cr = Fl::cairo_make_current(win);
  if (!cr)
    return nullptr;

  // Cairo ignores the toolkit's clip; without it a widget repainted for a small damaged
  // area would paint over neighbours that are not being repainted.
  cairo_reset_clip(cr);
  cairo_new_path(cr);
  Fl_Region region = fl_clip_region();
  if (region) {
    for (long i = 0; i < region->numRects; i++) {
      const BOX& b = region->rects[i];
      cairo_rectangle(cr, b.x1, b.y1, b.x2 - b.x1, b.y2 - b.y1);
    }
    cairo_clip(cr);
  }
  return cr;
}

void cairoFinish(cairo_t* cr)
{
  if (cr)
    cairo_surface_flush(cairo_get_target(cr));
}

} // namespace Tovk
