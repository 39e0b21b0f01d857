#ifndef VESKO_TEST_WINDOW_FIXTURE_HXX
#define VESKO_TEST_WINDOW_FIXTURE_HXX

// A real double-buffered window on the X server in DISPLAY, with helpers to deliver
// events to widgets, let the event loop draw, and read back what was drawn.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Widget.H>
#include <gtest/gtest.h>

struct Rgb
{
  int r, g, b;
};

inline std::ostream& operator<<(std::ostream& o, const Rgb& c)
{
  return o << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// Counts the callbacks a widget fires and keeps the valuator value seen by the last one.
struct CallbackLog
{
  int calls = 0;
  double lastValue = -1;
  static void record(Fl_Widget* w, void* self);
  void attach(Fl_Widget* w) { w->callback(record, this); }
};

class WindowTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;

  // Ends the window's children, shows it and waits until it has been drawn.
  void show();
  // Runs the event loop until every pending redraw and repaint has been drawn.
  void settle();

  // The pixel drawn at (x, y), window coordinates, read from the window's back buffer so
  // that other windows on the screen cannot hide it.
  Rgb pixel(int x, int y);
  // Writes the window's picture as a PNG file.
  bool savePng(const std::string& path);

  // Delivers one event to w as the window would, with the pointer at (x, y) and the
  // given button state bits (FL_BUTTON1 ...). button names the button of a push/release.
  int send(Fl_Widget* w, int event, int x, int y, int state = 0, int button = 0);

  // Answers the next modal dialog from inside its own loop: types text and presses
  // Enter, or presses Escape when text is null. Reports whether a dialog appeared.
  void answerNextDialog(const char* text);
  bool dialogSeen() const { return dialogAnswered; }
  void forgetDialogAnswer();

  virtual int windowWidth() const { return 400; }
  virtual int windowHeight() const { return 300; }

  Fl_Double_Window* win = nullptr;

private:
  static void answerDialog(void* self);
  std::string dialogText;
  bool dialogCancel = false;
  bool dialogAnswered = false;
};

// Presses and releases a widget with the left button as the pointer would, at its centre,
// delivering the events to the widget itself.
void pressAndRelease(Fl_Widget* w);

// Near-equality of colours, for antialiased or alpha-blended pixels.
::testing::AssertionResult near(const Rgb& got, const Rgb& want, int tolerance = 3);
// Colour of a palette triple at full intensity, 0..255 per channel.
Rgb rgbOf(float r, float g, float b);

#endif
