// Strip backgrounds, panels, pictures and the waveform view.

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <FL/Fl.H>

#include "widgets/background.hxx"
#include "widgets/box.hxx"
#include "widgets/image.hxx"
#include "widgets/waveform.hxx"
#include "window_fixture.hxx"

class PanelTest : public WindowTest
{
};

TEST_F(PanelTest, TitleBandRenamesOnRightClickOnly)
{
  std::string title = "Track 1";
  Tovk::Background* bg = new Tovk::Background(10, 10, 110, 250, title.c_str());
  title = "changed";
  show();
  EXPECT_STREQ(bg->label(), "Track 1") << "the title is the widget's own copy";
  // The owner hears of a new name only.
  CallbackLog renamed;
  renamed.attach(bg);

  answerNextDialog("Bass");
  EXPECT_EQ(send(bg, FL_PUSH, 50, 25, FL_BUTTON3, 3), 1);
  EXPECT_TRUE(dialogSeen());
  EXPECT_STREQ(bg->label(), "Bass");
  EXPECT_EQ(renamed.calls, 1);

  answerNextDialog(nullptr);
  EXPECT_EQ(send(bg, FL_PUSH, 50, 15, FL_BUTTON3, 3), 1);
  EXPECT_TRUE(dialogSeen());
  EXPECT_STREQ(bg->label(), "Bass") << "a cancelled dialog keeps the title";
  EXPECT_EQ(renamed.calls, 1);

  // Below the band, or with the left button: no dialog, but the push is still taken.
  for (int button : {1, 3}) {
    int y = button == 3 ? 30 : 20;
    answerNextDialog("Drums");
    EXPECT_EQ(send(bg, FL_PUSH, 50, y, button == 1 ? FL_BUTTON1 : FL_BUTTON3, button), 1);
    settle();
    EXPECT_FALSE(dialogSeen());
    forgetDialogAnswer();
  }
  EXPECT_STREQ(bg->label(), "Bass");
  EXPECT_EQ(renamed.calls, 1);
  EXPECT_EQ(send(bg, FL_RELEASE, 50, 50, 0, 1), 1);
  EXPECT_EQ(send(bg, FL_DRAG, 50, 50, FL_BUTTON1), 1);
  EXPECT_EQ(send(bg, FL_MOVE, 50, 50), 0);
}

TEST_F(PanelTest, BackgroundBoxAndImageLook)
{
  new Tovk::Background(10, 10, 110, 250, "Master");
  new Tovk::Box(200, 10, 50, 50);
  static unsigned char pixels[20 * 10 * 4];
  for (int i = 0; i < 20 * 10; i++) {
    pixels[i * 4 + 0] = (unsigned char)(i % 20 < 10 ? 200 : 20);
    pixels[i * 4 + 1] = 100;
    pixels[i * 4 + 2] = 50;
    pixels[i * 4 + 3] = 255;
  }
  Tovk::Image* img = new Tovk::Image(300, 10, 20, 10);
  img->pixels = pixels;
  new Tovk::Image(300, 40, 20, 10); // no pixels yet: draws nothing
  show();

  EXPECT_TRUE(near(pixel(60, 150), Rgb{28, 28, 28}));
  EXPECT_TRUE(near(pixel(225, 35), Rgb{0, 0, 0}));
  EXPECT_TRUE(near(pixel(305, 15), Rgb{200, 100, 50}, 0));
  EXPECT_TRUE(near(pixel(315, 15), Rgb{20, 100, 50}, 0));
  EXPECT_TRUE(near(pixel(305, 45), Rgb{7, 7, 7}, 0));

  // The title in blue in its band, the blue rule under it, the grey border around.
  int bluePixels = 0;
  for (int x = 20; x < 60; x++)
    for (int y = 14; y < 25; y++) {
      Rgb p = pixel(x, y);
      if (p.b > 120 && p.r < 60)
        bluePixels++;
    }
  EXPECT_GT(bluePixels, 20);
  Rgb rule = pixel(60, 30);
  EXPECT_GT(rule.b, 150);
  EXPECT_LT(rule.r, 60);
  Rgb edge = pixel(10, 150);
  EXPECT_EQ(edge.r, edge.b);
  EXPECT_GT(edge.r, 40);
}

TEST_F(PanelTest, ImageKeepsItsSizeAndCanKeepToTheRightEdge)
{
  Tovk::Image* logo = new Tovk::Image(0, 0, 130, 36);
  Tovk::Image* maker = new Tovk::Image(400 - 270, 0, 270, 36);
  maker->stickToRight = true;
  win->resizable(win);
  show();
  CallbackLog log;
  log.attach(logo);
  EXPECT_EQ(send(logo, FL_PUSH, 10, 10, FL_BUTTON1, 1), 1);
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(send(logo, FL_RELEASE, 10, 10, 0, 1), 1);
  EXPECT_EQ(log.calls, 1);

  win->size(700, 300);
  settle();
  EXPECT_EQ(logo->X, 0);
  EXPECT_EQ(logo->W, 130);
  EXPECT_EQ(maker->X, 700 - 270);
  EXPECT_EQ(maker->W, 270);
  EXPECT_EQ(maker->H, 36);
  // Clicks and repaints go where the picture is.
  EXPECT_EQ(maker->x(), 700 - 270);
  EXPECT_EQ(maker->w(), 270);
}

// A waveform view 200 x 100 at (20, 20); its centre line is y = 70, and an average
// magnitude of 1 reaches 40 pixels from it.
class WaveformTest : public WindowTest
{
protected:
  bool white(int x, int y)
  {
    Rgb p = pixel(x, y);
    return p.r > 200 && p.g > 200 && p.b > 200;
  }
  void show(Tovk::Waveform* w, std::vector<float> data)
  {
    w->data = std::move(data);
    w->newWaveform = true;
    w->redraw();
    settle();
  }
};

TEST_F(WaveformTest, EmptyDataShowsTheCrossedPanel)
{
  Tovk::Waveform* w = new Tovk::Waveform(20, 20, 200, 100);
  w->data.clear();
  WindowTest::show();
  // A diagonal runs through (30, 25); beside it the panel is the plain background.
  Rgb diagonal = pixel(30, 25), plain = pixel(30, 35);
  EXPECT_GT(diagonal.r, plain.r + 5);
  EXPECT_TRUE(near(plain, Rgb{26, 26, 26}));
  int textPixels = 0;
  for (int x = 55; x < 200; x++)
    for (int y = 60; y < 82; y++)
      if (pixel(x, y).r > 110)
        textPixels++;
  EXPECT_GT(textPixels, 50) << "\"No data loaded\"";
  EXPECT_TRUE(near(pixel(20, 60), rgbOf(100 / 255.f, 100 / 255.f, 100 / 255.f), 40))
    << "border";
}

TEST_F(WaveformTest, ColumnsReachByTheirMeanMagnitude)
{
  Tovk::Waveform* w = new Tovk::Waveform(20, 20, 200, 100);
  WindowTest::show();
  EXPECT_EQ(w->data.size(), 200u);
  EXPECT_FALSE(w->newWaveform);
  EXPECT_FALSE(white(100, 60)) << "silence is the centre line only";
  EXPECT_FALSE(white(100, 80));

  // Left half +1, right half -1, 8 samples a column.
  std::vector<float> data(1600);
  for (size_t i = 0; i < data.size(); i++)
    data[i] = i < 800 ? 1.f : -1.f;
  show(w, data);
  EXPECT_TRUE(white(60, 100));
  EXPECT_FALSE(white(60, 40));
  EXPECT_TRUE(white(160, 40));
  EXPECT_FALSE(white(160, 100));

  // A column of 8 samples of which 4 are 1: mean 0.5 reaches less far.
  for (size_t i = 0; i < data.size(); i++)
    data[i] = (i % 8) < 4 ? 1.f : 0.f;
  show(w, data);
  EXPECT_TRUE(white(60, 90));
  EXPECT_FALSE(white(60, 105));
}

TEST_F(WaveformTest, FewSamplesAndDamagedSamplesStillDraw)
{
  Tovk::Waveform* w = new Tovk::Waveform(20, 20, 200, 100);
  WindowTest::show();
  // Fewer samples than columns: each column shows the sample under it.
  show(w, std::vector<float>(50, 1.f));
  EXPECT_TRUE(white(30, 100));
  EXPECT_TRUE(white(210, 100));

  // NaN and infinity read as silence, and the view keeps working afterwards.
  std::vector<float> bad(400, std::numeric_limits<float>::quiet_NaN());
  bad[0] = std::numeric_limits<float>::infinity();
  show(w, bad);
  EXPECT_FALSE(white(100, 100));
  show(w, std::vector<float>(400, std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(white(100, 100));
  EXPECT_FALSE(white(100, 40));
  // A damaged sample among good ones leaves the column's good mean.
  std::vector<float> mixed(400, 1.f);
  mixed[200] = std::numeric_limits<float>::quiet_NaN();
  show(w, mixed);
  EXPECT_TRUE(white(120, 100));
  show(w, std::vector<float>(400, 1.f));
  EXPECT_TRUE(white(100, 100));
}

TEST_F(WaveformTest, ResizeStartsAFreshPictureOfTheNewSize)
{
  Tovk::Waveform* w = new Tovk::Waveform(20, 20, 200, 100);
  WindowTest::show();
  show(w, std::vector<float>(800, 1.f));
  EXPECT_TRUE(white(200, 100));

  EXPECT_EQ(send(w, FL_PUSH, 50, 50, FL_BUTTON1, 1), 0) << "the view takes no events";
  testing::internal::CaptureStdout();
  w->resize(20, 20, 100, 100);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Waveform new size 200, from 200\n");
  EXPECT_EQ(w->data.size(), 100u);
  EXPECT_TRUE(w->newWaveform);
  win->redraw();
  settle();
  EXPECT_TRUE(near(pixel(200, 100), Rgb{7, 7, 7}, 0)) << "nothing painted beyond the view";
  EXPECT_TRUE(white(60, 100)) << "the first 100 samples are kept, one a column";
  EXPECT_TRUE(near(pixel(119, 60), rgbOf(100 / 255.f, 100 / 255.f, 100 / 255.f), 40))
    << "border at the new edge";

  testing::internal::CaptureStdout();
  w->resize(20, 20, 300, 100);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Waveform new size 300, from 100\n");
  EXPECT_EQ(w->data.size(), 300u);
  show(w, std::vector<float>(300, 1.f));
  EXPECT_TRUE(white(310, 100)) << "the picture grew with the view";
}
