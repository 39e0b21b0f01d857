// The real binary's window under the X server in DISPLAY, driven with real X events from
// xdotool, against a private jackd.

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include "midiclient.hxx"
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

  // Saves through the header menu and the name dialog, answered with real keys, and waits
  // for the save to end.
  void saveAs(Child& who, const std::string& name)
  {
    click(50, 18);
    usleep(300000);
    key("Down");
    key("Down");
    key("Down");
    key("Return");
    usleep(500000);
    key("ctrl+a"); // the dialog offers the current name; replace it
    type(name);
    key("Return");
    ASSERT_TRUE(who.waitForOutput("Session saved: " + home + "/vesko/" + name + ".vesko", 10000))
      << who.output();
  }

  JackServer server;
  Child vesko;
  std::string home;
  std::string windowId;
};

struct Wav {
  int64_t frames = -1;
  std::vector<float> samples; // interleaved
};

Wav readWav(const std::string& path)
{
  Wav w;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
    return w;
  w.samples.resize(info.frames * info.channels);
  w.frames = sf_readf_float(f, w.samples.data(), info.frames);
  sf_close(f);
  return w;
}

std::string readText(const std::string& path)
{
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

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

// jackd dies (SIGKILL) with one clip playing and one still recording: Vesko stays, offers to
// save, and the saved session holds both clips (the finished one exactly as a save before the
// kill wrote it) and loads back the same into a new Vesko.
TEST_F(WindowE2E, ClipsRecordedBeforeTheServerDiesAreSavedAndLoadBack)
{
  // A steady input, so every frame recorded shows whether it was kept.
  auto source = std::make_unique<e2e::MidiClient>();
  ASSERT_TRUE(source->open(server.name(), "source"));
  ASSERT_TRUE(source->addAudio(0.25f));
  ASSERT_TRUE(source->connectAudio("Vesko:master_in_left", "Vesko:master_left"));
  ASSERT_EQ(jack_connect(source->handle(), "source:audio_out", "Vesko:master_in_right"), 0);

  click(cellX(2), cellY(0));
  ASSERT_EQ(waitForColour(squareX(2), squareY(0), RECORDING, 4500), RECORDING);
  click(cellX(2), cellY(0));
  ASSERT_EQ(waitForColour(squareX(2), squareY(0), PLAYING, 4500), PLAYING);
  click(cellX(4), cellY(1));
  ASSERT_EQ(waitForColour(squareX(4), squareY(1), RECORDING, 4500), RECORDING);

  // The control: what a save while everything ran wrote of the finished clip.
  saveAs(vesko, "control");
  usleep(1000000);

  server.signal(SIGKILL);
  ASSERT_TRUE(vesko.waitForOutput("The JACK server has gone away", 5000)) << vesko.output();
  ASSERT_TRUE(vesko.waitForOutput("2 clips hold audio", 5000)) << vesko.output();
  usleep(700000); // the question is on screen
  key("Return");  // "Save"
  usleep(500000);
  key("ctrl+a");
  type("rescued");
  key("Return");
  const std::string rescued = home + "/vesko/rescued.vesko";
  ASSERT_TRUE(vesko.waitForOutput("Session saved: " + rescued, 10000)) << vesko.output();
  EXPECT_TRUE(vesko.running());
  // The menu still saves, without an engine to copy the clips.
  saveAs(vesko, "later");
  EXPECT_TRUE(readWav(home + "/vesko/later.vesko/audio/t_2_s_0.wav").samples ==
              readWav(rescued + "/audio/t_2_s_0.wav").samples);

  Wav control = readWav(home + "/vesko/control.vesko/audio/t_2_s_0.wav");
  Wav played = readWav(rescued + "/audio/t_2_s_0.wav");
  ASSERT_GT(control.frames, 0);
  EXPECT_EQ(played.frames, control.frames);
  EXPECT_TRUE(played.samples == control.samples) << "the finished clip differs from the control";
  Wav take = readWav(rescued + "/audio/t_4_s_1.wav");
  // Recording from a bar line through the control save and a second after it: over a bar.
  EXPECT_GT(take.frames, 4 * 24000) << vesko.output();
  ASSERT_FALSE(take.samples.empty());
  EXPECT_NE(take.samples[0], 0.f);
  size_t differing = 0;
  for (float v : take.samples)
    differing += v != take.samples[0];
  EXPECT_EQ(differing, 0u) << "frames of the steady input lost or changed";

  // Back into a new Vesko on a new server, saved again: the same files.
  source.reset();
  JackServer second;
  ASSERT_TRUE(second.ok());
  std::vector<std::string> env = second.env();
  env.push_back("HOME=" + home);
  Child again;
  ASSERT_TRUE(again.start({VESKO_BINARY, rescued}, env));
  std::string againWindow;
  long long end = e2e::nowMs() + 15000;
  while (e2e::nowMs() < end && againWindow.empty()) {
    againWindow = trim(runCommand({"xdotool", "search", "--onlyvisible", "--pid",
                                   std::to_string(again.pid()), "--name", "^Vesko$"},
                                  {}, 5000));
    againWindow = againWindow.substr(0, againWindow.find('\n'));
    if (againWindow.empty())
      usleep(100000);
  }
  ASSERT_FALSE(againWindow.empty()) << again.output();
  ASSERT_TRUE(again.waitForOutput("Loaded preferences", 5000)) << again.output();
  usleep(1000000);
  const std::string first = windowId;
  windowId = againWindow;
  saveAs(again, "back");
  windowId = first;
  for (const char* clip : {"t_2_s_0.wav", "t_4_s_1.wav"}) {
    Wav a = readWav(rescued + "/audio/" + clip);
    Wav b = readWav(home + "/vesko/back.vesko/audio/" + clip);
    EXPECT_EQ(b.frames, a.frames) << clip << "\n" << again.output();
    EXPECT_TRUE(a.samples == b.samples) << clip;
  }
  // Beats and names of each clip, whatever the order of the entries.
  cJSON* a = cJSON_Parse(readText(rescued + "/audio/audio.cfg").c_str());
  cJSON* b = cJSON_Parse(readText(home + "/vesko/back.vesko/audio/audio.cfg").c_str());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(cJSON_GetArraySize(a), 2);
  EXPECT_EQ(cJSON_GetArraySize(b), 2);
  cJSON* entry;
  cJSON_ArrayForEach(entry, a) {
    cJSON* other = cJSON_GetObjectItem(b, entry->string);
    EXPECT_TRUE(other && cJSON_Compare(entry, other, true)) << entry->string;
  }
  cJSON_Delete(a);
  cJSON_Delete(b);
  again.signal(SIGTERM);
  int status = -1;
  EXPECT_TRUE(again.wait(3000, &status));
}
