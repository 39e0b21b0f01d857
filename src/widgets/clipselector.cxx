#include "widgets/clipselector.hxx"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include "dialog.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "widgets/buttonevents.hxx"
#include "widgets/cairocontext.hxx"
#include "widgets/palette.hxx"
#include "widgets/repaint.hxx"

namespace Tovk
{

namespace
{
const int NAME_CHARS = 8;

enum class Glyph { None, Play, Ring, Dot };

struct CellLook
{
  Colour colour;
  Glyph glyph;
};

// Queued states share the blue square and keep the glyph of the state they lead to.
CellLook lookOf(int state)
{
  switch (state) {
  case 1: return {Colour{0.0f, 1.0f, 0.0f}, Glyph::Play};
  case 2: return {Palette::blue, Glyph::Play};
  case 3: return {Colour{1.0f, 0.6f, 0.0f}, Glyph::Ring};
  case 4: return {Palette::blue, Glyph::Ring};
  case 5: return {Palette::red, Glyph::Dot};
  case 6: return {Palette::blue, Glyph::Dot};
  default: return {Palette::grid, Glyph::None};
  }
}

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t utf8Length(const std::string& s, size_t i)
{
  unsigned char c = (unsigned char)s[i];
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size())
    return 0;
  for (size_t k = 1; k < n; k++)
    if (((unsigned char)s[i + k] >> 6) != 0x2)
      return 0;
  return n;
}

// The first characters of a name, whole. Names come from file names and old sessions, and
// cairo puts the window's shared context into a lasting error on malformed UTF-8, so bytes
// that do not form a character are left out.
std::string shownName(const std::string& name)
{
  std::string out;
  int chars = 0;
  for (size_t i = 0; i < name.size() && chars < NAME_CHARS;) {
    size_t n = utf8Length(name, i);
    if (n == 0) {
      i++;
      continue;
    }
    out.append(name, i, n);
    i += n;
    chars++;
  }
  return out;
}

// The "Beats" entries: the text shown and the loop length it sets.
struct BeatsItem
{
  const char* text;
  int beats;
};
const BeatsItem beatsItems[] = {{"1       ", 1}, {"2", 2},   {"4", 4},  {"8", 8},
                                {"16", 16},      {"32", 32}, {"64", 64}};

Fl_Menu_Item menuItem(const char* text, int flags = 0)
{
  return Fl_Menu_Item{text, 0, nullptr, nullptr, flags, 0, 0, 0, 0};
}

const Fl_Menu_Item clipMenuItems[] = {menuItem("Load"),
                                      menuItem("Save"),
                                      menuItem("Special"),
                                      menuItem("Beats", FL_SUBMENU | FL_MENU_DIVIDER),
                                      menuItem(beatsItems[0].text),
                                      menuItem(beatsItems[1].text),
                                      menuItem(beatsItems[2].text),
                                      menuItem(beatsItems[3].text),
                                      menuItem(beatsItems[4].text),
                                      menuItem(beatsItems[5].text),
                                      menuItem(beatsItems[6].text),
                                      menuItem(nullptr),
                                      menuItem("Use as tempo"),
                                      menuItem("Rename", FL_MENU_DIVIDER),
                                      menuItem("Clear"),
                                      menuItem(nullptr)};
} // namespace

ClipSelector::ClipSelector(int x, int y, int w, int h, const char* label, bool master)
  : Fl_Button(x, y, w, h), X(x), Y(y), W(w), H(h), master(master)
{
  copy_label(label ? label : "");
  if (master)
    for (int i = 0; i < NSCENES; i++)
      clips[i].name = "Scene " + std::to_string(i + 1);
}

ClipSelector::~ClipSelector()
{
  cancelRepaint(this);
}

void ClipSelector::setState(int scene, int state)
{
  if (scene < 0 || scene >= NSCENES)
    return;
  clips[scene].state = state;
  redraw();
}

int ClipSelector::getState(int scene) const
{
  if (scene < 0 || scene >= NSCENES)
    return 0;
  return clips[scene].state;
}

std::string ClipSelector::getClipName(int scene) const
{
  if (scene < 0 || scene >= NSCENES)
    return "";
  return clips[scene].name;
}

void ClipSelector::setClipName(int scene, const std::string& name)
{
  if (scene < 0 || scene >= NSCENES)
    return;
  clips[scene].name = name;
  redraw();
}

void ClipSelector::setSpecial(int scene)
{
  if (scene < -1 || scene >= NSCENES)
    return;
  if (scene == -1 && special == -1)
    return;
  special = scene;
  redraw();
}

int ClipSelector::cellAt(int y) const
{
  int ch = H / NSCENES;
  if (ch <= 0 || y < Y)
    return 0;
  return std::min((y - Y) / ch, NSCENES - 1);
}

void ClipSelector::draw()
{
  if (!(damage() & FL_DAMAGE_ALL) || !backdropFresh(this))
    return;
  cairo_t* cr = cairoContext(this);
  if (!cr)
    return;
  cairo_save(cr);

  const int ch = H / NSCENES;
  const int half = H / 20;
  const int textY = (int)((ch - 22) * 0.66 + 13) + 1;
  cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 11);

  for (int i = 0; i < NSCENES; i++) {
    const int yi = Y + i * ch;

    cairo_rectangle(cr, X + 2, yi + 1, W - 3, ch - 4);
    setColour(cr, Palette::grid, 0.4);
    cairo_fill(cr);

    CellLook look = lookOf(clips[i].state);
    cairo_rectangle(cr, X + 2, yi + 1, ch - 4, ch - 4);
    setColour(cr, look.colour);
    cairo_fill(cr);

    setColour(cr, Palette::black);
    switch (look.glyph) {
    case Glyph::Play:
      cairo_move_to(cr, X + half - 4, yi + half - 5);
      cairo_line_to(cr, X + half + 5, yi + half);
      cairo_line_to(cr, X + half - 4, yi + half + 5);
      cairo_close_path(cr);
      cairo_fill(cr);
      break;
    case Glyph::Ring:
      cairo_new_sub_path(cr);
      cairo_arc(cr, X + half, yi + half, 4.3, 0, 6.29);
      cairo_set_line_width(cr, 2.2);
      cairo_stroke(cr);
      break;
    case Glyph::Dot:
      cairo_new_sub_path(cr);
      cairo_arc(cr, X + half, yi + half, 4.3, 0, 6.29);
      cairo_fill(cr);
      break;
    case Glyph::None:
      break;
    }

    cairo_rectangle(cr, X + 2, yi + 1, W - 3, ch - 3);
    cairo_move_to(cr, X + ch - 1, yi + 1);
    cairo_line_to(cr, X + ch - 1, yi + ch - 1);
    setColour(cr, Palette::black);
    cairo_set_line_width(cr, 1.3);
    cairo_stroke(cr);

    std::string name = shownName(clips[i].name);
    if (!name.empty()) {
      cairo_move_to(cr, X + ch + 5, yi + textY);
      setColour(cr, Palette::white, 0.9);
      cairo_show_text(cr, name.c_str());
      cairo_new_path(cr);
    }

    if (i == special) {
      cairo_rectangle(cr, X + 2, yi + 1, W - 3, ch - 3);
      setColour(cr, Palette::blue);
      cairo_set_line_width(cr, 1.3);
      cairo_stroke(cr);
    }
  }

  cairo_restore(cr);
  cairoFinish(cr);
}

int ClipSelector::handle(int event)
{
  switch (event) {
  case FL_PUSH: {
    pressedLook = true;
    const int cell = cellAt(Fl::event_y());
    if (!Fl::event_button3()) {
      if (master) {
        EventGridLaunchScene ev(cell);
        writeToDspRingbuffer(&ev);
        redraw();
      } else {
        EventGridEvent ev(ID, cell, true);
        writeToDspRingbuffer(&ev);
        redraw();
        do_callback();
      }
      return 1;
    }
    if (master) {
      const char* text = dialog::input("Scene name: ", clips[cell].name.c_str());
      if (text) {
        if (gui)
          gui->setSceneName(cell, text);
        else
          setClipName(cell, text);
      }
      redraw();
      return 1;
    }
    if (!clipMenu(cell))
      return 0;
    redraw();
    do_callback();
    return 1;
  }
  case FL_RELEASE:
    // The grid acts on presses only: a release never reaches the engine.
    return 1;
  case FL_ENTER:
  case FL_LEAVE:
  case FL_DRAG:
  case FL_SHORTCUT:
    // As every push button of the toolkit.
    return buttonEvent(this, event, mouseOver, pressedLook);
  case FL_ACTIVATE:
  case FL_DEACTIVATE:
    return 1;
  default:
    return Fl_Widget::handle(event);
  }
}

bool ClipSelector::clipMenu(int cell)
{
  const Fl_Menu_Item* item = dialog::popup(clipMenuItems, Fl::event_x(), Fl::event_y());
  if (!item || !item->text)
    return false;
  const std::string chosen = item->text;

  if (chosen == "Load") {
    if (gui)
      gui->selectLoadSample(ID, cell);
  } else if (chosen == "Save") {
    return saveClip(cell);
  } else if (chosen == "Special") {
    EventGridSelectNewChosen ev(ID, cell);
    writeToDspRingbuffer(&ev);
  } else if (chosen == "Use as tempo") {
    EventLooperUseAsTempo ev(ID, cell);
    writeToDspRingbuffer(&ev);
  } else if (chosen == "Rename") {
    const char* text = dialog::input("Clip name: ", clips[cell].name.c_str());
    if (text) {
      if (gui)
        gui->setClipName(ID, cell, text);
      else
        setClipName(cell, text);
    }
  } else if (chosen == "Clear") {
    EventGridState ev(ID, cell, 0);
    writeToDspRingbuffer(&ev);
  } else {
    for (const BeatsItem& b : beatsItems)
      if (chosen == b.text) {
        EventLooperLoopLength ev(ID, cell, b.beats);
        writeToDspRingbuffer(&ev);
      }
  }
  return true;
}

bool ClipSelector::saveClip(int cell)
{
  if (!gui)
    return true;
  const std::string path = gui->selectSaveSample();
  if (path.empty())
    return true;
  if (access(path.c_str(), F_OK) == 0 &&
      dialog::choice("Overwrite file?", "Cancel", "Overwrite", nullptr) != 1)
    return false;
  gui->saveBufferPath = path;
  gui->requestSaveBuffer(ID, cell);
  return true;
}

void ClipSelector::resize(int x, int y, int w, int h)
{
  Fl_Widget::resize(x, y, w, h);
  X = x;
  Y = y;
  W = w;
  H = h;
  redraw();
}

} // namespace Tovk
