#include <string>
#include <sys/stat.h>
#include <vector>

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include "dialog.hxx"
#include "diskwriter.hxx"
#include "midi_fixture.hxx"

namespace
{
struct Loaded {
  GenericMIDI* c;
  std::string log;
};

// Builds a controller from a map file and returns it with everything it logged.
Loaded load(const std::string& path)
{
  testing::internal::CaptureStdout();
  GenericMIDI* c = new GenericMIDI(GenericMIDI::MapFile{path});
  return {c, testing::internal::GetCapturedStdout()};
}

bool has(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }

const char* ROUND_TRIP_MAP = R"({
  "name": "rt", "author": "someone", "link": "example.org",
  "inputBindings": [
    {"action": "track:volume", "status": 176, "data": 7, "track": 1},
    {"action": "grid:event", "status": 144, "data": 36, "track": 0, "scene": 1, "active": -1},
    {"action": "track:send", "status": 176, "data": 20, "track": 2, "send": 1, "active": 0},
    {"action": "grid:special_clip_event", "status": 144, "data": 64},
    {"action": "master:volume", "status": 176, "data": 1}
  ],
  "outputBindings": [
    {"action": "metronome:active", "status": 144, "data": 50},
    {"action": "grid:clip_state", "status": 144, "data": 53, "track": 0, "scene": 0, "state": {"playing": 1}}
  ]})";
} // namespace

TEST_F(MidiTest, MapFilesThatCannotBeUsedAreRefusedWithTheirReason)
{
  struct Case {
    const char* what;
    const char* text; // null: no file at all
    int status;
    std::vector<const char*> logged;
  };
  std::vector<Case> cases = {
    {"missing", nullptr, 0, {"No controller file found at ", "Error in loading controller map!"}},
    {"empty", "", 0, {"No controller file found at "}},
    {"invalid", "{\"name\": \"x\",\n \"inputBindings\": [\n  {\"action\" \"tempo_tap\"}\n ]\n}\n", 0,
     {"Error in JSON *before*: ", "Error in JSON         : ", "Error in loading controller map!"}},
    {"truncated", "{\"name\": \"pad\", \"inputBindings\": [{\"action\": \"tempo_tap\", \"status\": 144, \"da", 0,
     {"Error in JSON *before*: "}},
    {"not an object", "[1, 2]", 0, {"is not a JSON object"}},
    {"minimal", R"({"name": "mini", "inputBindings": []})", 1,
     {"Device mini", "Has no author field", "Has no link field", "Zero input bindings present in .ctlr map.",
      "No output bindings array in .ctlr map.", "Controller loading complete.", "GenericMIDI registering ports: mini"}},
    {"wrong types", R"({"name": 5, "author": ["a"], "inputBindings": 3, "outputBindings": []})", 1,
     {"\"name\" field of the .ctlr map is not a string", "\"author\" field of the .ctlr map is not a string",
      "\"inputBindings\" field of the .ctlr map is not an array", "Zero output bindings present in .ctlr map."}},
    {"no bindings at all", R"({"name": "bare"})", 1, {"No input bindings array in .ctlr map."}},
  };
  for (const Case& c : cases) {
    std::string path = controllers + std::string(c.what) + ".ctlr";
    if (c.text)
      writeFile(path, c.text);
    Loaded l = load(path);
    EXPECT_EQ(l.c->status(), c.status) << c.what;
    for (const char* text : c.logged)
      EXPECT_TRUE(has(l.log, text)) << c.what << ": no \"" << text << "\" in\n" << l.log;
    EXPECT_TRUE(l.c->getInputBindings().empty()) << c.what;
    EXPECT_TRUE(l.c->getOutputBindings().empty()) << c.what;
    if (c.status == 0) {
      EXPECT_STREQ(l.c->getName(), "generic") << c.what;
      EXPECT_FALSE(l.c->midiPortsRegistered()) << c.what;
    }
    delete l.c;
  }
  // The wrongly typed name left the default, which names the ports.
  Loaded wrong = load(controllers + "wrong types.ctlr");
  EXPECT_STREQ(wrong.c->getName(), "generic");
  EXPECT_NE(fakejack::port("generic in"), nullptr);
  delete wrong.c;
}

TEST(ControllerMapTest, EachBindingIsReadOrRefusedWithAWarning)
{
  struct Case {
    const char* json;
    int action; // 0: refused
    const char* logged;
  };
  std::vector<Case> cases = {
    {R"({"action": "track:volume", "status": 176, "data": 7})", EVENT_TRACK_VOLUME, ""},
    {R"({"Action": "track:volume", "STATUS": 176, "Data": 7, "Track": 2})", EVENT_TRACK_VOLUME, ""},
    {R"({"action": "Track:Volume", "status": 176, "data": 7})", 0, "Binding action not recognized: Track:Volume"},
    {R"({"status": 1, "data": 2})", 0, "Binding doesn't have action field: fix .ctlr file"},
    {R"({"action": "tempo_tap", "status": 144})", 0,
     "Binding w Action:tempo_tap doesn't have status / data field: fix .ctlr file"},
    {R"({"action": 12, "status": 1, "data": 2})", 0, "Binding action field is not a string"},
    {R"({"action": "track:record_arm", "status": 144, "data": 1, "track": "2"})", 0,
     "Binding w Action:track:record_arm has a \"track\" field that is not a number"},
    {R"([1])", 0, "Binding is not a JSON object"},
    {R"({"action": "grid:special_clip_event", "status": 144, "data": 64})", EVENT_GRID_SELECT_CLIP_EVENT, ""},
    {R"({"action": "grid:select_clip_enable", "status": 144, "data": 65})", EVENT_GRID_SELECT_CLIP_ENABLE, ""},
    {R"({"action": "grid:launch_scene", "status": 144, "data": 82, "scene": 3})", EVENT_GRID_LAUNCH_SCENE, ""},
    {R"({"action": "master:volume", "status": 176, "data": 1})", EVENT_MASTER_VOL, ""},
    {R"({"action": "metronome:active", "status": 144, "data": 9, "active": 0})", EVENT_METRONOME_ACTIVE,
     "binding metro active event, tmp->active == 0"},
    {R"({"action": "tempo_tap", "status": 144, "data": 60})", EVENT_TIME_TEMPO_TAP, ""},
  };
  for (const Case& c : cases) {
    cJSON* json = cJSON_Parse(c.json);
    ASSERT_NE(json, nullptr) << c.json;
    testing::internal::CaptureStdout();
    std::unique_ptr<Binding> b = GenericMIDI::setupBinding(json);
    std::string log = testing::internal::GetCapturedStdout();
    cJSON_Delete(json);
    EXPECT_EQ(b ? b->action : 0, c.action) << c.json;
    EXPECT_TRUE(has(log, c.logged)) << c.json << ": no \"" << c.logged << "\" in\n" << log;
  }

  auto read = [](const char* text) {
    cJSON* json = cJSON_Parse(text);
    std::unique_ptr<Binding> b = GenericMIDI::setupBinding(json);
    cJSON_Delete(json);
    return b;
  };
  std::unique_ptr<Binding> plain = read(R"({"action": "track:volume", "status": 176, "data": 7})");
  EXPECT_EQ(plain->status, 0xB0);
  EXPECT_EQ(plain->data, 7);
  EXPECT_EQ(plain->track, -2) << "a map without \"track\" carries none";
  EXPECT_EQ(plain->scene, -1);
  EXPECT_EQ(plain->send, -1);
  EXPECT_EQ(plain->active, 1);
  std::unique_ptr<Binding> wide =
    read(R"({"action": "track:send", "status": 432, "data": 300, "track": 1, "send": 2, "active": 0})");
  EXPECT_EQ(wide->status, 432 & 0xFF);
  EXPECT_EQ(wide->data, 300 & 0xFF);
  EXPECT_EQ(wide->send, 2);
  EXPECT_EQ(wide->active, 0);
  EXPECT_EQ(read(R"({"Action": "track:volume", "STATUS": 176, "Data": 7, "Track": 2})")->track, 2);
  EXPECT_GT(read(R"({"action": "tempo_tap", "status": 1, "data": 1})")->ID, plain->ID) << "new IDs";

  std::unique_ptr<Binding> clip = read(R"({"action": "grid:clip_state", "status": 144, "data": 53,
    "track": 0, "scene": 0, "state": {"playing": 1, "stopped": 3, "QUEUEPLAYING": 2, "bogus": 9}})");
  ASSERT_EQ(clip->action, EVENT_GRID_STATE);
  EXPECT_EQ(clip->clipStateCount(), 3);
  int v = -1;
  EXPECT_TRUE(clip->clipStateValue(1, &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(clip->clipStateValue(2, &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(clip->clipStateValue(3, &v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(clip->clipStateValue(5, &v));
  EXPECT_FALSE(clip->clipStateValue(7, &v));
}

TEST_F(MidiTest, AWrittenMapReadsBackWithItsInputBindingsOnly)
{
  Loaded original = load(writeMap("source.ctlr", ROUND_TRIP_MAP));
  ASSERT_EQ(original.c->status(), 1) << original.log;
  GenericMIDI* c = handOver(original.c);
  {
    rtcheck::ProcessScope rt; // a binding learnt while the engine holds the controller
    c->setupBinding(EVENT_TRACK_RECORD_ARM, 0x90, 40, 3, -1, -1, 0);
  }
  DiskWriter writer;
  writer.setControllerInfo(0, "Written");
  writer.setControllerInfo(1, "me");
  writer.setControllerInfo(2, "http://example.org/pad");
  testing::internal::CaptureStdout();
  EXPECT_EQ(writer.writeControllerFile(c), 0);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(has(log, "Binding action 16 has no prettyName!")) << log;
  EXPECT_TRUE(has(log, "Creating Binding: action 23 == track:volume!")) << log;
  EXPECT_TRUE(has(log, "Writing rt.ctlr file to disk")) << log;

  // The file is named after the controller; its texts are the writer's.
  std::string text = readFile(controllers + "rt.ctlr");
  cJSON* root = cJSON_Parse(text.c_str());
  ASSERT_NE(root, nullptr) << text;
  std::vector<std::string> keys;
  for (cJSON* k = root->child; k; k = k->next)
    keys.push_back(k->string);
  EXPECT_EQ(keys, (std::vector<std::string>{"name", "author", "link", "inputBindings"}));
  cJSON* inputs = cJSON_GetObjectItem(root, "inputBindings");
  ASSERT_EQ(cJSON_GetArraySize(inputs), 5);
  std::vector<std::string> gridKeys;
  for (cJSON* k = cJSON_GetArrayItem(inputs, 1)->child; k; k = k->next)
    gridKeys.push_back(k->string);
  EXPECT_EQ(gridKeys, (std::vector<std::string>{"action", "status", "data", "track", "scene"}))
    << "no \"active\" for -1, no \"send\" for none";
  cJSON_Delete(root);

  Loaded back = load(controllers + "rt.ctlr");
  ASSERT_EQ(back.c->status(), 1) << back.log;
  EXPECT_STREQ(back.c->getName(), "Written");
  EXPECT_EQ(back.c->getAuthor(), "me");
  EXPECT_EQ(back.c->getLink(), "http://example.org/pad");
  EXPECT_TRUE(back.c->getOutputBindings().empty()) << "output bindings are not written";
  struct Row {
    int action, status, data, track, scene, send, active;
    bool operator==(const Row& o) const
    {
      return action == o.action && status == o.status && data == o.data && track == o.track &&
             scene == o.scene && send == o.send && active == o.active;
    }
  };
  std::vector<Row> rows;
  for (const Binding& b : back.c->getInputBindings())
    rows.push_back({b.action, b.status, b.data, b.track, b.scene, b.send, b.active});
  std::vector<Row> expected = {
    {EVENT_TRACK_VOLUME, 0xB0, 7, 1, -1, -1, 1},
    {EVENT_GRID_EVENT, 0x90, 36, 0, 1, -1, 1}, // -1 was left out, so it reads back as 1
    {EVENT_TRACK_SEND, 0xB0, 20, 2, -1, 1, 0},
    {EVENT_MASTER_VOL, 0xB0, 1, -2, -1, -1, 1},
    {EVENT_TRACK_RECORD_ARM, 0x90, 40, 3, -1, -1, 0},
  };
  EXPECT_TRUE(rows == expected);
  EXPECT_EQ(rows.size(), expected.size());
  delete back.c;
}

TEST_F(MidiTest, WritingOverAnExistingMapAsksFirst)
{
  DiskWriter writer;
  GenericMIDI c("pad");
  const std::string path = controllers + "pad.ctlr";
  std::vector<std::string> asked;
  int answer = 0;
  const char* newName = nullptr;
  dialog::choiceAnswerer = [&](const char* q, const char* b0, const char* b1, const char* b2) {
    asked.push_back(std::string(q) + "|" + b0 + "|" + b1 + "|" + b2);
    return answer;
  };
  dialog::inputAnswerer = [&](const char* q, const char*) {
    asked.push_back(q);
    return newName;
  };

  EXPECT_EQ(writer.writeControllerFile(&c), 0);
  EXPECT_TRUE(asked.empty()) << "no question for a new file";
  writeFile(path, "old");

  struct Case {
    const char* what;
    int answer;
    const char* newName;
    int result;
    const char* oldFileAfter; // null: replaced by a map
    const char* otherFile;    // a file the answer made, or null
  };
  std::vector<Case> cases = {
    {"cancel", 0, nullptr, 0, "old", nullptr},
    {"rename, then cancel", 1, nullptr, 2, "old", nullptr},
    {"rename to a path", 1, "../../escape", 2, "old", nullptr},
    {"rename", 1, "pad2", 0, "old", "pad2.ctlr"},
    {"overwrite", 2, nullptr, 0, nullptr, nullptr},
  };
  for (const Case& k : cases) {
    asked.clear();
    answer = k.answer;
    newName = k.newName;
    testing::internal::CaptureStdout();
    EXPECT_EQ(writer.writeControllerFile(&c), k.result) << k.what;
    std::string log = testing::internal::GetCapturedStdout();
    ASSERT_FALSE(asked.empty()) << k.what;
    EXPECT_EQ(asked[0], "Controller exists, action?|Cancel|Rename|Overwrite") << k.what;
    if (k.answer == 1) {
      ASSERT_EQ(asked.size(), 2u) << k.what;
      EXPECT_EQ(asked[1], "New name for .ctlr file:");
    }
    if (k.oldFileAfter)
      EXPECT_EQ(readFile(path), k.oldFileAfter) << k.what;
    else
      EXPECT_TRUE(has(readFile(path), "\"inputBindings\"")) << k.what;
    if (k.otherFile) {
      EXPECT_TRUE(has(readFile(controllers + k.otherFile), "\"name\":")) << k.what;
      EXPECT_TRUE(has(log, "New .ctlr filename " + controllers + k.otherFile)) << log;
    }
    if (k.answer == 1 && !k.newName) {
      EXPECT_TRUE(has(log, "No name entered for .ctlr file, canceling!")) << log;
    }
  }
  struct stat st;
  EXPECT_NE(stat((home + "/.config/escape.ctlr").c_str(), &st), 0);
  dialog::choiceAnswerer = nullptr;
  dialog::inputAnswerer = nullptr;
}

TEST_F(MidiTest, TheWriterRefusesWhatItCannotWriteAndSaysSo)
{
  DiskWriter writer;
  struct Case {
    const char* what;
    Controller* c;
    const char* logged;
  };
  GenericMIDI escaping("../../outside");
  GenericMIDI blocked("blocked");
  mkdir((controllers + "blocked.ctlr").c_str(), 0775); // a directory where the file goes
  dialog::choiceAnswerer = [](const char*, const char*, const char*, const char*) { return 2; };
  std::vector<Case> cases = {
    {"null", nullptr, "DiskWriter Controller* passed NULL"},
    {"the window's controller", jack->getControllerUpdater()->getController(0),
     "Invalid Controller pointer: cannot write Vesko GUI as is not a GenericMIDI controller!"},
    {"a name that is a path", &escaping, "cannot be a file name"},
    {"a write that fails", &blocked, "Could not write"},
  };
  for (const Case& k : cases) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(writer.writeControllerFile(k.c), 2) << k.what;
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(has(log, k.logged)) << k.what << ": " << log;
  }
  struct stat st;
  EXPECT_NE(stat((home + "/.config/morvit/outside.ctlr").c_str(), &st), 0);
  dialog::choiceAnswerer = nullptr;
}

// The example map shipped for a generic pad: every binding is read, none refused.
TEST(ControllerMapTest, TheShippedPadExampleLoadsWhole)
{
  Loaded l = load(VESKO_TEST_DATA "/../../data/controllers/pad.ctlr");
  ASSERT_NE(l.c->status(), 0) << l.log;
  EXPECT_FALSE(has(l.log, "skipped")) << l.log;
  EXPECT_FALSE(has(l.log, "refused")) << l.log;
  // 32 pads with a press and a release each, 4 scene buttons; a lamp for each.
  EXPECT_EQ(l.c->getInputBindings().size(), 68u);
  EXPECT_EQ(l.c->getOutputBindings().size(), 36u);
  delete l.c;
}
