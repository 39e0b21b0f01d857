// Widgets draw only on a full redraw, and a redraw of one widget repaints what lies under
// it without disturbing its neighbours.

#include <FL/Fl.H>

#include "widgets/background.hxx"
#include "widgets/box.hxx"
#include "widgets/dial.hxx"
#include "widgets/lightbutton.hxx"
#include "window_fixture.hxx"

class RepaintTest : public WindowTest
{
};

TEST_F(RepaintTest, DrawsOnlyOnFullDamage)
{
  Tovk::Box* box = new Tovk::Box(20, 20, 50, 50);
  show();
  EXPECT_TRUE(near(pixel(40, 40), Rgb{0, 0, 0}, 0));
  box->r = 1;
  box->damage(FL_DAMAGE_USER1);
  settle();
  EXPECT_TRUE(near(pixel(40, 40), Rgb{0, 0, 0}, 0));
  box->redraw();
  settle();
  EXPECT_TRUE(near(pixel(40, 40), Rgb{255, 0, 0}, 0));
}

// Two dials on a strip background. Turning one repaints the background under it, but
// only there: the other dial keeps its arc.
TEST_F(RepaintTest, RedrawOfOneWidgetLeavesItsNeighboursAlone)
{
  new Tovk::Background(0, 0, 400, 300, "Track 1");
  Tovk::Dial* a = new Tovk::Dial(20, 40, 60, 60);
  Tovk::Dial* b = new Tovk::Dial(120, 40, 60, 60);
  Tovk::LightButton* lamp = new Tovk::LightButton(200, 40, 50, 25, "Snd");
  a->value(1.0);
  b->value(1.0);
  show();
  auto lit = [](Rgb p) { return p.r > 150 && p.g > 60 && p.b < 40; };
  ASSERT_TRUE(lit(pixel(50, 44)));
  ASSERT_TRUE(lit(pixel(150, 44)));
  Rgb lampDark = pixel(225, 52);

  for (int i = 0; i < 5; i++) {
    a->value(i % 2 ? 1.0 : 0.0);
    lamp->value(i % 2);
    settle();
  }
  EXPECT_FALSE(lit(pixel(50, 44)));
  EXPECT_TRUE(lit(pixel(150, 44))) << "the other dial was painted over";
  EXPECT_TRUE(near(pixel(225, 52), lampDark, 1));
  EXPECT_TRUE(near(pixel(50, 130), Rgb{28, 28, 28}, 1)) << "the background stays as it was";
}
