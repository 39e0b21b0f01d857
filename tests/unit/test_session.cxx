#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <samplerate.h>
#include <sndfile.h>

#include "audiobuffer.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "fileutil.hxx"
#include "guistate.hxx"

namespace
{
struct Record {
  int type;
  std::vector<char> bytes;
  template <class E> const E& as() const { return *reinterpret_cast<const E*>(bytes.data()); }
};

// Everything the interface queued toward the engine.
std::vector<Record> takeDspRecords()
{
  std::vector<Record> out;
  char buf[256];
  while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
    jack_ringbuffer_peek(rbToDsp, buf, 8);
    uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
    jack_ringbuffer_read(rbToDsp, buf, size);
    out.push_back({reinterpret_cast<EventBase*>(buf)->type(), std::vector<char>(buf, buf + size)});
  }
  return out;
}

std::vector<AudioBuffer*> loadedBuffers(const std::vector<Record>& records)
{
  std::vector<AudioBuffer*> out;
  for (const Record& r : records)
    if (r.type == EVENT_LOOPER_LOAD)
      out.push_back(r.as<EventLooperLoad>().audioBuffer);
  return out;
}

// Writes a sound file through libsndfile: `frames` frames of a ramp per channel.
void makeSoundFile(const std::string& path, int format, int channels, int rate, int frames)
{
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
  std::vector<float> data(frames * channels);
  for (int i = 0; i < frames; i++)
    for (int c = 0; c < channels; c++)
      data[i * channels + c] = 0.5f * sinf(i * 0.01f * (c + 1));
  ASSERT_EQ(sf_writef_float(f, data.data(), frames), frames);
  sf_close(f);
}

class SessionFiles : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/vesko-session-XXXXXX";
    root = mkdtemp(tmpl);
    setenv("HOME", root.c_str(), 1);
    createEventQueues();
    testing::internal::CaptureStdout();
    writer = new DiskWriter();
    reader = new DiskReader(writer);
    testing::internal::GetCapturedStdout();
    writer->setState(&state);
    reader->setState(&state);
    writer->setSamplerate(48000);
    reader->setSamplerate(48000);
  }
  void TearDown() override
  {
    for (AudioBuffer* b : loadedBuffers(takeDspRecords()))
      delete b;
    delete reader;
    delete writer;
  }

  AudioBuffer* clip(int frames, int beats, const char* name, unsigned seed)
  {
    AudioBuffer* ab = new AudioBuffer(frames + 100); // capacity beyond the content
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.f, 1.f);
    for (int i = 0; i < frames + 100; i++) {
      ab->getLeft()[i] = d(rng);
      ab->getRight()[i] = d(rng);
    }
    ab->setLengthFrames(frames);
    ab->setBeats(beats);
    ab->setName(name);
    return ab;
  }

  // Saves the given clips as session `name` in $HOME/sessions; returns writeSession's result.
  int save(const std::string& name, std::vector<std::tuple<int, int, AudioBuffer*>> clips)
  {
    testing::internal::CaptureStdout();
    EXPECT_EQ(writer->initialize(root + "/sessions", name), 0);
    for (auto& [t, s, ab] : clips)
      writer->writeAudioBuffer(t, s, ab);
    int r = writer->writeSession();
    log = testing::internal::GetCapturedStdout();
    return r;
  }

  std::string read(const std::string& path)
  {
    std::string text;
    fileutil::readFile(path, text);
    return text;
  }

  std::string root;
  std::string log;
  GuiState state;
  DiskWriter* writer = nullptr;
  DiskReader* reader = nullptr;
};
} // namespace

TEST_F(SessionFiles, LayoutAndFormatOfASavedSession)
{
  state.tracks[2].clipNames[3] = "verse";
  state.tracks[2].pan = 0.5f;
  state.master.sceneNames[0] = "Intro";
  AudioBuffer* ab = clip(16 * 22050, 16, "verse", 1);
  ASSERT_EQ(save("gig", {{2, 3, ab}}), 0) << log;
  const std::string dir = root + "/sessions/gig.vesko";

  // audio.cfg: one member, cJSON's formatted printer, no newline added.
  EXPECT_EQ(read(dir + "/audio/audio.cfg"), "{\n"
                                             "\t\"t_2_s_3.wav\":\t{\n"
                                             "\t\t\"beats\":\t16,\n"
                                             "\t\t\"name\":\t\"verse\"\n"
                                             "\t}\n"
                                             "}");

  std::string text = read(dir + "/session.vesko");
  cJSON* json = cJSON_Parse(text.c_str());
  ASSERT_NE(json, nullptr);
  std::vector<std::string> keys;
  for (cJSON* c = json->child; c; c = c->next)
    keys.push_back(c->string);
  EXPECT_EQ(keys, (std::vector<std::string>{"session", "version_major", "version_minor",
                                            "version_patch", "master", "tracks"}));
  std::vector<std::string> masterKeys;
  for (cJSON* c = cJSON_GetObjectItem(json, "master")->child; c; c = c->next)
    masterKeys.push_back(c->string);
  EXPECT_EQ(masterKeys, (std::vector<std::string>{"fader", "bpm", "inputVolume", "inputToSndActive",
                                                  "inputToKeyActive", "inputToMixActive",
                                                  "inputToSndVol", "inputToXSide", "inputToMixVol",
                                                  "sceneNames"}));
  cJSON* tracks = cJSON_GetObjectItem(json, "tracks");
  ASSERT_EQ(cJSON_GetArraySize(tracks), 8);
  std::vector<std::string> trackKeys;
  for (cJSON* c = cJSON_GetArrayItem(tracks, 0)->child; c; c = c->next)
    trackKeys.push_back(c->string);
  EXPECT_EQ(trackKeys, (std::vector<std::string>{"ID", "name", "fader", "pan", "sendAmount",
                                                 "sendActive", "jacksendAmount", "jacksendActive",
                                                 "xsideAmount", "keyActive", "clips"}));
  int nonEmpty = 0;
  for (int t = 0; t < 8; t++) {
    cJSON* clips = cJSON_GetObjectItem(cJSON_GetArrayItem(tracks, t), "clips");
    ASSERT_EQ(cJSON_GetArraySize(clips), 10);
    for (int s = 0; s < 10; s++)
      if (cJSON_GetArrayItem(clips, s)->valuestring[0])
        nonEmpty++;
  }
  EXPECT_EQ(nonEmpty, 1);
  EXPECT_STREQ(cJSON_GetArrayItem(cJSON_GetObjectItem(cJSON_GetArrayItem(tracks, 2), "clips"), 3)->valuestring,
               "t_2_s_3.wav");
  EXPECT_DOUBLE_EQ(cJSON_GetObjectItem(cJSON_GetArrayItem(tracks, 2), "pan")->valuedouble, 0.5);
  cJSON_Delete(json);
  EXPECT_NE(text.find("\n\t\"session\":\t\"gig\",\n"), std::string::npos) << "tab-indented members";

  // The WAV file: float, stereo, the engine's rate, exactly lengthFrames, bit-identical.
  SF_INFO info{};
  SNDFILE* f = sf_open((dir + "/audio/t_2_s_3.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 48000);
  EXPECT_EQ(info.frames, 16 * 22050);
  std::vector<float> data(info.frames * 2);
  sf_readf_float(f, data.data(), info.frames);
  sf_close(f);
  for (sf_count_t i = 0; i < info.frames; i++) {
    ASSERT_EQ(data[2 * i], ab->getLeft()[i]) << i;
    ASSERT_EQ(data[2 * i + 1], ab->getRight()[i]) << i;
  }
  delete ab;

  // Nothing of the save is left lying about.
  struct stat st;
  EXPECT_NE(stat((dir + "/.vesko-saving").c_str(), &st), 0);
}

TEST_F(SessionFiles, SavedSessionLoadsBackExactly)
{
  std::mt19937 rng(7);
  for (int round = 0; round < 3; round++) {
    state = GuiState();
    std::vector<std::tuple<int, int, AudioBuffer*>> clips;
    std::vector<AudioBuffer*> originals(80, nullptr);
    for (int k = 0; k < 6; k++) {
      int t = rng() % 8, s = rng() % 10;
      if (originals[t * 10 + s])
        continue;
      AudioBuffer* ab = clip(1000 + rng() % 50000, 1 + rng() % 32, "", rng());
      std::string name = "clip " + std::to_string(rng() % 1000);
      state.tracks[t].clipNames[s] = name;
      originals[t * 10 + s] = ab;
      clips.push_back({t, s, ab});
    }
    for (int t = 0; t < 8; t++)
      state.tracks[t].name = "track-" + std::to_string(rng() % 100);
    state.master.sceneNames[rng() % 10] = "drop";
    ASSERT_EQ(save("round" + std::to_string(round), clips), 0) << log;

    GuiState saved = state;
    state = GuiState();
    takeDspRecords();
    testing::internal::CaptureStdout();
    ASSERT_EQ(reader->readSession(root + "/sessions/round" + std::to_string(round) + ".vesko"), 0);
    testing::internal::GetCapturedStdout();
    std::vector<Record> records = takeDspRecords();
    int loads = 0;
    for (const Record& r : records) {
      if (r.type != EVENT_LOOPER_LOAD)
        continue;
      const auto& ev = r.as<EventLooperLoad>();
      AudioBuffer* original = originals[ev.track * 10 + ev.clip];
      ASSERT_NE(original, nullptr);
      AudioBuffer* back = ev.audioBuffer;
      EXPECT_EQ(back->getBeats(), original->getBeats());
      ASSERT_EQ(back->getLengthFrames(), original->getLengthFrames());
      EXPECT_EQ(0, memcmp(back->getLeft().data(), original->getLeft().data(),
                          sizeof(float) * original->getLengthFrames()));
      EXPECT_EQ(0, memcmp(back->getRight().data(), original->getRight().data(),
                          sizeof(float) * original->getLengthFrames()));
      EXPECT_EQ(state.tracks[ev.track].clipNames[ev.clip], saved.tracks[ev.track].clipNames[ev.clip]);
      delete back;
      loads++;
    }
    EXPECT_EQ(loads, (int)clips.size());
    for (int t = 0; t < 8; t++)
      EXPECT_EQ(state.tracks[t].name, saved.tracks[t].name);
    for (int s = 0; s < 10; s++)
      EXPECT_EQ(state.master.sceneNames[s], saved.master.sceneNames[s]);
    for (auto& c : clips)
      delete std::get<2>(c);
  }
}

TEST_F(SessionFiles, AFailedSaveLeavesThePreviousSessionIntact)
{
  AudioBuffer* small = clip(1000, 4, "a", 1);
  ASSERT_EQ(save("gig", {{0, 0, small}}), 0) << log;
  const std::string dir = root + "/sessions/gig.vesko";
  std::string sessionBefore = read(dir + "/session.vesko");
  std::string wavBefore = read(dir + "/audio/t_0_s_0.wav");

  // A disk that fills up: writes past 64 KiB fail.
  signal(SIGXFSZ, SIG_IGN);
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit tiny = old;
  tiny.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &tiny);
  AudioBuffer* big = clip(48000, 8, "b", 2);
  AudioBuffer* changed = clip(1000, 4, "c", 3);
  int result = save("gig", {{0, 0, changed}, {1, 0, big}});
  setrlimit(RLIMIT_FSIZE, &old);

  EXPECT_EQ(result, 2) << "a failed save is not reported as done";
  EXPECT_NE(log.find("NOT saved"), std::string::npos) << log;
  EXPECT_EQ(read(dir + "/session.vesko"), sessionBefore);
  EXPECT_EQ(read(dir + "/audio/t_0_s_0.wav"), wavBefore) << "the old clip was not replaced";
  struct stat st;
  EXPECT_NE(stat((dir + "/audio/t_1_s_0.wav").c_str(), &st), 0);
  EXPECT_NE(stat((dir + "/.vesko-saving").c_str(), &st), 0);

  // And it still loads as it was.
  takeDspRecords();
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader->readSession(dir), 0);
  testing::internal::GetCapturedStdout();
  std::vector<AudioBuffer*> loaded = loadedBuffers(takeDspRecords());
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(0, memcmp(loaded[0]->getLeft().data(), small->getLeft().data(), 1000 * sizeof(float)));
  for (AudioBuffer* b : loaded)
    delete b;
  delete small;
  delete big;
  delete changed;
}

TEST_F(SessionFiles, SessionNamesThatLeaveTheProjectsDirectoryAreRefused)
{
  for (const char* name : {"../escape", "a/b", "..", "", "/abs"}) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(writer->initialize(root + "/sessions", name), 2) << name;
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("refused"), std::string::npos) << name;
  }
  struct stat st;
  EXPECT_NE(stat((root + "/escape.vesko").c_str(), &st), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(writer->writeSession(), 2) << "nothing was initialised";
  testing::internal::GetCapturedStdout();
}

TEST_F(SessionFiles, SamplesOfEveryFormatRateAndQuality)
{
  struct Format {
    const char* ext;
    int format;
  } formats[] = {{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                 {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                 {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                 {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24}};
  const std::string dir = root + "/samples";
  fileutil::makeDirectory(dir);
  std::string cfg = "{";
  std::vector<std::string> names;
  for (const Format& f : formats)
    for (int channels : {1, 2})
      for (int rate : {22050, 44100, 48000, 96000}) {
        std::string name = "s" + std::to_string(channels) + "_" + std::to_string(rate) + "." + f.ext;
        makeSoundFile(dir + "/" + name, f.format, channels, rate, rate / 4);
        cfg += std::string(names.empty() ? "" : ",") + "\"" + name + "\": {\"beats\": 1}";
        names.push_back(name);
      }
  cfg += "}";
  ASSERT_TRUE(fileutil::writeFileAtomically(dir + "/audio.cfg", cfg));

  for (int quality : {0, 1, 2}) {
    std::string prefs = "{\"resampleQuality\": " + std::to_string(quality) + "}";
    fileutil::makeDirectory(root + "/.config/morvit/vesko");
    ASSERT_TRUE(fileutil::writeFileAtomically(root + "/.config/morvit/vesko/vesko.prfs", prefs));
    Preferences p;
    testing::internal::CaptureStdout();
    reader->loadPreferences(p);
    for (const std::string& name : names)
      EXPECT_EQ(reader->loadSample(1, 2, dir + "/" + name), 0) << name;
    std::string out = testing::internal::GetCapturedStdout();
    std::vector<AudioBuffer*> loaded = loadedBuffers(takeDspRecords());
    ASSERT_EQ(loaded.size(), names.size()) << out;
    for (size_t i = 0; i < names.size(); i++) {
      int rate = std::stoi(names[i].substr(3));
      bool mono = names[i][1] == '1';
      long frames = rate / 4;
      long expected = rate == 48000 ? frames : (long)((float)frames * (48000.f / (float)rate));
      AudioBuffer* b = loaded[i];
      EXPECT_EQ(b->getLengthFrames(), expected) << names[i] << " quality " << quality;
      EXPECT_EQ(b->getSize(), expected);
      EXPECT_EQ(b->getBeats(), 1);
      EXPECT_STREQ(b->getName(), names[i].c_str());
      if (mono)
        EXPECT_EQ(b->getLeft(), b->getRight()) << "a mono file plays on both sides: " << names[i];
      else
        EXPECT_NE(b->getLeft(), b->getRight()) << names[i];
      delete b;
    }
  }
}

// The sinc converters run while the file is read, block by block: the frames must be the
// ones the converter makes from the whole file at once, across block boundaries, to the
// last frame, each channel on its side.
TEST_F(SessionFiles, AStreamedResampleIsTheConverterOnTheWholeFile)
{
  const std::string dir = root + "/rates";
  fileutil::makeDirectory(dir);
  ASSERT_TRUE(fileutil::writeFileAtomically(
    dir + "/audio.cfg", R"({"m.wav": {"beats": 1}, "s.wav": {"beats": 1}})"));
  for (int quality : {1, 2})
    for (int frames : {3 * 4096, 3 * 4096 + 123})
      for (int channels : {1, 2}) {
        const std::string path = dir + (channels == 1 ? "/m.wav" : "/s.wav");
        makeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, channels, 44100, frames);
        std::vector<float> stereo(2 * frames);
        for (int i = 0; i < frames; i++)
          for (int c = 0; c < 2; c++)
            stereo[2 * i + c] = 0.5f * sinf(i * 0.01f * ((channels == 1 ? 0 : c) + 1));
        const float ratio = 48000.f / 44100.f;
        const long outFrames = (long)((float)frames * ratio);
        std::vector<float> whole(2 * outFrames, 0.f);
        SRC_DATA data{};
        data.data_in = stereo.data();
        data.input_frames = frames;
        data.data_out = whole.data();
        data.output_frames = outFrames;
        data.src_ratio = ratio;
        ASSERT_EQ(src_simple(&data, quality == 1 ? SRC_SINC_FASTEST : SRC_SINC_BEST_QUALITY, 2), 0);

        fileutil::makeDirectory(root + "/.config/morvit/vesko");
        ASSERT_TRUE(fileutil::writeFileAtomically(root + "/.config/morvit/vesko/vesko.prfs",
                                                  "{\"resampleQuality\": " + std::to_string(quality) + "}"));
        Preferences p;
        testing::internal::CaptureStdout();
        reader->loadPreferences(p);
        EXPECT_EQ(reader->loadSample(0, 0, path), 0);
        testing::internal::GetCapturedStdout();
        std::vector<AudioBuffer*> loaded = loadedBuffers(takeDspRecords());
        ASSERT_EQ(loaded.size(), 1u);
        std::vector<float> left(outFrames), right(outFrames);
        for (long i = 0; i < outFrames; i++) {
          left[i] = whole[2 * i];
          right[i] = whole[2 * i + 1];
        }
        EXPECT_EQ(loaded[0]->getLeft(), left) << frames << " frames, " << channels << " channels, quality " << quality;
        EXPECT_EQ(loaded[0]->getRight(), right) << frames << " frames, " << channels << " channels, quality " << quality;
        delete loaded[0];
      }
}

TEST_F(SessionFiles, BeatsComeFromAudioCfgOrTheDialog)
{
  const std::string dir = root + "/s";
  fileutil::makeDirectory(dir);
  makeSoundFile(dir + "/kick_drum_loop_120bpm.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 480);
  makeSoundFile(dir + "/zero.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 480);
  makeSoundFile(dir + "/huge.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 480);
  ASSERT_TRUE(fileutil::writeFileAtomically(
    dir + "/audio.cfg", R"({"kick_drum_loop_120bpm.wav": {"beats": 8, "name": "verse"},
                            "zero.wav": {"beats": 0}, "huge.wav": {"beats": 1e300}})"));
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader->loadSample(0, 0, dir + "/kick_drum_loop_120bpm.wav"), 0);
  EXPECT_EQ(reader->loadSample(0, 1, dir + "/zero.wav"), 0);
  EXPECT_EQ(reader->loadSample(0, 2, dir + "/huge.wav"), 0) << "absurd beats: asked, cancelled";
  testing::internal::GetCapturedStdout();
  std::vector<Record> records = takeDspRecords();
  std::vector<AudioBuffer*> loaded = loadedBuffers(records);
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[0]->getBeats(), 8);
  EXPECT_STREQ(loaded[0]->getName(), "verse");
  EXPECT_EQ(state.tracks[0].clipNames[0], "verse");
  EXPECT_EQ(loaded[1]->getBeats(), 0) << "0 beats is accepted without a dialog";
  for (AudioBuffer* b : loaded)
    delete b;

  // No audio.cfg: the dialog is asked; cancel loads nothing, an answer loads with it.
  const std::string bare = root + "/bare";
  fileutil::makeDirectory(bare);
  makeSoundFile(bare + "/kick_drum_loop_120bpm.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000, 480);
  int asked = 0;
  reader->beatsDialog = [&](AudioBuffer* ab) { ab->setBeats(++asked == 1 ? -1 : 4); };
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader->loadSample(3, 3, bare + "/kick_drum_loop_120bpm.wav"), 0);
  EXPECT_TRUE(takeDspRecords().empty()) << "cancel leaves the clip as it was";
  EXPECT_EQ(reader->loadSample(3, 3, bare + "/kick_drum_loop_120bpm.wav"), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("cancel clicked, deleting audiobuffer"), std::string::npos);
  loaded = loadedBuffers(takeDspRecords());
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0]->getBeats(), 4);
  EXPECT_STREQ(loaded[0]->getName(), "kick_drum_loop_120bp");
  EXPECT_EQ(reader->getLastSampleDir(), bare);
  delete loaded[0];
}

// Each hostile session is refused item by item with a log line; nothing else is affected.
TEST_F(SessionFiles, HostileSessionFiles)
{
  const std::string dir = root + "/hostile.vesko";
  fileutil::makeDirectory(dir);
  fileutil::makeDirectory(dir + "/audio");
  makeSoundFile(dir + "/audio/ok.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 480);
  makeSoundFile(root + "/outside.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 480);
  ASSERT_TRUE(fileutil::writeFileAtomically(dir + "/audio/audio.cfg", R"({"ok.wav": {"beats": 4}})"));
  ASSERT_TRUE(fileutil::writeFileAtomically(root + "/audio.cfg", R"({"outside.wav": {"beats": 4}})"));

  struct Case {
    const char* what;
    const char* session;
    int result;
    const char* logged;
    int loads;
  } cases[] = {
    {"truncated", R"({"tracks": [{"clips": ["ok.wav")", 2, "Error in Session JSON", 0},
    {"not an object", "[1, 2, 3]", 2, "Error in Session JSON", 0},
    {"path out of the session", R"({"tracks": [{"clips": ["../../outside.wav", "/etc/passwd", "ok.wav"]}]})",
     0, "is not a file in the session's audio directory; refused", 1},
    {"tracks that are numbers", R"({"tracks": [1, 2, {"clips": ["ok.wav"]}]})", 0, "Track 0 is not an object", 1},
    {"clips that are not strings", R"({"tracks": [{"clips": [3, null, {"a": 1}, "ok.wav"]}]})", 0,
     "is not a file name; skipped", 1},
    {"more tracks than the grid",
     R"({"tracks": [{},{},{},{},{},{},{},{},{"clips": ["ok.wav"]}]})", 0, "more than 8 tracks", 0},
    {"more clips than the grid",
     R"({"tracks": [{"clips": ["","","","","","","","","","","ok.wav"]}]})", 0, "more than 10 clips", 0},
    {"strings where numbers belong", R"({"tracks": [{"fader": "loud", "pan": "left"}]})", 0,
     "Track 0 has no fader data saved.", 0},
    {"levels out of range", R"({"tracks": [{"fader": 1e9}], "master": {"fader": -5}})", 0,
     "out of range, limited to 0 .. 1", 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(fileutil::writeFileAtomically(dir + "/session.vesko", c.session));
    takeDspRecords();
    testing::internal::CaptureStdout();
    EXPECT_EQ(reader->readSession(dir), c.result) << c.what;
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(c.logged), std::string::npos) << c.what << "\n" << out;
    std::vector<Record> records = takeDspRecords();
    std::vector<AudioBuffer*> loaded = loadedBuffers(records);
    EXPECT_EQ((int)loaded.size(), c.loads) << c.what;
    for (const Record& r : records) {
      if (r.type == EVENT_TRACK_VOLUME) {
        float v = r.as<EventTrackVol>().vol;
        EXPECT_TRUE(v >= 0.f && v <= 1.f) << c.what;
      }
      if (r.type == EVENT_LOOPER_LOAD) {
        EXPECT_LT(r.as<EventLooperLoad>().track, 8);
        EXPECT_LT(r.as<EventLooperLoad>().clip, 10);
      }
    }
    for (AudioBuffer* b : loaded)
      delete b;
  }
}

TEST_F(SessionFiles, KeysAreFoundWhateverTheirCaseAndPanIsMapped)
{
  const std::string dir = root + "/case.vesko";
  fileutil::makeDirectory(dir);
  ASSERT_TRUE(fileutil::writeFileAtomically(dir + "/session.vesko",
    R"({"tracks": [{"FADER": 0.3, "pan": 0.25}, {}, {"name": "third"}],
        "master": {"bpm": 140, "reverb": {"active": 1, "size": 0.5, "wet": 0.5, "damping": 0.5}}})"));
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader->readSession(dir), 0);
  testing::internal::GetCapturedStdout();
  bool fader = false, pan = false, bpm = false, reverb = false;
  for (const Record& r : takeDspRecords()) {
    if (r.type == EVENT_TRACK_VOLUME && r.as<EventTrackVol>().track == 0)
      fader = std::fabs(r.as<EventTrackVol>().vol - 0.3f) < 1e-6;
    if (r.type == EVENT_TRACK_PAN && r.as<EventTrackPan>().track == 0)
      pan = std::fabs(r.as<EventTrackPan>().pan + 0.5f) < 1e-6;
    if (r.type == EVENT_TIME_BPM)
      bpm = r.as<EventTimeBPM>().bpm == 140.f;
    if (r.type == EVENT_FX_REVERB)
      reverb = true;
  }
  EXPECT_TRUE(fader);
  EXPECT_TRUE(pan) << "pan 0.25 reaches the engine as -0.5";
  EXPECT_TRUE(bpm);
  EXPECT_TRUE(reverb);
  EXPECT_EQ(state.tracks[2].name, "third");
  EXPECT_EQ(state.tracks[3].name, "Track 4") << "tracks beyond the file keep what they had";
}

// Found by fuzzing: a FLAC header claiming billions of frames made the loader reserve them
// all before reading a single one.
// Headers found by the fuzzer: a frame count, or a sample rate of a few Hz that would
// make the resampled length huge. Neither may make the loader ask for gigabytes.
TEST_F(SessionFiles, AForgedHeaderDoesNotExhaustMemory)
{
  for (const char* file : {"/forged-frame-count.flac", "/forged-sample-rate.flac"}) {
    SCOPED_TRACE(file);
    testing::internal::CaptureStdout();
    int r = reader->loadSample(0, 0, std::string(VESKO_TEST_DATA) + file);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(r == 0 || r == 2);
    for (AudioBuffer* b : loadedBuffers(takeDspRecords())) {
      EXPECT_LT(b->getSize(), 1 << 20);
      delete b;
    }
  }
}

// A session whose WAV files were damaged after the save: each damaged clip stays empty with
// an error line naming it, and every other clip loads whole.
TEST_F(SessionFiles, DamagedClipFilesStayEmptyAndTheRestLoad)
{
  std::vector<AudioBuffer*> clips = {clip(20000, 4, "intact", 1), clip(20000, 4, "cut", 2),
                                     clip(20000, 4, "garbage", 3), clip(20000, 4, "nan", 4),
                                     clip(30000, 8, "intact too", 5)};
  state.tracks[7].clipNames[9] = "intact too";
  ASSERT_EQ(save("damaged", {{0, 0, clips[0]}, {1, 2, clips[1]}, {2, 3, clips[2]},
                             {3, 4, clips[3]}, {7, 9, clips[4]}}),
            0)
    << log;
  const std::string audio = root + "/sessions/damaged.vesko/audio/";

  // Cut in the middle of the sample data, as a full disk or a copy cut short leaves it.
  struct stat st;
  ASSERT_EQ(stat((audio + "t_1_s_2.wav").c_str(), &st), 0);
  ASSERT_EQ(truncate((audio + "t_1_s_2.wav").c_str(), st.st_size / 2 + 3), 0);
  // Not a sound file at all.
  std::mt19937 rng(9);
  std::string junk(5000, '\0');
  for (char& c : junk)
    c = (char)(rng() & 0xff);
  ASSERT_TRUE(fileutil::writeFileAtomically(audio + "t_2_s_3.wav", junk));
  // A well-formed file whose samples are not numbers.
  {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open((audio + "t_3_s_4.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> data(2000, 0.25f);
    data[777] = NAN;
    data[1500] = INFINITY;
    ASSERT_EQ(sf_writef_float(f, data.data(), 1000), 1000);
    sf_close(f);
  }

  takeDspRecords();
  state = GuiState();
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader->readSession(root + "/sessions/damaged.vesko"), 0);
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_NE(out.find("Clip 1, 2: " + audio + "t_1_s_2.wav is truncated"), std::string::npos) << out;
  EXPECT_NE(out.find(audio + "t_2_s_3.wav"), std::string::npos) << out;
  EXPECT_NE(out.find("Clip 3, 4: " + audio + "t_3_s_4.wav holds samples that are not numbers"),
            std::string::npos)
    << out;

  std::vector<std::pair<int, int>> loaded;
  for (const Record& r : takeDspRecords()) {
    if (r.type != EVENT_LOOPER_LOAD)
      continue;
    const auto& ev = r.as<EventLooperLoad>();
    loaded.push_back({ev.track, ev.clip});
    AudioBuffer* original = ev.track == 0 ? clips[0] : clips[4];
    ASSERT_EQ(ev.audioBuffer->getLengthFrames(), original->getLengthFrames());
    EXPECT_EQ(ev.audioBuffer->getBeats(), original->getBeats());
    EXPECT_EQ(0, memcmp(ev.audioBuffer->getLeft().data(), original->getLeft().data(),
                        sizeof(float) * original->getLengthFrames()));
    EXPECT_EQ(0, memcmp(ev.audioBuffer->getRight().data(), original->getRight().data(),
                        sizeof(float) * original->getLengthFrames()));
    delete ev.audioBuffer;
  }
  EXPECT_EQ(loaded, (std::vector<std::pair<int, int>>{{0, 0}, {7, 9}}));
  EXPECT_EQ(state.tracks[1].clipNames[2], "") << "a refused clip shows no name";
  EXPECT_EQ(state.tracks[7].clipNames[9], "intact too");
  for (AudioBuffer* b : clips)
    delete b;
}
