// The options window (controller pages, learning, bindings, save and remove, the web link)
// and the beats dialog, in the whole interface on the X server in DISPLAY.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Tabs.H>
#include <jack/ringbuffer.h>

#include "audiobuffer.hxx"
#include "controller/binding.hxx"
#include "controller/genericmidi.hxx"
#include "dialog.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gaudioeditor.hxx"
#include "gmastertrack.hxx"
#include "goptions.hxx"
#include "gui.hxx"
#include "widgets/button.hxx"
#include "widgets/lightbutton.hxx"
#include "widgets/waveform.hxx"
#include "window_fixture.hxx"

namespace
{
// One record taken from the engine-bound queue, kept whole.
struct Taken {
  int type;
  std::vector<char> bytes;
  template <class T> const T& as() const { return *reinterpret_cast<const T*>(bytes.data()); }
};

std::vector<Taken> takeDsp()
{
  std::vector<Taken> out;
  alignas(16) char buf[512];
  while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
    jack_ringbuffer_peek(rbToDsp, buf, 8);
    const uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
    jack_ringbuffer_read(rbToDsp, buf, size);
    out.push_back({reinterpret_cast<EventBase*>(buf)->type(), std::vector<char>(buf, buf + size)});
  }
  return out;
}

std::string tempDir()
{
  char tmpl[] = "/tmp/vesko-options-XXXXXX";
  return mkdtemp(tmpl);
}

void writeFile(const std::string& path, const std::string& text)
{
  std::ofstream(path) << text;
}

std::string readFile(const std::string& path)
{
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Binding binding(int action, int track, int scene, int send, int active)
{
  Binding b;
  b.action = action;
  b.track = track;
  b.scene = scene;
  b.send = send;
  b.active = active;
  return b;
}

bool sameColour(const Tovk::Colour& a, const Tovk::Colour& b)
{
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

std::string screenshotPath(const char* name)
{
  std::string dir = VESKO_SCREENSHOT_DIR;
  mkdir(dir.c_str(), 0775);
  return dir + "/" + name;
}
} // namespace

TEST(BindingDescription, NamesTheActionAndNumbersFromOne)
{
  struct Case {
    Binding b;
    const char* want;
  } cases[] = {
    {binding(EVENT_MASTER_VOL, -2, -1, -1, -1), "Master Volume"},
    {binding(EVENT_MASTER_VOL, -2, -1, -1, 1), "Master Volume On"},
    {binding(EVENT_TRACK_RECORD_ARM, 2, -1, -1, 1), "track:record_arm Track:3 On"},
    {binding(EVENT_TRACK_SEND_ACTIVE, 0, -1, 0, 0), "track:send_active Track:1 Post-fader Send Off"},
    {binding(EVENT_TRACK_SEND_ACTIVE, 7, -1, 1, 1), "track:send_active Track:8 Sidechain Key On"},
    {binding(EVENT_TRACK_SEND, 4, -1, 2, -1), "track:send Track:5 Sidechain Crossfade"},
    {binding(EVENT_TRACK_SEND, 4, -1, 3, -1), "track:send Track:5"},
    {binding(EVENT_GRID_EVENT, 0, 9, -1, -1), "grid:event Track:1 Scene:10"},
    {binding(EVENT_GRID_LAUNCH_SCENE, -2, 0, -1, 1), "grid:launch_scene Scene:1 On"},
    {binding(EVENT_TRACK_VOLUME, 1, -1, -1, 1), "track:volume Track:2 On"},
    {binding(EVENT_TIME_TEMPO_TAP, -2, -1, -1, 5), "tempo_tap"},
    {binding(EVENT_MASTER_INPUT_TO, -2, -1, 1, -1), "master:input_to Sidechain Key"},
    // No row: no action, and the actions only a map can name.
    {binding(EVENT_NULL, 0, 0, 0, 1), ""},
    {binding(EVENT_GRID_STATE, 0, 0, -1, 1), ""},
    {binding(EVENT_GRID_SELECT_CLIP_ENABLE, -2, -1, -1, 1), ""},
    {binding(EVENT_GRID_SELECT_CLIP_EVENT, -2, -1, -1, 1), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(ControllerUI::describe(c.b), c.want);
  }
}

TEST(ControllerLink, AddressGetsAPrefixUnlessItIsAWebAddress)
{
  struct Case {
    const char* link;
    const char* want;
  } cases[] = {
    {"https://example.org/pad", "https://example.org/pad"},
    {"http://example.org", "http://example.org"},
    {"example.org", "http://example.org"},
    {"", "http://"},
    // Never an option for the opener.
    {"--help http", "http://--help http"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(linkAddress(c.link), c.want) << c.link;
}

// The link reaches the opener as one argument, never a shell: a fake xdg-open first in
// PATH writes down the arguments it got, and the command hidden in the link never runs.
TEST(ControllerLink, ShellTextInALinkRunsNothing)
{
  std::string dir = tempDir();
  std::string victim = dir + "/created-by-shell";
  std::string args = dir + "/args";
  writeFile(dir + "/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                 args + "'\n");
  chmod((dir + "/xdg-open").c_str(), 0755);
  std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (dir + ":" + oldPath).c_str(), 1);

  for (std::string link : {"x; touch " + victim, "$(touch " + victim + ")", "`touch " + victim + "`"}) {
    SCOPED_TRACE(link);
    unlink(args.c_str());
    pid_t pid = openLinkInBrowser(link);
    ASSERT_GT(pid, 0);
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(readFile(args), "http://" + link + "\n");
    EXPECT_NE(access(victim.c_str(), F_OK), 0) << "the link ran a command";
  }
  setenv("PATH", oldPath.c_str(), 1);
  (void)system(("rm -rf '" + dir + "'").c_str());
}

TEST(BeatsSuggestion, CandidatesAndColoursByLengthRateAndTempo)
{
  using Mark = AudioEditor::Mark;
  const Mark P = Mark::Plain, G = Mark::Green, R = Mark::Red;
  const int S = 48000;
  struct Case {
    const char* what;
    size_t frames;
    long rate, bpm;
    const char* grey; // '1' grey, '0' not, per button 1..64
    Mark mark[7];
  } cases[] = {
    {"2 s at 120: 4 nearer than 2", 2 * S, S, 120, "1001111", {P, R, G, P, P, P, P}},
    {"2 s at 60: 2 nearer", 2 * S, S, 60, "1001111", {P, G, R, P, P, P, P}},
    {"1 s at 60: 1 nearer", S, S, 60, "0011111", {G, R, P, P, P, P, P}},
    {"1 s at 120: 2 nearer", S, S, 120, "0011111", {R, G, P, P, P, P, P}},
    // 1.6 s at 100 BPM: 38400 and 19200 frames a beat lie 9600 either side of 28800.
    {"equally near: both green", 8 * S / 5, S, 100, "1001111", {P, G, G, P, P, P, P}},
    // Neighbouring buttons double the tempo, so one candidate is found only at the ends.
    {"0.4 s: only 1, at 60", 2 * S / 5, S, 60, "0111111", {G, P, P, P, P, P, P}},
    {"0.4 s: only 1, at 220", 2 * S / 5, S, 220, "0111111", {G, P, P, P, P, P, P}},
    {"0.4 s: only 1, without a tempo", 2 * S / 5, S, 0, "0111111", {G, P, P, P, P, P, P}},
    {"48 s: only 64, at 120", 48 * S, S, 120, "1111110", {P, P, P, P, P, P, G}},
    {"two candidates without a tempo: none coloured", 2 * S, S, 0, "1001111", {P, P, P, P, P, P, P}},
    {"two candidates, tempo below 0", 2 * S, S, -5, "1001111", {P, P, P, P, P, P, P}},
    {"no rate", 2 * S, 0, 120, "1111111", {P, P, P, P, P, P, P}},
    {"rate below 0", 2 * S, -48000, 120, "1111111", {P, P, P, P, P, P, P}},
    {"empty sample", 0, S, 120, "1111111", {P, P, P, P, P, P, P}},
    // 40 frames at rate 64: 1 beat q 1, 2 beats q 3, then 10 (q 6), 5 (q 12), 2, 1, 0 frames.
    {"fewer than 64 frames", 40, 64, 120, "0011111", {G, R, P, P, P, P, P}},
    {"one frame", 1, 2, 120, "0111111", {G, P, P, P, P, P, P}},
    {"no candidate", 1000 * S, S, 120, "1111111", {P, P, P, P, P, P, P}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AudioEditor::Suggestion s = AudioEditor::suggest(c.frames, c.rate, c.bpm);
    for (int i = 0; i < 7; i++) {
      EXPECT_EQ(s.grey[i], c.grey[i] == '1') << "button " << (1 << i);
      EXPECT_EQ((int)s.mark[i], (int)c.mark[i]) << "button " << (1 << i);
    }
  }
}

// The whole interface without an engine: what the pages send toward the engine is read
// back from its queue, and what the engine would answer is written into the other.
class OptionsTest : public WindowTest
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
    if (!rbToDsp)
      createEventQueues();
    jack_ringbuffer_reset(rbToDsp);
    jack_ringbuffer_reset(rbToGui);
    home = tempDir();
    setenv("HOME", home.c_str(), 1);
    unsetenv("NSM_URL");
    g = new Gui("vesko");
    options = g->getOptionsWindow();
    ASSERT_NE(options, nullptr);
    ASSERT_NE(g->getAudioEditor(), nullptr);
    handleGuiEvents();
    takeDsp();
  }

  void TearDown() override
  {
    dialog::choiceAnswerer = nullptr;
    dialog::inputAnswerer = nullptr;
    dialog::popupAnswerer = nullptr;
    dialog::fileAnswerer = nullptr;
    for (GenericMIDI* c : handedOver)
      delete c;
    win = nullptr; // the interface deletes its windows
    delete g;
    g = nullptr;
    WindowTest::TearDown();
    (void)system(("rm -rf '" + home + "'").c_str());
  }

  // Shows a window of the interface and makes it the one the fixture reads pixels of.
  void showWindow(Fl_Double_Window* w)
  {
    win = w;
    w->show();
    for (int i = 0; i < 300 && !w->shown(); i++)
      Fl::wait(0.01);
    for (int i = 0; i < 20; i++)
      Fl::wait(0.01);
    settle();
  }

  void click(Fl_Widget* b) { pressAndRelease(b); }

  // "New Generic MIDI" answered with `name`; the controller handed to the engine, if any.
  GenericMIDI* newController(const char* name)
  {
    dialog::inputAnswerer = [name](const char*, const char*) { return name; };
    click(options->getNewButton());
    dialog::inputAnswerer = nullptr;
    GenericMIDI* handed = nullptr;
    for (const Taken& t : takeDsp())
      if (t.type == EVENT_CONTROLLER_INSTANCE)
        handed = static_cast<GenericMIDI*>(t.as<EventControllerInstance>().controller);
    if (handed)
      handedOver.push_back(handed);
    return handed;
  }

  std::string rowText(ControllerUI* page, int row)
  {
    Fl_Group* r = page->bindingList->child(row)->as_group();
    return r && r->children() == 2 && r->child(1)->label() ? r->child(1)->label() : "?";
  }

  Gui* g = nullptr;
  OptionsWindow* options = nullptr;
  std::string home;
  std::vector<GenericMIDI*> handedOver;
};

TEST_F(OptionsTest, SetupMenuShowsTheWindowAndQuitHidesBoth)
{
  EXPECT_FALSE(options->shown());
  dialog::popupAnswerer = [](const Fl_Menu_Item*) { return std::string("Setup"); };
  g->headerMenu();
  EXPECT_TRUE(options->shown());
  EXPECT_STREQ(options->getWindow()->label(), "Options");
  EXPECT_EQ(options->getTabs()->children(), 1);
  EXPECT_STREQ(options->getAddGroup()->label(), "Add");

  AudioBuffer ab(4800);
  g->getAudioEditor()->show(&ab, 48000, 120);
  EXPECT_TRUE(g->getAudioEditor()->shown());
  g->quit();
  EXPECT_FALSE(options->shown());
  EXPECT_FALSE(g->getAudioEditor()->shown());
}

TEST_F(OptionsTest, ANewControllerGetsAPageThatShowsWhatTheEngineReports)
{
  // Cancelled: no controller, no page.
  EXPECT_EQ(newController(nullptr), nullptr);
  EXPECT_TRUE(options->getPages().empty());
  EXPECT_EQ(options->getTabs()->children(), 1);

  GenericMIDI* c = newController("pad");
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(options->getPages().size(), 1u);
  ControllerUI* page = options->getPage(c->getID());
  ASSERT_NE(page, nullptr);
  EXPECT_STREQ(page->group->label(), "pad");
  EXPECT_EQ(options->getTabs()->child(0), page->group) << "before the Add tab";
  EXPECT_EQ(options->getTabs()->child(1), options->getAddGroup());
  EXPECT_STREQ(page->authorButton->label(), "");
  EXPECT_STREQ(page->linkButton->label(), "");
  EXPECT_EQ(page->rowCount(), 0);
  EXPECT_FALSE(page->getBindEnable());

  // Bind Enable asks the engine to learn, for every controller.
  click(page->bindEnable);
  EXPECT_TRUE(page->getBindEnable());
  std::vector<Taken> sent = takeDsp();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].type, EVENT_CONTROLLER_BINDING_ENABLE);
  EXPECT_EQ(sent[0].as<EventControllerBindingEnable>().controllerID, -1);
  EXPECT_TRUE(sent[0].as<EventControllerBindingEnable>().enable);

  // The engine names the target, then learns from a message and switches learning off.
  EventControllerBindingTarget target("track:volume");
  writeToGuiRingbuffer(&target);
  handleGuiEvents();
  EXPECT_EQ(page->target, "track:volume");
  EXPECT_STREQ(page->targetBox->label(), "track:volume");
  Binding learnt = binding(EVENT_TRACK_VOLUME, 1, -1, -1, 1);
  EventControllerBindingEnable off(c->getID(), false);
  EventControllerBindingMade made(c->getID(), &learnt);
  writeToGuiRingbuffer(&off);
  writeToGuiRingbuffer(&made);
  handleGuiEvents();
  EXPECT_FALSE(page->getBindEnable());
  ASSERT_EQ(page->rowCount(), 1);
  EXPECT_EQ(rowText(page, 0), "track:volume Track:2 On");
  EXPECT_EQ(page->bindingList->h(), 36);

  // A learnt binding without an action gets no row.
  Binding empty = binding(EVENT_NULL, -2, -1, -1, 1);
  EventControllerBindingMade nothing(c->getID(), &empty);
  writeToGuiRingbuffer(&nothing);
  handleGuiEvents();
  EXPECT_EQ(page->rowCount(), 1);

  // The row's button deletes it here at once and asks the engine to drop it.
  Fl_Group* row = page->rowOf(learnt.ID);
  ASSERT_NE(row, nullptr);
  click(row->child(0));
  EXPECT_EQ(page->rowCount(), 0);
  EXPECT_EQ(page->bindingList->children(), 0);
  sent = takeDsp();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].type, EVENT_CONTROLLER_BINDING_REMOVE);
  EXPECT_EQ(sent[0].as<EventControllerBindingRemove>().controllerID, c->getID());
  EXPECT_EQ(sent[0].as<EventControllerBindingRemove>().bindingID, learnt.ID);
  Fl::wait(0.01); // the row's widgets go at the next turn of the loop

  // The author is asked for; Save hands name, author and link to the map writer.
  dialog::inputAnswerer = [](const char* q, const char*) { return strcmp(q, "Author: ") ? nullptr : "Jane"; };
  click(page->authorButton);
  EXPECT_STREQ(page->authorButton->label(), "Jane");
  click(page->saveButton);
  EXPECT_EQ(g->getDiskWriter()->getControllerInfo(0), "pad");
  EXPECT_EQ(g->getDiskWriter()->getControllerInfo(1), "Jane");
  EXPECT_EQ(g->getDiskWriter()->getControllerInfo(2), "");
  sent = takeDsp();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].type, EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE);
  EXPECT_EQ(sent[0].as<EventControllerInstanceGetToWrite>().ID, c->getID());

  // Remove: the page goes, the engine is asked to let the controller go, and later
  // reports for it reach no page.
  const int id = c->getID();
  click(page->removeButton);
  EXPECT_TRUE(options->getPages().empty());
  EXPECT_EQ(options->getPage(id), nullptr);
  EXPECT_EQ(options->getTabs()->children(), 1);
  EXPECT_EQ(options->getTabs()->value(), options->getAddGroup());
  sent = takeDsp();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].type, EVENT_CONTROLLER_INSTANCE_REMOVE);
  EXPECT_EQ(sent[0].as<EventControllerInstanceRemove>().ID, id);
  Fl::wait(0.01);
  EventControllerBindingMade late(id, &learnt);
  EventControllerBindingTarget lateTarget("track:pan");
  writeToGuiRingbuffer(&late);
  writeToGuiRingbuffer(&lateTarget);
  handleGuiEvents();
  EXPECT_EQ(jack_ringbuffer_read_space(rbToGui), 0u);
}

TEST_F(OptionsTest, LearningOffForOneControllerDarkensEveryPage)
{
  GenericMIDI* a = newController("left");
  GenericMIDI* b = newController("right");
  ASSERT_TRUE(a && b);
  click(options->getPage(a->getID())->bindEnable);
  takeDsp();
  // The engine learnt on b: learning is off for all.
  EventControllerBindingEnable off(b->getID(), false);
  writeToGuiRingbuffer(&off);
  handleGuiEvents();
  EXPECT_FALSE(options->getPage(a->getID())->getBindEnable());
  EXPECT_FALSE(options->getPage(b->getID())->getBindEnable());
  // Reports for a controller without a page change nothing.
  EventControllerBindingEnable on(9999, true);
  writeToGuiRingbuffer(&on);
  handleGuiEvents();
  EXPECT_FALSE(options->getPage(a->getID())->getBindEnable());
}

// Two controllers loaded from maps, one of them with every kind of row; the picture is
// saved for a look.
TEST_F(OptionsTest, LoadedMapsShowTheirBindingsAndABrokenMapGetsNoPage)
{
  std::string dir = veskoControllersDir();
  writeFile(dir + "broken.ctlr", "{\"name\": \"broken\", \"inputBindings\": [");
  writeFile(dir + "pads.ctlr", R"({"name": "Pads", "author": "Vesko tests", "link": "example.org/pads",
    "inputBindings": [
      {"action": "master:volume", "status": 176, "data": 7},
      {"action": "track:record_arm", "status": 144, "data": 40, "track": 2, "active": 1},
      {"action": "track:send_active", "status": 144, "data": 41, "track": 0, "send": 0, "active": 0},
      {"action": "grid:event", "status": 144, "data": 36, "track": 0, "scene": 3, "active": 1},
      {"action": "grid:select_clip_enable", "status": 144, "data": 50},
      {"action": "grid:launch_scene", "status": 144, "data": 82, "scene": 1},
      {"action": "track:send", "status": 176, "data": 20, "track": 7, "send": 2, "active": -1}
    ],
    "outputBindings": [{"action": "grid:launch_scene", "status": 144, "data": 82}]})");
  writeFile(dir + "knobs.ctlr", R"({"name": "Knobs", "author": "A. Nother", "link": "https://example.com",
    "inputBindings": [{"action": "tempo_bpm", "status": 176, "data": 10}]})");

  std::string offered;
  std::string answer;
  dialog::fileAnswerer = [&](dialog::FileMode, const char* title) {
    offered = title;
    return answer;
  };
  answer = "";
  click(options->getLoadButton());
  EXPECT_EQ(offered, "Pick a controller definition");
  answer = dir + "broken.ctlr";
  click(options->getLoadButton());
  EXPECT_TRUE(options->getPages().empty());
  EXPECT_TRUE(takeDsp().empty()) << "nothing handed to the engine";

  for (const char* file : {"knobs.ctlr", "pads.ctlr"}) {
    answer = dir + file;
    click(options->getLoadButton());
    for (const Taken& t : takeDsp())
      if (t.type == EVENT_CONTROLLER_INSTANCE)
        handedOver.push_back(static_cast<GenericMIDI*>(t.as<EventControllerInstance>().controller));
  }
  ASSERT_EQ(handedOver.size(), 2u);
  ASSERT_EQ(options->getPages().size(), 2u);
  ControllerUI* pads = options->getPages()[1];
  EXPECT_EQ(pads->name, "Pads");
  EXPECT_STREQ(pads->authorButton->label(), "Vesko tests");
  EXPECT_STREQ(pads->linkButton->label(), "example.org/pads");
  const std::vector<std::string> want = {
    "Master Volume On",
    "track:record_arm Track:3 On",
    "track:send_active Track:1 Post-fader Send Off",
    "grid:event Track:1 Scene:4 On",
    "grid:launch_scene Scene:2 On",
    "track:send Track:8 Sidechain Crossfade",
  };
  ASSERT_EQ(pads->rowCount(), (int)want.size());
  for (size_t i = 0; i < want.size(); i++)
    EXPECT_EQ(rowText(pads, (int)i), want[i]);
  EXPECT_EQ(options->getTabs()->child(0), options->getPages()[0]->group);
  EXPECT_EQ(options->getTabs()->child(1), pads->group);
  EXPECT_EQ(options->getTabs()->child(2), options->getAddGroup());

  EventControllerBindingTarget target("track:record_arm");
  writeToGuiRingbuffer(&target);
  handleGuiEvents();
  for (ControllerUI* p : options->getPages())
    EXPECT_STREQ(p->targetBox->label(), "track:record_arm");
  pads->setBindEnable(true);

  showWindow(options->getWindow());
  ASSERT_TRUE(savePng(screenshotPath("options-window.png")));
  // The lit "Bind Enable" is drawn in the accent colour, not the dark fill of an unlit one.
  Rgb lit = pixel(pads->bindEnable->x() + 4, pads->bindEnable->y() + 4);
  EXPECT_GT(lit.r, lit.b + 40) << lit;
  win = nullptr;
}

// A real sound file without a beat count: the loader asks with the dialog, closing the
// dialog through the window manager asks again, "4" loads the clip with 4 beats, Cancel
// discards the sample.
class BeatsDialogTest : public OptionsTest
{
protected:
  void SetUp() override
  {
    OptionsTest::SetUp();
    if (HasFatalFailure())
      return;
    g->setSamplerate(48000);
    // Two seconds at the engine's rate: a plucked chord with a decaying tail.
    sample = home + "/chord.wav";
    int status = -1;
    std::string cmd = "sox -n -r 48000 -c 2 -b 16 '" + sample +
                      "' synth 2 pluck C3 pluck E3 pluck G3 fade 0 2 0.3 tremolo 4 60 2>&1";
    status = system(cmd.c_str());
    ASSERT_EQ(status, 0) << "sox is needed to make a sample";
  }

  struct Script {
    BeatsDialogTest* test;
    std::vector<std::string> steps; // "close", "cancel", "4", "shot"
    size_t next = 0;
  };

  // Acts from inside the dialog's own loop, one step each time the dialog is up.
  static void act(void* data)
  {
    Script* s = static_cast<Script*>(data);
    AudioEditor* ed = s->test->g->getAudioEditor();
    if (!ed->shown()) {
      Fl::repeat_timeout(0.02, act, data);
      return;
    }
    if (s->next >= s->steps.size())
      return;
    const std::string step = s->steps[s->next++];
    if (step == "close") {
      ed->getWindow()->do_callback(); // what the window manager's close button does
    } else if (step == "cancel") {
      s->test->click(ed->getCancelButton());
    } else if (step == "shot") {
      s->test->showWindow(ed->getWindow());
      s->test->shotTaken = s->test->savePng(screenshotPath("beats-dialog.png"));
      s->test->checkColours();
      s->test->win = nullptr;
    } else {
      s->test->click(ed->getBeatButton(std::stoi(step) == 4 ? 2 : 0));
    }
    Fl::repeat_timeout(0.02, act, data);
  }

  void checkColours()
  {
    AudioEditor* ed = g->getAudioEditor();
    EXPECT_TRUE(ed->getBeatButton(0)->greyOut);
    EXPECT_FALSE(ed->getBeatButton(1)->greyOut);
    EXPECT_FALSE(ed->getBeatButton(2)->greyOut);
    for (int i = 3; i < 7; i++)
      EXPECT_TRUE(ed->getBeatButton(i)->greyOut) << i;
    EXPECT_TRUE(sameColour(ed->getBeatButton(1)->colour, {1, 0, 0})) << "2 beats: 60 BPM, red";
    EXPECT_TRUE(sameColour(ed->getBeatButton(2)->colour, {0, 1, 0})) << "4 beats: 120 BPM, green";
    EXPECT_TRUE(sameColour(ed->getBeatButton(0)->colour, {0.4f, 0.4f, 0.4f}));
    EXPECT_EQ(ed->getWaveform()->data.size(), 96000u);
    EXPECT_FALSE(ed->getWaveform()->newWaveform) << "the waveform was drawn";
    // The green outline of "4" on screen.
    Tovk::Button* four = ed->getBeatButton(2);
    Rgb edge = pixel(four->x() + four->w() / 2, four->y() + 1);
    EXPECT_GT(edge.g, edge.r + 60) << edge;
    EXPECT_GT(edge.g, edge.b + 60) << edge;
  }

  std::vector<AudioBuffer*> loaded()
  {
    std::vector<AudioBuffer*> out;
    for (const Taken& t : takeDsp())
      if (t.type == EVENT_LOOPER_LOAD)
        out.push_back(t.as<EventLooperLoad>().audioBuffer);
    return out;
  }

  std::string sample;
  bool shotTaken = false;
};

TEST_F(BeatsDialogTest, ClosingAsksAgainAndABeatButtonLoadsTheClip)
{
  ASSERT_EQ(g->getMasterTrack()->getBpm(), 120);
  Script s{this, {"close", "shot", "4"}};
  Fl::add_timeout(0.02, act, &s);
  EXPECT_EQ(g->getDiskReader()->loadSample(1, 2, sample), 0);
  Fl::remove_timeout(act, &s);
  // "4" could only be pressed after the close because the dialog came up again.
  EXPECT_EQ(s.next, s.steps.size()) << "closed once, so asked twice";
  EXPECT_TRUE(shotTaken);
  EXPECT_FALSE(g->getAudioEditor()->shown());
  std::vector<AudioBuffer*> clips = loaded();
  ASSERT_EQ(clips.size(), 1u);
  EXPECT_EQ(clips[0]->getBeats(), 4);
  EXPECT_EQ(clips[0]->getLeft().size(), 96000u);
  EXPECT_EQ(g->getState().tracks[1].clipNames[2], "chord.wav");
  delete clips[0];
}

TEST_F(BeatsDialogTest, CancelDiscardsTheSample)
{
  Script s{this, {"cancel"}};
  Fl::add_timeout(0.02, act, &s);
  EXPECT_EQ(g->getDiskReader()->loadSample(0, 0, sample), 0);
  Fl::remove_timeout(act, &s);
  EXPECT_EQ(s.next, s.steps.size());
  EXPECT_TRUE(loaded().empty());
  EXPECT_EQ(g->getState().tracks[0].clipNames[0], "");
}

TEST_F(BeatsDialogTest, ShowWithoutABufferShowsNothing)
{
  g->getAudioEditor()->show(nullptr);
  EXPECT_FALSE(g->getAudioEditor()->shown());
}
