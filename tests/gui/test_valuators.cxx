// Dials and faders: how drags and the wheel move their values, and where the arcs, handles
// and meters are drawn.

#include <cmath>

#include <FL/Fl.H>

#include "widgets/box.hxx"
#include "widgets/dial.hxx"
#include "widgets/volume.hxx"
#include "window_fixture.hxx"

class ValuatorTest : public WindowTest
{
};

TEST_F(ValuatorTest, DialFollowsVerticalDragAndWheel)
{
  Tovk::Dial* d = new Tovk::Dial(20, 20, 60, 60);
  show();
  CallbackLog log;
  log.attach(d);
  d->value(0.5);

  send(d, FL_PUSH, 50, 100, FL_BUTTON1, 1);
  EXPECT_TRUE(d->mouseClicked);
  // The first drag of a gesture only takes the pointer's place, but reports.
  EXPECT_EQ(send(d, FL_DRAG, 50, 100, FL_BUTTON1), 1);
  EXPECT_EQ(log.calls, 1);
  EXPECT_DOUBLE_EQ(log.lastValue, 0.5);
  send(d, FL_DRAG, 50, 80, FL_BUTTON1);
  EXPECT_FLOAT_EQ((float)d->value(), 0.7f);
  send(d, FL_DRAG, 50, 90, FL_BUTTON1);
  EXPECT_FLOAT_EQ((float)d->value(), 0.6f);
  EXPECT_EQ(log.calls, 3);
  EXPECT_FLOAT_EQ((float)log.lastValue, 0.6f);
  send(d, FL_DRAG, 50, -500, FL_BUTTON1);
  EXPECT_EQ(d->value(), 1.0) << "held at the top";
  EXPECT_EQ(send(d, FL_RELEASE, 50, -500, 0, 1), 1);
  EXPECT_FALSE(d->mouseClicked);
  EXPECT_EQ(log.calls, 4) << "a release reports nothing";

  // A new gesture starts from wherever the pointer is now.
  send(d, FL_PUSH, 50, 200, FL_BUTTON1, 1);
  send(d, FL_DRAG, 50, 200, FL_BUTTON1);
  EXPECT_EQ(d->value(), 1.0);
  send(d, FL_DRAG, 50, 1000, FL_BUTTON1);
  EXPECT_EQ(d->value(), 0.0) << "held at the bottom";
  send(d, FL_RELEASE, 50, 1000, 0, 1);

  // Dragging with another button moves nothing.
  int before = log.calls;
  send(d, FL_PUSH, 50, 100, FL_BUTTON3, 3);
  EXPECT_EQ(send(d, FL_DRAG, 50, 100, FL_BUTTON3), 1);
  EXPECT_EQ(send(d, FL_DRAG, 50, 0, FL_BUTTON3), 1);
  EXPECT_EQ(d->value(), 0.0);
  EXPECT_EQ(log.calls, before);
  send(d, FL_RELEASE, 50, 0, 0, 3);

  struct Wheel
  {
    double from;
    int dy;
    float to;
  } wheels[] = {{0.5, -1, 0.6f}, {0.5, 2, 0.3f}, {1.0, -1, 1.0f}, {0.0, 1, 0.0f}, {0.95, -1, 1.0f}};
  for (const Wheel& w : wheels) {
    SCOPED_TRACE(w.from);
    d->value(w.from);
    int calls = log.calls;
    Fl::e_dy = w.dy;
    EXPECT_EQ(send(d, FL_MOUSEWHEEL, 50, 50), 1);
    EXPECT_FLOAT_EQ((float)d->value(), w.to);
    EXPECT_EQ(log.calls, calls + 1);
  }
}

TEST_F(ValuatorTest, ValueSetByTheOwnerRedraws)
{
  Tovk::Dial* d = new Tovk::Dial(20, 20, 30, 30);
  Tovk::Volume* v = new Tovk::Volume(100, 20, 32, 128);
  show();
  EXPECT_DOUBLE_EQ(v->value(), 0.78);
  d->value(0.25);
  v->value(0.25);
  EXPECT_TRUE(d->damage() & FL_DAMAGE_ALL);
  EXPECT_TRUE(v->damage() & FL_DAMAGE_ALL);
}

TEST_F(ValuatorTest, FaderFollowsDragAlongItsLength)
{
  Tovk::Volume* vert = new Tovk::Volume(20, 20, 32, 200);
  Tovk::Volume* horiz = new Tovk::Volume(100, 20, 200, 30);
  horiz->setOrientationHorizontal();
  Tovk::Volume* flat = new Tovk::Volume(100, 100, 32, 0);
  show();

  struct Case
  {
    Tovk::Volume* fader;
    double from;
    int dx, dy;
    float to;
  } cases[] = {
    {vert, 0.5, 0, -50, 0.75f},  {vert, 0.5, 30, 20, 0.4f},   {vert, 0.78, 0, -50, 1.0f},
    {vert, 0.1, 0, 100, 0.0f},   {horiz, 0.5, 50, 0, 0.75f},  {horiz, 0.5, -20, -90, 0.4f},
    {horiz, 0.9, 100, 0, 1.0f},  {flat, 0.5, 0, -50, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.fader == vert ? "vertical " : "horizontal ")
                                    << c.from << " by " << c.dx << "," << c.dy);
    CallbackLog log;
    log.attach(c.fader);
    c.fader->value(c.from);
    EXPECT_EQ(send(c.fader, FL_PUSH, 120, 120, FL_BUTTON1, 1), 1);
    send(c.fader, FL_DRAG, 120, 120, FL_BUTTON1);
    EXPECT_EQ(log.calls, 1);
    EXPECT_DOUBLE_EQ(log.lastValue, c.from);
    send(c.fader, FL_DRAG, 120 + c.dx, 120 + c.dy, FL_BUTTON1);
    EXPECT_FLOAT_EQ((float)c.fader->value(), c.to);
    EXPECT_EQ(log.calls, 2);
    EXPECT_EQ(send(c.fader, FL_RELEASE, 120 + c.dx, 120 + c.dy, 0, 1), 1);
    EXPECT_EQ(log.calls, 2);
  }

  CallbackLog log;
  log.attach(vert);
  vert->value(0.5);
  Fl::e_dy = -3;
  EXPECT_EQ(send(vert, FL_MOUSEWHEEL, 30, 30), 1);
  EXPECT_EQ(send(vert, FL_ENTER, 30, 30), 1);
  send(vert, FL_PUSH, 30, 30, FL_BUTTON2, 2);
  EXPECT_EQ(send(vert, FL_DRAG, 30, 0, FL_BUTTON2), 1);
  EXPECT_EQ(vert->value(), 0.5);
  EXPECT_EQ(log.calls, 0);
}

TEST_F(ValuatorTest, MeterLevelsIgnoreSmallChangesAndSilence)
{
  Tovk::Volume* v = new Tovk::Volume(20, 20, 32, 128);
  show();
  v->setAmplitude(0.5f, 0.5f);
  EXPECT_FLOAT_EQ(v->levelLeft, 0.5f);

  struct Case
  {
    float left, right;
    float storedLeft, storedRight;
    bool redraws;
  } cases[] = {
    {0.05f, 0.05f, 0.f, 0.f, true},     {0.52f, 0.51f, 0.5f, 0.5f, false},
    {0.53f, 0.5f, 0.53f, 0.5f, true},   {0.5f, 0.524f, 0.5f, 0.5f, false},
    {0.5f, 0.09f, 0.5f, 0.f, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << ", " << c.right);
    v->levelLeft = 0.5f;
    v->levelRight = 0.5f;
    settle();
    v->setAmplitude(c.left, c.right);
    EXPECT_FLOAT_EQ(v->levelLeft, c.storedLeft);
    EXPECT_FLOAT_EQ(v->levelRight, c.storedRight);
    EXPECT_EQ((v->damage() & FL_DAMAGE_ALL) != 0, c.redraws);
  }
}

// A vertical fader 32 x 200 at (100, 20) on a black panel: its face is the grid grey at
// 0.4 (26), the left meter's column is x = 109, the handle's top edge is at
// y = 22 + 176 (1 - value).
TEST_F(ValuatorTest, FaderShowsHandleAndMeters)
{
  new Tovk::Box(0, 0, 400, 300);
  Tovk::Volume* v = new Tovk::Volume(100, 20, 32, 200);
  Tovk::Volume* h = new Tovk::Volume(180, 100, 200, 30);
  h->setOrientationHorizontal();
  show();
  const Rgb face{26, 26, 26}, meter{21, 53, 74};
  const Rgb accent = rgbOf(1.0f, 0.48f, 0.0f);

  v->value(1.0);
  settle();
  EXPECT_TRUE(near(pixel(110, 22), accent, 15));
  EXPECT_TRUE(near(pixel(110, 198), face));
  v->value(0.0);
  settle();
  EXPECT_TRUE(near(pixel(110, 22), face)) << "the old handle is gone";
  EXPECT_TRUE(near(pixel(110, 198), accent, 15));
  v->value(0.5);
  settle();
  EXPECT_TRUE(near(pixel(110, 110), accent, 15));
  v->value(5.0);
  settle();
  EXPECT_TRUE(near(pixel(110, 22), accent, 15)) << "out of range draws at the end";
  v->value(0.78);

  EXPECT_TRUE(near(pixel(109, 160), face));
  v->setAmplitude(0.5f, 0.9f);
  settle();
  EXPECT_TRUE(near(pixel(109, 160), meter));
  EXPECT_TRUE(near(pixel(109, 100), face));
  EXPECT_TRUE(near(pixel(122, 100), meter)) << "right meter";
  v->setAmplitude(0.9f, 0.9f);
  settle();
  EXPECT_TRUE(near(pixel(109, 100), meter));
  v->setAmplitude(0.f, 0.f);
  settle();
  EXPECT_TRUE(near(pixel(109, 100), face)) << "a falling meter leaves nothing behind";
  EXPECT_TRUE(near(pixel(109, 160), face));
  v->setAmplitude(3.f, 3.f);
  settle();
  EXPECT_TRUE(near(pixel(109, 30), meter));
  EXPECT_TRUE(near(pixel(109, 10), Rgb{0, 0, 0})) << "an overload stays inside the fader";

  // Horizontal: meters grow from the left edge, the handle moves right.
  h->setAmplitude(0.5f, 0.5f);
  h->value(1.0);
  settle();
  EXPECT_TRUE(near(pixel(230, 110), meter));
  EXPECT_TRUE(near(pixel(330, 110), face));
  EXPECT_TRUE(near(pixel(378 - 20, 106), accent, 15));
}

// A dial 60 x 60 at (20, 20) on a black panel: radius 27 around (50, 50), so the top of its
// track is at (50, 23); (62, 26) lies on the track right of the top, (26, 38) left of it.
TEST_F(ValuatorTest, DialArcsAndNeedle)
{
  new Tovk::Box(0, 0, 400, 300);
  Tovk::Dial* d = new Tovk::Dial(20, 20, 60, 60);
  show();
  const Rgb track{26, 26, 26};
  auto lit = [](Rgb p) { return p.r > 150 && p.g > 60 && p.b < 40; };

  struct Case
  {
    bool bipolar;
    double value;
    bool top, right, left, needleUp;
  } cases[] = {
    {false, 0.0, false, false, false, false}, {false, 1.0, true, true, true, false},
    {false, 0.85, true, true, true, false},   {false, 0.3, false, false, true, false},
    // Centred: the needle alone, pointing up.
    {true, 0.5, true, false, false, true},    {true, 0.85, true, true, false, false},
    {true, 0.2, true, false, true, false},    {false, NAN, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.bipolar ? "bipolar " : "") << c.value);
    d->bipolar = c.bipolar;
    d->value(c.value);
    d->redraw();
    settle();
    EXPECT_EQ(lit(pixel(50, 24)), c.top) << pixel(50, 24);
    EXPECT_EQ(lit(pixel(62, 26)), c.right) << pixel(62, 26);
    EXPECT_EQ(lit(pixel(26, 38)), c.left) << pixel(26, 38);
    EXPECT_EQ(lit(pixel(50, 38)), c.needleUp) << pixel(50, 38);
  }
  d->bipolar = false;
  d->value(0.0);
  settle();
  EXPECT_TRUE(near(pixel(50, 23), track, 4)) << "an emptied dial shows only its track";
}
