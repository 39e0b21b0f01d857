#include "widgets/repaint.hxx"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

namespace Tovk
{

// Strokes on a widget's edge reach a pixel beyond it.
static const int MARGIN = 2;

static void repaintArea(void* data)
{
  Fl_Widget* w = static_cast<Fl_Widget*>(data);
  Fl_Window* win = w->window();
  if (win && win->shown())
    win->damage(FL_DAMAGE_ALL, w->x() - MARGIN, w->y() - MARGIN, w->w() + 2 * MARGIN,
                w->h() + 2 * MARGIN);
}

bool backdropFresh(Fl_Widget* w)
{
  Fl_Window* win = w->window();
  if (!win || (win->damage() & FL_DAMAGE_ALL))
    return true;
  if (!Fl::has_timeout(repaintArea, w))
    Fl::add_timeout(0.0, repaintArea, w);
  return false;
}

void cancelRepaint(Fl_Widget* w)
{
  Fl::remove_timeout(repaintArea, w);
}

} // namespace Tovk
