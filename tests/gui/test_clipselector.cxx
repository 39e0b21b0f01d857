// The clip column: how cell states and names look, and what clicks, the clip menu and the
// rename dialogs send toward the engine.

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include <sys/stat.h>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <jack/ringbuffer.h>

#include "dialog.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "widgets/clipselector.hxx"
#include "window_fixture.hxx"

namespace
{
struct Record
{
  int type;
  std::vector<char> bytes;
  template <class E> const E& as() const { return *reinterpret_cast<const E*>(bytes.data()); }
};

// Everything queued toward the engine since the last call.
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

// Pixels that differ between two equal-sized areas.
int differing(const std::vector<Rgb>& a, const std::vector<Rgb>& b)
{
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    n += a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b;
  return n;
}

// The interface object without a window, its files under a home of its own.
struct InterfaceInTempHome
{
  std::string home, oldHome;
  Gui* g = nullptr;
  InterfaceInTempHome()
  {
    char tmpl[] = "/tmp/vesko-clipsel-XXXXXX";
    home = mkdtemp(tmpl) ? tmpl : "/tmp";
    if (const char* h = getenv("HOME"))
      oldHome = h;
    setenv("HOME", home.c_str(), 1);
    unsetenv("NSM_URL");
    testing::internal::CaptureStdout();
    g = new Gui("vesko", false);
    testing::internal::GetCapturedStdout();
  }
  ~InterfaceInTempHome()
  {
    delete g;
    setenv("HOME", oldHome.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  }
};

const int X0 = 10, Y0 = 3, W0 = 140, H0 = 294, CH = 29;
int cellTop(int i) { return Y0 + i * CH; }
} // namespace

class ClipSelectorTest : public WindowTest
{
protected:
  void SetUp() override
  {
    WindowTest::SetUp();
    if (!rbToDsp)
      createEventQueues();
    takeDspRecords();
  }
  void TearDown() override
  {
    dialog::inputAnswerer = nullptr;
    dialog::popupAnswerer = nullptr;
    dialog::choiceAnswerer = nullptr;
    dialog::fileAnswerer = nullptr;
    takeDspRecords();
    WindowTest::TearDown();
  }

  Tovk::ClipSelector* column(bool master, int id = 2)
  {
    auto* c = new Tovk::ClipSelector(X0, Y0, W0, H0, "", master);
    c->setID(id);
    return c;
  }

  int leftClick(Tovk::ClipSelector* c, int y)
  {
    int r = send(c, FL_PUSH, X0 + 60, y, FL_BUTTON1, 1);
    send(c, FL_RELEASE, X0 + 60, y, 0, 1);
    return r;
  }
  int rightPush(Tovk::ClipSelector* c, int cell)
  {
    return send(c, FL_PUSH, X0 + 60, cellTop(cell) + 10, FL_BUTTON3, 3);
  }

  // True when the pixel is much darker than the square colour around it.
  bool dark(int x, int y, const Rgb& square)
  {
    Rgb p = pixel(x, y);
    int bright = std::max(square.r, std::max(square.g, square.b));
    return std::max(p.r, std::max(p.g, p.b)) < bright / 2;
  }

  // The text area of a cell, row by row.
  std::vector<Rgb> nameArea(int cell)
  {
    std::vector<Rgb> out;
    for (int y = cellTop(cell) + 3; y < cellTop(cell) + CH - 4; y++)
      for (int x = X0 + CH + 2; x < X0 + W0 - 3; x++)
        out.push_back(pixel(x, y));
    return out;
  }
};

// Square colour and glyph of every state. The glyph is read at three points of the square:
// its centre (triangle and dot, not the ring's hole), right of the centre (ring only) and
// upper left (the triangle's base, outside the dot).
TEST_F(ClipSelectorTest, StatesShowTheirColourAndGlyph)
{
  Tovk::ClipSelector* c = column(false);
  struct Case
  {
    int state;
    Rgb square;
    bool centre, right, upperLeft;
  };
  const Rgb grey{66, 66, 66}, blue = rgbOf(0, 0.6f, 1);
  const Case cases[] = {
    {0, grey, false, false, false},
    {1, Rgb{0, 255, 0}, true, false, true},
    {2, blue, true, false, true},
    {3, rgbOf(1, 0.6f, 0), false, true, true},
    {4, blue, false, true, true},
    {5, Rgb{255, 0, 0}, true, false, false},
    {6, blue, true, false, false},
    {7, grey, false, false, false},
    {-1, grey, false, false, false},
  };
  show();
  for (const Case& k : cases) {
    SCOPED_TRACE("state " + std::to_string(k.state));
    for (int i = 0; i < NSCENES; i++)
      c->setState(i, k.state);
    settle();
    for (int i : {0, 9}) {
      int x = X0, y = cellTop(i);
      EXPECT_TRUE(near(pixel(x + 5, y + 5), k.square));
      EXPECT_EQ(dark(x + 14, y + 14, k.square), k.centre) << "centre, cell " << i;
      EXPECT_EQ(dark(x + 18, y + 14, k.square), k.right) << "right, cell " << i;
      EXPECT_EQ(dark(x + 10, y + 10, k.square), k.upperLeft) << "upper left, cell " << i;
    }
    // The name field keeps the grey cell fill at 0.4 over the window, whatever the state.
    EXPECT_TRUE(near(pixel(X0 + 100, cellTop(4) + 20), Rgb{31, 31, 31}));
  }

  c->setState(10, 5);
  c->setState(-1, 5);
  EXPECT_EQ(c->getState(9), -1) << "scenes outside the column are ignored";
}

TEST_F(ClipSelectorTest, SpecialFrameMarksOneCell)
{
  Tovk::ClipSelector* c = column(false);
  show();
  auto blueTop = [&](int cell) {
    Rgb p = pixel(X0 + 80, cellTop(cell) + 1);
    return p.b > 100 && p.b > p.r + 60;
  };
  for (int i = 0; i < NSCENES; i++)
    EXPECT_FALSE(blueTop(i));

  c->setSpecial(3);
  settle();
  for (int i = 0; i < NSCENES; i++)
    EXPECT_EQ(blueTop(i), i == 3) << "cell " << i;
  // Along the left and the bottom too.
  Rgb left = pixel(X0 + 2, cellTop(3) + 15), bottom = pixel(X0 + 80, cellTop(3) + CH - 2);
  EXPECT_GT(left.b, left.r + 60);
  EXPECT_GT(bottom.b, bottom.r + 60);

  c->setSpecial(7);
  settle();
  EXPECT_FALSE(blueTop(3)) << "the mark moves, it does not multiply";
  EXPECT_TRUE(blueTop(7));

  c->setSpecial(-1);
  settle();
  for (int i = 0; i < NSCENES; i++)
    EXPECT_FALSE(blueTop(i));
  EXPECT_EQ(c->getSpecial(), -1);

  c->setSpecial(-1);
  EXPECT_FALSE(c->damage()) << "removing an absent mark draws nothing";
  c->setSpecial(12);
  EXPECT_EQ(c->getSpecial(), -1);
}

// A name shows its first eight characters, cut between characters; bytes that form no
// character are left out and do not spoil the drawing of the cells after them.
TEST_F(ClipSelectorTest, NamesShowTheirFirstEightCharacters)
{
  Tovk::ClipSelector* c = column(false);
  struct Case
  {
    std::string name, shownAs;
  };
  const Case cases[] = {
    {"Drumloop 120", "Drumloop"},
    {"\xc3\x84rger-\xc3\xa9t\xc3\xa9-Mix", "\xc3\x84rger-\xc3\xa9t"},
    {"Ab\xff\xfe" "cd\xe2\x82", "Abcd"},
    {"Bass", "Bass"},
  };
  const int n = sizeof(cases) / sizeof(cases[0]);
  for (int i = 0; i < n; i++) {
    c->setClipName(2 * i, cases[i].name);
    c->setClipName(2 * i + 1, cases[i].shownAs);
  }
  c->setState(9, 5);
  show();

  const std::vector<Rgb> blank = nameArea(9);
  for (int i = 0; i < n; i++) {
    SCOPED_TRACE(cases[i].shownAs);
    std::vector<Rgb> full = nameArea(2 * i), cut = nameArea(2 * i + 1);
    EXPECT_GT(differing(cut, blank), 20) << "the name is drawn";
    EXPECT_EQ(differing(full, cut), 0);
  }
  EXPECT_EQ(c->getClipName(0), "Drumloop 120") << "the whole name is kept";
  EXPECT_TRUE(near(pixel(X0 + 5, cellTop(9) + 5), Rgb{255, 0, 0}));
  c->setClipName(-1, "x");
  c->setClipName(10, "x");
  EXPECT_EQ(c->getClipName(10), "");
}

// Only presses reach the engine; the cell is the row under the pointer, the rows below the
// tenth cell counting as the tenth.
TEST_F(ClipSelectorTest, ClicksSendGridPressOrSceneLaunch)
{
  Tovk::ClipSelector* track = column(false, 2);
  Tovk::ClipSelector* scenes = new Tovk::ClipSelector(200, Y0, W0, H0, "", true);
  show();
  CallbackLog log;
  log.attach(track);

  struct Case
  {
    int y, button, cell;
  };
  const Case cases[] = {{Y0, 1, 0},       {Y0 + 28, 1, 0},  {Y0 + 29, 1, 1},
                        {Y0 + 140, 2, 4}, {Y0 + 289, 1, 9}, {Y0 + 290, 1, 9},
                        {Y0 + 293, 2, 9}};
  for (const Case& k : cases) {
    SCOPED_TRACE("row " + std::to_string(k.y - Y0));
    int state = k.button == 1 ? FL_BUTTON1 : FL_BUTTON2;
    EXPECT_EQ(send(track, FL_PUSH, X0 + 60, k.y, state, k.button), 1);
    std::vector<Record> r = takeDspRecords();
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].type, EVENT_GRID_EVENT);
    EXPECT_EQ(r[0].as<EventGridEvent>().track, 2);
    EXPECT_EQ(r[0].as<EventGridEvent>().scene, k.cell);
    EXPECT_TRUE(r[0].as<EventGridEvent>().pressed);
    EXPECT_EQ(send(track, FL_RELEASE, X0 + 60, k.y, 0, k.button), 1);
    EXPECT_TRUE(takeDspRecords().empty()) << "a release sends nothing";
  }
  EXPECT_EQ(log.calls, (int)(sizeof(cases) / sizeof(cases[0])));

  log.attach(scenes);
  log.calls = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE("scene row " + std::to_string(k.y - Y0));
    EXPECT_EQ(leftClick(scenes, k.y), 1);
    std::vector<Record> r = takeDspRecords();
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].type, EVENT_GRID_LAUNCH_SCENE);
    EXPECT_EQ(r[0].as<EventGridLaunchScene>().scene, k.cell);
  }
  EXPECT_EQ(log.calls, 0);
}

// Without the interface object a rename changes the column itself; with it, the name goes
// to the interface state that the columns show.
TEST_F(ClipSelectorTest, RightClickRenames)
{
  Tovk::ClipSelector* scenes = column(true);
  Tovk::ClipSelector* track = new Tovk::ClipSelector(200, Y0, W0, H0, "", false);
  track->setID(5);
  track->setClipName(6, "Loop");
  show();
  EXPECT_EQ(scenes->getClipName(0), "Scene 1");
  EXPECT_EQ(scenes->getClipName(9), "Scene 10");
  EXPECT_EQ(track->getClipName(0), "");

  std::string asked, offered;
  const char* answer = nullptr;
  dialog::inputAnswerer = [&](const char* q, const char* d) {
    asked = q;
    offered = d ? d : "(null)";
    return answer;
  };
  dialog::popupAnswerer = [](const Fl_Menu_Item*) { return std::string("Rename"); };

  answer = "Intro";
  EXPECT_EQ(rightPush(scenes, 2), 1);
  EXPECT_EQ(asked, "Scene name: ");
  EXPECT_EQ(offered, "Scene 3");
  EXPECT_EQ(scenes->getClipName(2), "Intro");
  answer = nullptr;
  EXPECT_EQ(rightPush(scenes, 2), 1);
  EXPECT_EQ(scenes->getClipName(2), "Intro") << "a cancelled dialog changes nothing";

  answer = "Chorus";
  EXPECT_EQ(send(track, FL_PUSH, 260, cellTop(6) + 10, FL_BUTTON3, 3), 1);
  EXPECT_EQ(asked, "Clip name: ");
  EXPECT_EQ(offered, "Loop");
  EXPECT_EQ(track->getClipName(6), "Chorus");
  answer = nullptr;
  EXPECT_EQ(send(track, FL_PUSH, 260, cellTop(6) + 10, FL_BUTTON3, 3), 1);
  EXPECT_EQ(track->getClipName(6), "Chorus");
  EXPECT_TRUE(takeDspRecords().empty()) << "names stay in the interface";

  InterfaceInTempHome ui;
  Gui* g = ui.g;
  answer = "Verse";
  rightPush(scenes, 4);
  EXPECT_EQ(g->getState().master.sceneNames[4], "Verse");
  EXPECT_EQ(send(track, FL_PUSH, 260, cellTop(1) + 10, FL_BUTTON3, 3), 1);
  EXPECT_EQ(g->getState().tracks[5].clipNames[1], "Verse");
}

TEST_F(ClipSelectorTest, ClipMenuItemsSendTheirRecords)
{
  Tovk::ClipSelector* c = column(false, 3);
  show();
  CallbackLog log;
  log.attach(c);

  std::string choose;
  std::vector<std::string> topLevel, beats;
  dialog::popupAnswerer = [&](const Fl_Menu_Item* menu) {
    topLevel.clear();
    beats.clear();
    int depth = 0;
    for (const Fl_Menu_Item* m = menu; depth > 0 || m->text; m++) {
      if (!m->text) {
        depth--;
        continue;
      }
      (depth ? beats : topLevel).push_back(m->text);
      if (m->flags & FL_SUBMENU)
        depth++;
    }
    return choose;
  };

  struct Case
  {
    const char* item;
    int type;
    int value; // beats, or the state sent
  };
  const Case cases[] = {
    {"1       ", EVENT_LOOPER_LOOP_LENGTH, 1}, {"2", EVENT_LOOPER_LOOP_LENGTH, 2},
    {"4", EVENT_LOOPER_LOOP_LENGTH, 4},        {"8", EVENT_LOOPER_LOOP_LENGTH, 8},
    {"16", EVENT_LOOPER_LOOP_LENGTH, 16},      {"32", EVENT_LOOPER_LOOP_LENGTH, 32},
    {"64", EVENT_LOOPER_LOOP_LENGTH, 64},      {"Use as tempo", EVENT_LOOPER_USE_AS_TEMPO, 0},
    {"Special", EVENT_GRID_SELECT_NEW_CHOSEN, 0}, {"Clear", EVENT_GRID_STATE, 0},
  };
  int calls = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.item);
    choose = k.item;
    EXPECT_EQ(rightPush(c, 7), 1);
    EXPECT_EQ(log.calls, ++calls);
    std::vector<Record> r = takeDspRecords();
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].type, k.type);
    int track = -1, scene = -1, value = 0;
    switch (k.type) {
    case EVENT_LOOPER_LOOP_LENGTH: {
      const auto& e = r[0].as<EventLooperLoopLength>();
      track = e.track, scene = e.scene, value = e.beats;
      break;
    }
    case EVENT_LOOPER_USE_AS_TEMPO:
      track = r[0].as<EventLooperUseAsTempo>().track;
      scene = r[0].as<EventLooperUseAsTempo>().scene;
      break;
    case EVENT_GRID_SELECT_NEW_CHOSEN:
      track = r[0].as<EventGridSelectNewChosen>().track;
      scene = r[0].as<EventGridSelectNewChosen>().scene;
      break;
    case EVENT_GRID_STATE: {
      const auto& e = r[0].as<EventGridState>();
      track = e.track, scene = e.scene, value = e.state;
      break;
    }
    }
    EXPECT_EQ(track, 3);
    EXPECT_EQ(scene, 7);
    EXPECT_EQ(value, k.value);
  }
  EXPECT_EQ(topLevel, (std::vector<std::string>{"Load", "Save", "Special", "Beats",
                                                "Use as tempo", "Rename", "Clear"}));
  EXPECT_EQ(beats, (std::vector<std::string>{"1       ", "2", "4", "8", "16", "32", "64"}));

  choose = "";
  EXPECT_EQ(rightPush(c, 7), 0) << "a menu closed without a choice leaves the push";
  EXPECT_EQ(log.calls, calls);
  EXPECT_TRUE(takeDspRecords().empty());
}

// Saving one clip: the chooser's path, a question before overwriting, then the request for
// the clip's buffer.
TEST_F(ClipSelectorTest, SaveAsksBeforeOverwriting)
{
  Tovk::ClipSelector* c = column(false, 1);
  show();
  InterfaceInTempHome ui;
  Gui* g = ui.g;
  const std::string existing = ui.home + "/take.wav";
  const std::string fresh = ui.home + "/new.wav";
  FILE* f = fopen(existing.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);

  std::string chosenPath, question;
  std::vector<dialog::FileMode> modes;
  int answer = 0;
  dialog::popupAnswerer = [](const Fl_Menu_Item*) { return std::string("Save"); };
  dialog::fileAnswerer = [&](dialog::FileMode mode, const char*) {
    modes.push_back(mode);
    return chosenPath;
  };
  dialog::choiceAnswerer = [&](const char* q, const char* b0, const char* b1, const char*) {
    question = std::string(q) + "|" + b0 + "|" + b1;
    return answer;
  };

  struct Case
  {
    std::string path;
    int answer;
    bool asked, saved;
  };
  const Case cases[] = {
    {"", 1, false, false},
    {existing, 0, true, false},
    {existing, 1, true, true},
    {fresh, 0, false, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.path + " answer " + std::to_string(k.answer));
    g->saveBufferPath = "earlier";
    chosenPath = k.path;
    answer = k.answer;
    question.clear();
    int consumed = rightPush(c, 5);
    EXPECT_EQ(question, k.asked ? "Overwrite file?|Cancel|Overwrite" : "");
    std::vector<Record> r = takeDspRecords();
    if (k.saved) {
      EXPECT_EQ(consumed, 1);
      EXPECT_EQ(g->saveBufferPath, k.path);
      ASSERT_EQ(r.size(), 1u);
      ASSERT_EQ(r[0].type, EVENT_STATE_SAVE_BUFFER);
      EXPECT_EQ(r[0].as<EventStateSaveBuffer>().track, 1);
      EXPECT_EQ(r[0].as<EventStateSaveBuffer>().scene, 5);
    } else {
      // A cancelled chooser still takes the push; a declined overwrite does not.
      EXPECT_EQ(consumed, k.asked ? 0 : 1);
      EXPECT_EQ(g->saveBufferPath, "earlier");
      EXPECT_TRUE(r.empty());
    }
  }
  EXPECT_EQ(modes, std::vector<dialog::FileMode>(4, dialog::FileMode::Save));

  // "Load" opens the chooser for a sound file; cancelled, nothing is loaded.
  dialog::popupAnswerer = [](const Fl_Menu_Item*) { return std::string("Load"); };
  chosenPath = "";
  modes.clear();
  EXPECT_EQ(rightPush(c, 5), 1);
  EXPECT_EQ(modes, std::vector<dialog::FileMode>{dialog::FileMode::Open});
  EXPECT_TRUE(takeDspRecords().empty());
}

TEST_F(ClipSelectorTest, Screenshot)
{
  new Tovk::ClipSelector(10, 3, 120, 294, "", true);
  Tovk::ClipSelector* c = new Tovk::ClipSelector(140, 3, 120, 294, "", false);
  c->setID(0);
  const char* names[] = {"", "Drumloop 120", "Bass", "Keys", "Vox take 3",
                         "Pad", "Perc", "", "Noise", ""};
  for (int i = 0; i < NSCENES; i++) {
    c->setState(i, i <= 6 ? i : 0);
    c->setClipName(i, names[i]);
  }
  c->setSpecial(4);
  show();
  std::string dir = VESKO_SCREENSHOT_DIR;
  mkdir(dir.c_str(), 0775);
  EXPECT_TRUE(savePng(dir + "/clipselector.png"));
}
