#ifndef VESKO_WIDGETS_REPAINT_HXX
#define VESKO_WIDGETS_REPAINT_HXX

class Fl_Widget;

// Most widgets draw with partial alpha or leave pixels of their area untouched, so they
// look right only over a freshly painted backdrop. The toolkit's own redraw of a single
// widget repaints that widget alone, over its last picture; these functions turn such a
// redraw into a repaint of the widget's area of the window, everything beneath included.
// Interface thread only.
namespace Tovk
{

// Called at the top of draw(). True when the window is repainting this area bottom-up, so
// the widget may draw. Otherwise the area's repaint is queued for the next turn of the
// event loop and the widget draws nothing now.
bool backdropFresh(Fl_Widget* w);

// Called by every widget's destructor: drops a queued repaint.
void cancelRepaint(Fl_Widget* w);

} // namespace Tovk

#endif
