// The real binary's window under the X server in DISPLAY, driven with real X events from
// xdotool, against a private jackd.

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "process.hxx"

using e2e::Child;
using e2e::JackServer;
using e2e::runCommand;

namespace
{
struct Rgb {
  int r = -1, g = -1, b = -1;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& o, const Rgb& c)
{
  return o << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

std::string tempHome()
{
  char tmpl[] = "/tmp/vesko-home-XXXXXX";
  return mkdtemp(tmpl);
}

std::string trim(std::string s)
{
  while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
    s.pop_back();
  return s;
}

class WindowE2E : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(getenv("DISPLAY")) << "needs an X server in DISPLAY";
    ASSERT_TRUE(server.ok());
    home = tempHome();
    std::vector<std::string> env = server.env();
    env.push_back("HOME=" + home);
    ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));
    // The window is there once the engine announced itself and the window was mapped.
    long long end = e2e::nowMs() + 15000;
    while (e2e::nowMs() < end && windowId.empty()) {
      windowId = trim(runCommand({"xdotool", "search", "--onlyvisible", "--pid",
                                  std::to_string(vesko.pid()), "--name", "^Vesko$"},
                                 {}, 5000));
      if (windowId.find('\n') != std::string::npos)
        windowId = windowId.substr(0, windowId.find('\n'));
      if (windowId.empty())
        usleep(100000);
    }
    ASSERT_FALSE(windowId.empty()) << vesko.output();
    ASSERT_TRUE(vesko.waitForOutput("Loaded preferences", 5000)) << vesko.output();
  }

  void TearDown() override
  {
    if (vesko.running()) {
      vesko.signal(SIGTERM);
      int status = -1;
      vesko.wait(3000, &status);
    }
    std::string cmd = "rm -rf '" + home + "'";
    (void)system(cmd.c_str());
  }

  void click(int x, int y, int button = 1)
  {
    runCommand({"xdotool", "mousemove", "--window", windowId, std::to_string(x),
                std::to_string(y), "click", std::to_string(button)},
               {}, 5000);
  }

  void key(const std::string& k) { runCommand({"xdotool", "key", k}, {}, 5000); }
  void type(const std::string& text) { runCommand({"xdotool", "type", text}, {}, 5000); }

  // The colour on screen at (x, y) of the window.
  Rgb pixel(int x, int y)
  {
    std::string out = runCommand({"import", "-window", windowId, "-crop",
                                  "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "txt:-"},
                                 {}, 10000);
    // "0,0: (r,g,b)  #RRGGBB  srgb(...)": the hex form is the same in every version.
    Rgb c;
    size_t hash = out.find('#', out.find('\n'));
    if (hash != std::string::npos && hash + 7 <= out.size())
      sscanf(out.c_str() + hash + 1, "%2x%2x%2x", (unsigned*)&c.r, (unsigned*)&c.g,
             (unsigned*)&c.b);
    return c;
  }

  // Polls the pixel until it shows `want`, up to timeoutMs; returns what it showed last.
  Rgb waitForColour(int x, int y, const Rgb& want, int timeoutMs)
  {
    long long end = e2e::nowMs() + timeoutMs;
    Rgb c;
    do {
      c = pixel(x, y);
      if (c == want)
        break;
      usleep(50000);
    } while (e2e::nowMs() < end);
    return c;
  }

  JackServer server;
  Child vesko;
  std::string home;
  std::string windowId;
};

// The status square of clip (track, scene): a corner of it, away from the glyph.
const int CLIP_X0 = 8 + 5, STRIP_STEP = 118, CLIP_Y0 = 40 + 128, CELL_H = 29;
int squareX(int track) { return CLIP_X0 + STRIP_STEP * track + 4; }
int squareY(int scene) { return CLIP_Y0 + CELL_H * scene + 3; }
int cellX(int track) { return CLIP_X0 + STRIP_STEP * track + 60; }
int cellY(int scene) { return CLIP_Y0 + CELL_H * scene + 14; }

const Rgb QUEUED{0, 153, 255}, RECORDING{255, 0, 0}, PLAYING{0, 255, 0}, EMPTY{66, 66, 66};
} // namespace

TEST_F(WindowE2E, ClicksRecordAClipAtTheBarAndPlayItAtTheNext)
{
  const int track = 2, scene = 0;
  EXPECT_EQ(pixel(squareX(track), squareY(scene)), EMPTY);

  click(cellX(track), cellY(scene));
  // Queued at once (within a drain of the window), recording from the next bar line: a bar
  // lasts 2 s at the starting 120 BPM.
  EXPECT_EQ(waitForColour(squareX(track), squareY(scene), QUEUED, 1500), QUEUED);
  EXPECT_EQ(waitForColour(squareX(track), squareY(scene), RECORDING, 3000), RECORDING);

  click(cellX(track), cellY(scene));
  EXPECT_EQ(waitForColour(squareX(track), squareY(scene), QUEUED, 1500), QUEUED);
  EXPECT_EQ(waitForColour(squareX(track), squareY(scene), PLAYING, 3000), PLAYING);
  // Nothing else of the grid moved.
  EXPECT_EQ(pixel(squareX(track - 1), squareY(scene)), EMPTY);
  EXPECT_EQ(pixel(squareX(track), squareY(scene + 1)), EMPTY);

  // What the engine holds: save through the header menu and read the clip back. The
  // menu and the name dialog are answered with real keys.
  click(50, 18);
  usleep(300000);
  key("Down");
  key("Down");
  key("Down");
  key("Return");
  usleep(500000);
  key("ctrl+a"); // the dialog offers the current name; replace it
  type("gig");
  key("Return");
  std::string session = home + "/vesko/gig.vesko";
  ASSERT_TRUE(vesko.waitForOutput("Session saved", 10000)) << vesko.output();
  struct stat st;
  EXPECT_EQ(stat((session + "/session.vesko").c_str(), &st), 0) << vesko.output();
  std::string wav = session + "/audio/t_" + std::to_string(track) + "_s_" +
                    std::to_string(scene) + ".wav";
  SF_INFO info{};
  SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr) << wav << "\n" << vesko.output();
  sf_close(f);
  // Whole bars recorded (one, unless a loaded machine saw the recording late): four beats
  // at 120 BPM and 48 kHz each.
  EXPECT_GT(info.frames, 0);
  EXPECT_EQ(info.frames % (4 * 24000), 0) << info.frames;
  EXPECT_EQ(info.channels, 2);
}
