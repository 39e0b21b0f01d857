// Push buttons, lamps and the progress ring: what the pointer does to them and how their
// states look.

#include <FL/Fl.H>

#include "widgets/box.hxx"
#include "widgets/button.hxx"
#include "widgets/lightbutton.hxx"
#include "widgets/radialstatus.hxx"
#include "window_fixture.hxx"

class ButtonTest : public WindowTest
{
};

TEST_F(ButtonTest, FiresOnReleaseOnlyWhenThePointerStayedOn)
{
  Tovk::Button* b = new Tovk::Button(20, 20, 44, 28, "Stop");
  Tovk::RadialStatus* ring = new Tovk::RadialStatus(100, 20, 100, 100);
  show();
  // The ring behaves as a push button too.
  for (Fl_Widget* w : {(Fl_Widget*)b, (Fl_Widget*)ring}) {
    SCOPED_TRACE(w == b ? "button" : "ring");
    CallbackLog log;
    log.attach(w);
    int x = w->x() + 5, y = w->y() + 5;

    EXPECT_EQ(send(w, FL_PUSH, x, y, FL_BUTTON1, 1), 1);
    EXPECT_TRUE(w->damage() & FL_DAMAGE_ALL);
    EXPECT_EQ(log.calls, 0);
    EXPECT_EQ(send(w, FL_RELEASE, x, y, 0, 1), 1);
    EXPECT_EQ(log.calls, 1);

    // Dragged off and released outside: no callback; back inside: it fires again.
    send(w, FL_PUSH, x, y, FL_BUTTON1, 1);
    EXPECT_EQ(send(w, FL_DRAG, 390, 290, FL_BUTTON1), 1);
    EXPECT_EQ(send(w, FL_RELEASE, 390, 290, 0, 1), 1);
    EXPECT_EQ(log.calls, 1);
    send(w, FL_PUSH, x, y, FL_BUTTON1, 1);
    send(w, FL_DRAG, 390, 290, FL_BUTTON1);
    send(w, FL_DRAG, x, y, FL_BUTTON1);
    send(w, FL_RELEASE, x, y, 0, 1);
    EXPECT_EQ(log.calls, 2);

    // A release without a press fires nothing.
    send(w, FL_RELEASE, x, y, 0, 1);
    EXPECT_EQ(log.calls, 2);
  }
  EXPECT_FALSE(b->mouseClicked);

  b->greyOut = true;
  CallbackLog log;
  log.attach(b);
  send(b, FL_PUSH, 25, 25, FL_BUTTON1, 1);
  send(b, FL_RELEASE, 25, 25, 0, 1);
  EXPECT_EQ(log.calls, 1) << "a greyed button still fires";

  EXPECT_EQ(send(b, FL_ENTER, 25, 25), 1);
  EXPECT_TRUE(b->mouseOver);
  EXPECT_EQ(send(b, FL_LEAVE, 300, 200), 1);
  EXPECT_FALSE(b->mouseOver);
  // Keys are not the button's: the main window's keyboard map sees them.
  EXPECT_EQ(send(b, FL_KEYBOARD, 25, 25), 0);
  EXPECT_EQ(send(b, FL_FOCUS, 25, 25), 0);
}

TEST_F(ButtonTest, ShortcutFiresOnlyForItsKey)
{
  Tovk::Button* b = new Tovk::Button(20, 20, 44, 28, "Tap");
  Tovk::LightButton* lamp = new Tovk::LightButton(80, 20, 44, 28, "&Metro");
  b->shortcut('t');
  show();
  CallbackLog bl, ll;
  bl.attach(b);
  ll.attach(lamp);
  Fl::e_keysym = 't';
  Fl::e_text = (char*)"t";
  Fl::e_length = 1;
  EXPECT_EQ(send(b, FL_SHORTCUT, 0, 0), 1);
  EXPECT_EQ(send(lamp, FL_SHORTCUT, 0, 0), 0);
  Fl::e_keysym = 'm';
  Fl::e_text = (char*)"M";
  EXPECT_EQ(send(b, FL_SHORTCUT, 0, 0), 0);
  EXPECT_EQ(send(lamp, FL_SHORTCUT, 0, 0), 1) << "the label's & letter";
  EXPECT_EQ(bl.calls, 1);
  EXPECT_EQ(ll.calls, 1);
}

TEST_F(ButtonTest, LampFiresOnPressAndLeavesItsValueToTheOwner)
{
  Tovk::LightButton* lamp = new Tovk::LightButton(20, 20, 50, 25, "Snd");
  show();
  CallbackLog log;
  log.attach(lamp);
  EXPECT_EQ(send(lamp, FL_PUSH, 30, 30, FL_BUTTON1, 1), 1);
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(lamp->value(), 0);
  EXPECT_EQ(send(lamp, FL_RELEASE, 30, 30, 0, 1), 1);
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(send(lamp, FL_ACTIVATE, 30, 30), 1);
  EXPECT_EQ(send(lamp, FL_DEACTIVATE, 30, 30), 1);
  EXPECT_EQ(send(lamp, FL_ENTER, 30, 30), 1);
  EXPECT_TRUE(lamp->mouseOver);
  EXPECT_EQ(send(lamp, FL_LEAVE, 300, 200), 1);
  EXPECT_FALSE(lamp->mouseOver);
  EXPECT_EQ(log.calls, 1);
}

// Over a black panel, a dark lamp shows its background at 0.4, a lit one adds its colour at
// 0.4; going dark again brings back exactly the dark look.
TEST_F(ButtonTest, LampLitAndDark)
{
  new Tovk::Box(0, 0, 400, 300);
  Tovk::LightButton* green = new Tovk::LightButton(20, 20, 50, 25, "");
  green->colour = {0, 1, 0};
  Tovk::LightButton* red = new Tovk::LightButton(100, 20, 50, 25, "");
  red->colour = {1, 0, 0};
  red->value(1);
  show();

  const Rgb dark{11, 11, 11};
  EXPECT_TRUE(near(pixel(45, 32), dark));
  EXPECT_TRUE(near(pixel(125, 32), Rgb{109, 7, 7}));

  green->value(1);
  settle();
  EXPECT_TRUE(near(pixel(45, 32), Rgb{7, 109, 7}));
  for (int i = 0; i < 3; i++) {
    green->value(0);
    settle();
    green->value(1);
    settle();
  }
  green->value(0);
  settle();
  EXPECT_TRUE(near(pixel(45, 32), dark)) << "a lamp going dark keeps no trace of its light";
  EXPECT_TRUE(near(pixel(125, 32), Rgb{109, 7, 7})) << "the neighbour is untouched";

  // The outline is the lamp's colour, brighter under the pointer.
  Rgb edge = pixel(21, 32);
  EXPECT_GT(edge.g, 60);
  EXPECT_LT(edge.r, 20);
  send(green, FL_ENTER, 30, 30);
  settle();
  EXPECT_GT(pixel(21, 32).g, edge.g);
}

TEST_F(ButtonTest, ButtonPressedAndGreyedLooks)
{
  Tovk::Button* b = new Tovk::Button(20, 20, 44, 28, "");
  Tovk::Button* grey = new Tovk::Button(100, 20, 44, 28, "");
  grey->greyOut = true;
  grey->bgColour = {0.3f, 0.0f, 0.0f};
  grey->mouseClicked = true;
  show();

  EXPECT_TRUE(near(pixel(40, 34), Rgb{28, 28, 28}));
  Rgb outline = pixel(21, 34);
  EXPECT_GT(outline.r, outline.g);
  EXPECT_GT(outline.g, outline.b);

  send(b, FL_PUSH, 30, 30, FL_BUTTON1, 1);
  settle();
  EXPECT_TRUE(near(pixel(40, 34), Rgb{119, 66, 17}));
  send(b, FL_RELEASE, 30, 30, 0, 1);
  settle();
  EXPECT_TRUE(near(pixel(40, 34), Rgb{28, 28, 28}));

  // Greyed: the fill is the mean of its background, the outline the mean of its colour,
  // and a press does not show.
  EXPECT_TRUE(near(pixel(120, 34), Rgb{26, 26, 26}));
  Rgb g = pixel(101, 34);
  EXPECT_EQ(g.r, g.g);
  EXPECT_EQ(g.g, g.b);
  EXPECT_GT(g.r, 60);
}

// Ring of radius 40 around (200, 70) over a black panel.
TEST_F(ButtonTest, RingAdvancesInSixteenStepsAndShowsRecording)
{
  new Tovk::Box(0, 0, 400, 300);
  Tovk::RadialStatus* ring = new Tovk::RadialStatus(150, 20, 100, 100);
  show();
  // Points on the ring in the middle of the first and of the last sixteenth.
  struct Point
  {
    int x, y;
  };
  const Point firstStep{214, 33}, lastStep{193, 30};
  const Rgb accent = rgbOf(1.0f, 0.48f, 0.0f);
  auto at = [&](Point p) { return pixel(p.x, p.y); };

  EXPECT_TRUE(near(at(firstStep), Rgb{0, 0, 0}));
  EXPECT_TRUE(near(pixel(200, 70), Rgb{77, 77, 77})) << "grey centre dot";

  struct Case
  {
    double value;
    bool first, last;
  } cases[] = {{0.0, false, false}, {0.0624, false, false}, {0.0625, true, false},
               {0.99, true, false}, {1.0, true, true},      {7.0, true, true},
               {-1.0, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ring->value(c.value);
    settle();
    EXPECT_EQ(near(at(firstStep), accent, 8), c.first) << at(firstStep);
    EXPECT_EQ(near(at(lastStep), accent, 8), c.last) << at(lastStep);
  }

  ring->recording = true;
  ring->redraw();
  settle();
  EXPECT_TRUE(near(pixel(200, 45), Rgb{204, 0, 0})) << "red disc";
  EXPECT_TRUE(near(pixel(200, 70), Rgb{0, 0, 0})) << "black centre dot";
  ring->recording = false;
  ring->redraw();
  settle();
  EXPECT_TRUE(near(pixel(200, 45), Rgb{0, 0, 0}));
}
