// The back buffer of a double-buffered window is named in the toolkit's internals.
#define FL_INTERNALS
#include "window_fixture.hxx"

#include <chrono>
#include <cmath>
#include <cstring>
#include <unistd.h>

#include <FL/Fl_Valuator.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <cairo.h>

void CallbackLog::record(Fl_Widget* w, void* self)
{
  CallbackLog* log = static_cast<CallbackLog*>(self);
  log->calls++;
  if (Fl_Valuator* v = dynamic_cast<Fl_Valuator*>(w))
    log->lastValue = v->value();
}

namespace
{
// Draws are counted so show() knows when the first picture is there.
class CountingWindow : public Fl_Double_Window
{
public:
  CountingWindow(int w, int h) : Fl_Double_Window(0, 0, w, h, "Vesko widget test") {}
  void draw() override
  {
    Fl_Double_Window::draw();
    draws++;
  }
  int draws = 0;
};
} // namespace

void WindowTest::SetUp()
{
  const char* display = getenv("DISPLAY");
  ASSERT_TRUE(display && *display) << "window tests need an X server in DISPLAY";
  // A busy server can turn a connection away; the toolkit would exit at once, so connect
  // here, a few times if need be, and hand it the display. Once per run: the toolkit keeps
  // watching every connection it was handed, and an abandoned one that turns readable
  // makes every wait return at once, so show() would give up before the window is mapped.
  if (!fl_display) {
    Display* d = nullptr;
    for (int i = 0; i < 50 && !d; i++) {
      d = XOpenDisplay(nullptr);
      if (!d)
        usleep(100 * 1000);
    }
    ASSERT_NE(d, nullptr) << "cannot open display " << display;
    fl_open_display(d);
    ASSERT_EQ(fl_display, d);
  }
  win = new CountingWindow(windowWidth(), windowHeight());
  win->color(fl_rgb_color(7, 7, 7));
  win->begin();
}

void WindowTest::TearDown()
{
  Fl::remove_timeout(answerDialog, this);
  // A test that never showed its window leaves it open for new widgets; the next test's
  // window would become a child of the deleted one.
  Fl_Group::current(nullptr);
  if (win) {
    win->hide();
    delete win;
    win = nullptr;
  }
  Fl::check();
}

void WindowTest::show()
{
  win->end();
  win->show();
  CountingWindow* cw = static_cast<CountingWindow*>(win);
  // Bounded by the clock, not by a count of waits: until the server has mapped the window,
  // its pending damage makes every wait return at once, and a loaded server maps late.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (cw->draws == 0 && std::chrono::steady_clock::now() < deadline) {
    Fl::wait(0.01);
    if (cw->draws == 0)
      usleep(1000);
  }
  ASSERT_GT(cw->draws, 0) << "the window was never drawn";
  settle();
}

void WindowTest::settle()
{
  for (int i = 0; i < 10; i++)
    Fl::check();
  XSync(fl_display, False);
}

Rgb WindowTest::pixel(int x, int y)
{
  uchar p[3] = {0, 0, 0};
  Fl_X* xi = Fl_X::i(win);
  win->make_current();
  if (xi && xi->other_xid)
    fl_window = xi->other_xid;
  fl_read_image(p, x, y, 1, 1);
  fl_window = xi ? xi->xid : 0;
  return Rgb{p[0], p[1], p[2]};
}

bool WindowTest::savePng(const std::string& path)
{
  int w = win->w(), h = win->h();
  std::vector<uchar> rgb((size_t)w * h * 3);
  Fl_X* xi = Fl_X::i(win);
  win->make_current();
  if (xi && xi->other_xid)
    fl_window = xi->other_xid;
  fl_read_image(rgb.data(), 0, 0, w, h);
  fl_window = xi ? xi->xid : 0;

  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  cairo_surface_flush(s);
  for (int y = 0; y < h; y++) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + (size_t)y * stride);
    for (int x = 0; x < w; x++) {
      const uchar* p = &rgb[((size_t)y * w + x) * 3];
      row[x] = (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
    }
  }
  cairo_surface_mark_dirty(s);
  bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

int WindowTest::send(Fl_Widget* w, int event, int x, int y, int state, int button)
{
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_x_root = x + win->x();
  Fl::e_y_root = y + win->y();
  Fl::e_state = state;
  if (button)
    Fl::e_keysym = FL_Button + button;
  return w->handle(event);
}

void WindowTest::answerNextDialog(const char* text)
{
  dialogCancel = (text == nullptr);
  dialogText = text ? text : "";
  dialogAnswered = false;
  Fl::add_timeout(0.05, answerDialog, this);
}

void WindowTest::forgetDialogAnswer()
{
  Fl::remove_timeout(answerDialog, this);
}

// Runs inside the dialog's own loop; waits until the dialog is the modal window.
void WindowTest::answerDialog(void* data)
{
  WindowTest* self = static_cast<WindowTest*>(data);
  Fl_Window* dialog = Fl::modal();
  if (!dialog || !dialog->shown()) {
    Fl::repeat_timeout(0.05, answerDialog, self);
    return;
  }
  Fl::e_state = 0;
  if (!self->dialogCancel) {
    // Replace whatever default the dialog offers.
    for (int i = 0; i < 64; i++) {
      Fl::e_keysym = FL_BackSpace;
      Fl::e_text = (char*)"";
      Fl::e_length = 0;
      Fl::handle(FL_KEYBOARD, dialog);
    }
    Fl::e_keysym = 'a';
    Fl::e_text = const_cast<char*>(self->dialogText.c_str());
    Fl::e_length = (int)self->dialogText.size();
    Fl::handle(FL_KEYBOARD, dialog);
    Fl::e_keysym = FL_Enter;
    Fl::e_text = (char*)"\r";
    Fl::e_length = 1;
  } else {
    Fl::e_keysym = FL_Escape;
    Fl::e_text = (char*)"\033";
    Fl::e_length = 1;
  }
  Fl::handle(FL_KEYBOARD, dialog);
  self->dialogAnswered = true;
}

::testing::AssertionResult near(const Rgb& got, const Rgb& want, int tolerance)
{
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " is not " << want;
}

Rgb rgbOf(float r, float g, float b)
{
  return Rgb{(int)std::lround(r * 255), (int)std::lround(g * 255), (int)std::lround(b * 255)};
}

void pressAndRelease(Fl_Widget* b)
{
  Fl::e_x = b->x() + b->w() / 2;
  Fl::e_y = b->y() + b->h() / 2;
  Fl::e_keysym = FL_Button + 1;
  Fl::e_state = 0;
  b->handle(FL_ENTER);
  Fl::e_state = FL_BUTTON1;
  b->handle(FL_PUSH);
  Fl::e_state = 0;
  b->handle(FL_RELEASE);
}
