// Temporary stand-in for the clip column, so the strips link and can be tried out. It
// keeps what it is told and draws nothing; the real column replaces this file.

#include "widgets/clipselector.hxx"

namespace Tovk
{

ClipSelector::ClipSelector(int x, int y, int w, int h, const char* label, bool m)
  : Fl_Button(x, y, w, h), X(x), Y(y), W(w), H(h), master(m)
{
  copy_label(label ? label : "");
}

ClipSelector::~ClipSelector() = default;

void ClipSelector::draw() {}

int ClipSelector::handle(int event) { return 0; }

void ClipSelector::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

void ClipSelector::setState(int scene, int state)
{
  if (scene >= 0 && scene < NSCENES)
    clips[scene].state = state;
}

int ClipSelector::getState(int scene) const
{
  return scene >= 0 && scene < NSCENES ? clips[scene].state : 0;
}

std::string ClipSelector::getClipName(int scene) const
{
  return scene >= 0 && scene < NSCENES ? clips[scene].name : std::string();
}

void ClipSelector::setClipName(int scene, const std::string& name)
{
  if (scene >= 0 && scene < NSCENES)
    clips[scene].name = name;
}

void ClipSelector::setSpecial(int scene) { special = scene; }

int ClipSelector::cellAt(int y) const
{
  int cell = H > 0 ? (y - Y) * NSCENES / H : 0;
  return cell < 0 ? 0 : (cell >= NSCENES ? NSCENES - 1 : cell);
}

void ClipSelector::clipMenu(int cell) {}

} // namespace Tovk
