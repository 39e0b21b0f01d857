#ifndef VESKO_WIDGETS_BUTTONEVENTS_HXX
#define VESKO_WIDGETS_BUTTONEVENTS_HXX

class Fl_Widget;

// The event behaviour the toolkit's push buttons share. Interface thread only.
namespace Tovk
{

// The toolkit's shortcut test: a button's own shortcut key when it has one, otherwise the
// '&' letter of the label.
bool shortcutMatches(Fl_Widget* w);

// Push sets mouseClicked; release with mouseClicked still set fires the callback; enter and
// leave set mouseOver; a drag keeps mouseClicked true only while the pointer is inside; a
// matching shortcut fires the callback. Returns what handle() returns.
int buttonEvent(Fl_Widget* w, int event, bool& mouseOver, bool& mouseClicked);

} // namespace Tovk

#endif
