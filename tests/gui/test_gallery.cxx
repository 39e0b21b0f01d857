// Every widget in a few states, in one window, saved as a picture to look at.

#include <cmath>
#include <string>
#include <sys/stat.h>

#include "widgets/background.hxx"
#include "widgets/box.hxx"
#include "widgets/button.hxx"
#include "widgets/dial.hxx"
#include "widgets/image.hxx"
#include "widgets/lightbutton.hxx"
#include "widgets/radialstatus.hxx"
#include "widgets/volume.hxx"
#include "widgets/waveform.hxx"
#include "window_fixture.hxx"

class Gallery : public WindowTest
{
protected:
  int windowWidth() const override { return 760; }
  int windowHeight() const override { return 470; }
};

TEST_F(Gallery, EveryWidgetInItsStates)
{
  // A header strip like the main window's: a vertical gradient.
  static unsigned char header[760 * 36 * 4];
  for (int y = 0; y < 36; y++)
    for (int x = 0; x < 760; x++) {
      unsigned char v = (unsigned char)(40 - (33 * y) / 35);
      unsigned char* p = &header[(y * 760 + x) * 4];
      p[0] = p[1] = p[2] = v;
      p[3] = 255;
    }
  Tovk::Image* headerImage = new Tovk::Image(0, 0, 760, 36);
  headerImage->pixels = header;

  // A track strip's worth of widgets.
  new Tovk::Background(8, 40, 110, 420, "Track 1");
  Tovk::RadialStatus* ring = new Tovk::RadialStatus(13, 66, 100, 100);
  ring->value(0.6);
  new Tovk::Box(13, 172, 100, 45);
  Tovk::Dial* fxDial = new Tovk::Dial(29, 180, 30, 30);
  fxDial->value(1.0);
  Tovk::LightButton* fx = new Tovk::LightButton(74, 183, 36, 25, "FX");
  fx->colour = {1, 1, 0};
  fx->value(1);
  new Tovk::Box(13, 222, 58, 232);
  new Tovk::Box(75, 222, 40, 232);
  Tovk::Dial* send = new Tovk::Dial(27, 230, 30, 30);
  send->value(0.35);
  Tovk::LightButton* snd = new Tovk::LightButton(17, 262, 50, 25, "Snd");
  snd->colour = {0, 1, 0};
  snd->value(1);
  Tovk::Dial* pan = new Tovk::Dial(81, 229, 30, 30);
  pan->bipolar = true;
  pan->value(0.3);
  Tovk::LightButton* key = new Tovk::LightButton(17, 331, 50, 25, "Key");
  key->colour = {0, 0.6f, 1};
  Tovk::LightButton* xrec = new Tovk::LightButton(17, 362, 50, 25, "XRec");
  xrec->colour = {1, 0, 0};
  Tovk::Dial* xside = new Tovk::Dial(27, 299, 30, 30);
  xside->value(0.0);
  Tovk::Volume* fader = new Tovk::Volume(78, 263, 32, 188);
  fader->setAmplitude(0.7f, 0.55f);

  // A second strip, recording, with other states.
  new Tovk::Background(126, 40, 110, 420, "Track 2");
  Tovk::RadialStatus* ring2 = new Tovk::RadialStatus(131, 66, 100, 100);
  ring2->value(0.99);
  ring2->recording = true;
  new Tovk::Box(131, 172, 100, 282);
  Tovk::Dial* pan2 = new Tovk::Dial(145, 180, 30, 30);
  pan2->bipolar = true;
  pan2->value(0.5);
  Tovk::Dial* pan3 = new Tovk::Dial(190, 180, 30, 30);
  pan3->bipolar = true;
  pan3->value(0.85);
  new Tovk::Button(140, 225, 44, 28, "Stop");
  Tovk::Button* tap = new Tovk::Button(140, 258, 44, 28, "Tap");
  tap->mouseClicked = true;
  Tovk::Button* grey = new Tovk::Button(140, 291, 44, 28, "Grey");
  grey->greyOut = true;
  Tovk::Button* over = new Tovk::Button(140, 324, 44, 28, "Over");
  over->mouseOver = true;
  Tovk::LightButton* metro = new Tovk::LightButton(140, 357, 44, 28, "Metro");
  metro->value(1);
  Tovk::Dial* bpm = new Tovk::Dial(138, 396, 45, 38, "120");
  bpm->align(FL_ALIGN_CENTER);
  bpm->value((120 - 60) / 160.0);
  const Tovk::Colour beats[4] = {{1, 0, 0}, {1.0f, 0.48f, 0.0f}, {1, 1, 0}, {0, 1, 0}};
  for (int i = 0; i < 4; i++) {
    Tovk::LightButton* b = new Tovk::LightButton(190, 225 + 54 * i / 2, 36, 24);
    b->colour = beats[i];
    b->value(i == 2);
  }
  Tovk::Volume* master = new Tovk::Volume(195, 345, 32, 105);
  master->value(0.3);
  master->setAmplitude(0.95f, 0.4f);

  // Input fader, horizontal, and waveforms.
  new Tovk::Box(244, 40, 508, 60);
  Tovk::Volume* input = new Tovk::Volume(250, 50, 132, 30);
  input->setOrientationHorizontal();
  input->value(0.5);
  input->setAmplitude(0.6f, 0.8f);
  Tovk::Dial* ret = new Tovk::Dial(400, 45, 45, 45, "Return");
  ret->align(FL_ALIGN_CENTER);
  ret->value(1.0);

  Tovk::Waveform* wave = new Tovk::Waveform(244, 110, 508, 170);
  std::vector<float> samples(508 * 200);
  for (size_t i = 0; i < samples.size(); i++) {
    double t = (double)i / samples.size();
    double env = std::exp(-6.0 * std::fmod(t * 4, 1.0));
    samples[i] = (float)(env * std::sin(i * 0.05) * (0.3 + 0.7 * t));
  }
  wave->data = samples;
  Tovk::Waveform* empty = new Tovk::Waveform(244, 290, 508, 170);
  empty->data.clear();

  show();

  std::string dir = VESKO_SCREENSHOT_DIR;
  mkdir(dir.c_str(), 0775);
  ASSERT_TRUE(savePng(dir + "/widgets.png"));
}
