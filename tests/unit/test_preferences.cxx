#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "fileutil.hxx"

namespace
{
class PreferencesTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/vesko-prefs-XXXXXX";
    home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    createEventQueues();
  }

  // Builds the writer and reader as the interface does and loads; returns the log.
  std::string load(int* result)
  {
    testing::internal::CaptureStdout();
    DiskWriter writer;
    DiskReader reader(&writer);
    *result = reader.loadPreferences(prefs);
    quality = reader.getResampleQuality();
    return testing::internal::GetCapturedStdout();
  }

  void writePrefs(const std::string& text)
  {
    fileutil::makeDirectory(home + "/.config");
    fileutil::makeDirectory(home + "/.config/morvit");
    fileutil::makeDirectory(home + "/.config/morvit/vesko");
    ASSERT_TRUE(fileutil::writeFileAtomically(home + "/.config/morvit/vesko/vesko.prfs", text));
  }

  std::string home;
  Preferences prefs;
  int quality = -1;
};

bool isDir(const std::string& p)
{
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

TEST_F(PreferencesTest, FirstStartMakesTheDirectoriesAndTheDefaultFile)
{
  fileutil::makeDirectory(home + "/.config");
  int result = -1;
  std::string log = load(&result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(isDir(home + "/.config/morvit/vesko/controllers"));
  EXPECT_NE(log.find("Creating .config/morvit/ directory"), std::string::npos);
  EXPECT_NE(log.find("Creating .config/morvit/vesko directory"), std::string::npos);
  EXPECT_NE(log.find("Preferences, file doesn't exist"), std::string::npos);
  EXPECT_NE(log.find("Writing default preferences file."), std::string::npos);

  std::string text;
  ASSERT_TRUE(fileutil::readFile(home + "/.config/morvit/vesko/vesko.prfs", text));
  EXPECT_EQ(text, "{\n"
                  "\t\"__COMMENT__\":\t\"users home + <whatever it says here>\",\n"
                  "\t\"saveDirectory\":\t\"vesko\",\n"
                  "\t\"__COMMENT__\":\t\"0 = LINEAR, 1 = SINC_FASTEST, 2 = SINC_BEST\",\n"
                  "\t\"resampleQuality\":\t1,\n"
                  "\t\"defaultControllers\":\t[],\n"
                  "\t\"enablePerTrackSendReturns\":\t0\n"
                  "}");
  EXPECT_EQ(prefs.projectsDir, home + "/vesko") << "the defaults apply from the first run";

  // The second start finds everything and says nothing about creating it.
  Preferences again;
  prefs = again;
  log = load(&result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(log.find("Creating"), std::string::npos) << log;
  EXPECT_EQ(prefs.projectsDir, home + "/vesko");
}

TEST_F(PreferencesTest, EveryKeyTakesEffect)
{
  writePrefs(R"({"resampleQuality": 0, "defaultControllers": ["pad.ctlr", 7, "../escape.ctlr"],
                 "saveDirectory": "music/sessions", "enablePerTrackOutput": 1,
                 "metronomeActiveByDefault": 1, "metronomeDefaultVolume": 75})");
  int result = -1;
  std::string log = load(&result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(quality, 0);
  EXPECT_NE(log.find("Using Linear resampling"), std::string::npos);
  EXPECT_NE(log.find("Loading controller pad.ctlr"), std::string::npos);
  ASSERT_EQ(prefs.controllerPaths.size(), 1u) << "a number and a path are not map names";
  EXPECT_EQ(prefs.controllerPaths[0], home + "/.config/morvit/vesko/controllers/pad.ctlr");
  EXPECT_EQ(prefs.projectsDir, home + "/music/sessions");
  EXPECT_TRUE(prefs.enablePerTrackOutput);
  EXPECT_NE(log.find("Enabling per track output ports"), std::string::npos);

  EventMetronomeActive active;
  EventMetronomeVolume volume;
  ASSERT_EQ(jack_ringbuffer_read_space(rbToDsp), sizeof(active) + sizeof(volume));
  jack_ringbuffer_read(rbToDsp, (char*)&active, sizeof(active));
  jack_ringbuffer_read(rbToDsp, (char*)&volume, sizeof(volume));
  EXPECT_EQ(active.type(), EVENT_METRONOME_ACTIVE);
  EXPECT_TRUE(active.active);
  EXPECT_FLOAT_EQ(volume.vol, 0.75f);
}

TEST_F(PreferencesTest, BadValuesAreRefused)
{
  struct Case {
    const char* file;
    int result;
    const char* logged;
  } cases[] = {
    {"{", 2, "Preferences JSON not valid"},
    {"[1, 2]", 2, "Preferences JSON not valid"},
    {R"({"resampleQuality": 9, "saveDirectory": 3})", 0, "No default controllers active."},
  };
  for (const Case& c : cases) {
    writePrefs(c.file);
    prefs = Preferences();
    int result = -1;
    std::string log = load(&result);
    EXPECT_EQ(result, c.result) << c.file;
    EXPECT_NE(log.find(c.logged), std::string::npos) << c.file << "\n" << log;
    EXPECT_EQ(jack_ringbuffer_read_space(rbToDsp), 0u) << c.file;
    EXPECT_EQ(quality, 1) << "an unknown quality acts as fastest sinc: " << c.file;
  }
  EXPECT_EQ(prefs.projectsDir, home) << "a non-string saveDirectory leaves $HOME";

  writePrefs("{");
  int result = -1;
  load(&result);
  std::string text;
  fileutil::readFile(home + "/.config/morvit/vesko/vesko.prfs", text);
  EXPECT_EQ(text, "{") << "an invalid file is left as it is, not replaced by defaults";
}
