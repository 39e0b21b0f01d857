#include "widgets/buttonevents.hxx"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>

namespace Tovk
{

bool shortcutMatches(Fl_Widget* w)
{
  Fl_Button* b = dynamic_cast<Fl_Button*>(w);
  if (b && b->shortcut())
    return Fl::test_shortcut(b->shortcut());
  return w->test_shortcut();
}

int buttonEvent(Fl_Widget* w, int event, bool& mouseOver, bool& mouseClicked)
{
  switch (event) {
  case FL_PUSH:
    mouseClicked = true;
    w->redraw();
    return 1;
  case FL_RELEASE:
    if (mouseClicked) {
      mouseClicked = false;
      w->redraw();
      w->do_callback();
    }
    return 1;
  case FL_ENTER:
  case FL_LEAVE:
    mouseOver = (event == FL_ENTER);
    w->redraw();
    return 1;
  case FL_DRAG: {
    bool inside = Fl::event_inside(w);
    if (inside != mouseClicked) {
      mouseClicked = inside;
      w->redraw();
    }
    return 1;
  }
  case FL_SHORTCUT:
    if (!shortcutMatches(w))
      return 0;
    w->do_callback();
    return 1;
  default:
    return w->Fl_Widget::handle(event);
  }
}

} // namespace Tovk
