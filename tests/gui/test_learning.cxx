// Teaching a controller from the options window, end to end: the whole interface and the
// real engine on a private jackd, a JACK MIDI peer as the device, the window on the X
// server in DISPLAY.

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Tabs.H>
#include <cjson/cJSON.h>
#include <jack/transport.h>

#include "dialog.hxx"
#include "diskwriter.hxx"
#include "eventhandler.hxx"
#include "goptions.hxx"
#include "gtrack.hxx"
#include "gui.hxx"
#include "jack.hxx"
#include "midiclient.hxx"
#include "process.hxx"
#include "widgets/button.hxx"
#include "widgets/lightbutton.hxx"
#include "widgets/volume.hxx"
#include "window_fixture.hxx"

namespace
{
void click(Fl_Widget* b) { pressAndRelease(b); }

std::string readFile(const std::string& path)
{
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
} // namespace

class LearningTest : public WindowTest
{
protected:
  void SetUp() override
  {
    WindowTest::SetUp();
    if (HasFatalFailure())
      return;
    win->end();
    delete win;
    win = nullptr;
    ASSERT_TRUE(server.ok());
    setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    char tmpl[] = "/tmp/vesko-learn-XXXXXX";
    home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    unsetenv("NSM_URL");
    if (!rbToDsp)
      createEventQueues();
    g = new Gui("vesko");
    ASSERT_TRUE(Jack::setup("Vesko"));
    g->setSamplerate(jack->getSamplerate());
    g->engineReady();
    g->getWindow()->show();
    ASSERT_TRUE(device.open(server.name(), "device"));
    // The engine reads MIDI only while the transport rolls.
    jack_transport_start(device.handle());
  }

  void TearDown() override
  {
    dialog::inputAnswerer = nullptr;
    if (g) {
      g->quit();
      delete g;
      g = nullptr;
    }
    WindowTest::TearDown();
    (void)system(("rm -rf '" + home + "'").c_str());
  }

  // Runs the interface (its queue drain and its loop) until done() holds, up to timeoutMs.
  bool runUntil(const std::function<bool()>& done, int timeoutMs)
  {
    long long end = e2e::nowMs() + timeoutMs;
    while (e2e::nowMs() < end) {
      handleGuiEvents();
      if (done())
        return true;
      Fl::wait(0.01);
    }
    handleGuiEvents();
    return done();
  }

  std::string ports()
  {
    return e2e::runCommand({"jack_lsp"}, server.env(), 10000);
  }

  e2e::JackServer server;
  e2e::MidiClient device;
  Gui* g = nullptr;
  std::string home;
};

TEST_F(LearningTest, AFaderIsLearntFromOneMessageSavedAndTheControllerRemoved)
{
  OptionsWindow* options = g->getOptionsWindow();
  options->show();
  dialog::inputAnswerer = [](const char*, const char*) { return "learner"; };
  click(options->getNewButton());
  ASSERT_EQ(options->getPages().size(), 1u);
  ControllerUI* page = options->getPages()[0];
  ASSERT_TRUE(runUntil([&] { return device.connect("Vesko:learner in", "Vesko:learner out"); }, 5000))
    << ports();

  // Learning on, then a gesture on track 2's fader names the target on the page.
  click(page->bindEnable);
  ASSERT_TRUE(page->getBindEnable());
  Tovk::Volume* fader = g->getTrack(1)->getVolume();
  int x = fader->x() + fader->w() / 2, y = fader->y() + fader->h() / 2;
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_state = FL_BUTTON1;
  fader->handle(FL_PUSH);
  fader->handle(FL_DRAG);
  Fl::e_y = y - 20;
  fader->handle(FL_DRAG);
  Fl::e_state = 0;
  fader->handle(FL_RELEASE);
  ASSERT_TRUE(runUntil([&] { return page->target == "track:volume"; }, 3000)) << page->target;
  EXPECT_STREQ(page->targetBox->label(), "track:volume");
  EXPECT_EQ(page->rowCount(), 0);

  // One message from the device becomes the binding; learning switches off.
  device.send({0xB0, 7, 127});
  ASSERT_TRUE(runUntil([&] { return page->rowCount() == 1; }, 3000));
  EXPECT_TRUE(runUntil([&] { return !page->getBindEnable(); }, 1000));
  Fl_Group* row = page->bindingList->child(0)->as_group();
  ASSERT_NE(row, nullptr);
  EXPECT_STREQ(row->child(1)->label(), "track:volume Track:2 On");

  // The binding drives the fader, from the very message that made it on.
  EXPECT_TRUE(runUntil([&] { return fader->value() > 0.99; }, 3000)) << fader->value();
  device.send({0xB0, 7, 0});
  EXPECT_TRUE(runUntil([&] { return fader->value() < 0.01; }, 3000)) << fader->value();
  device.send({0xB0, 7, 64});
  EXPECT_TRUE(runUntil([&] { return std::fabs(fader->value() - 64 / 127.0) < 0.01; }, 3000))
    << fader->value();
  // A message of another control is not learnt: learning is off.
  device.send({0xB0, 8, 127});
  runUntil([] { return false; }, 300);
  EXPECT_EQ(page->rowCount(), 1);

  // Save writes the map with the learnt binding.
  const std::string map = veskoControllersDir() + "learner.ctlr";
  click(page->saveButton);
  ASSERT_TRUE(runUntil([&] { return access(map.c_str(), F_OK) == 0; }, 3000));
  cJSON* root = cJSON_Parse(readFile(map).c_str());
  ASSERT_NE(root, nullptr) << readFile(map);
  EXPECT_STREQ(cJSON_GetObjectItem(root, "name")->valuestring, "learner");
  cJSON* bindings = cJSON_GetObjectItem(root, "inputBindings");
  ASSERT_EQ(cJSON_GetArraySize(bindings), 1) << readFile(map);
  cJSON* b = cJSON_GetArrayItem(bindings, 0);
  EXPECT_STREQ(cJSON_GetObjectItem(b, "action")->valuestring, "track:volume");
  EXPECT_EQ(cJSON_GetObjectItem(b, "status")->valueint, 0xB0);
  EXPECT_EQ(cJSON_GetObjectItem(b, "data")->valueint, 7);
  EXPECT_EQ(cJSON_GetObjectItem(b, "track")->valueint, 1);
  cJSON_Delete(root);

  // Remove: the page goes, and the controller with its ports once the engine let it go.
  click(page->removeButton);
  EXPECT_TRUE(options->getPages().empty());
  EXPECT_EQ(options->getTabs()->children(), 1);
  EXPECT_TRUE(runUntil([&] { return ports().find("Vesko:learner") == std::string::npos; }, 5000))
    << ports();
  EXPECT_NE(ports().find("Vesko:master_left"), std::string::npos);
}
