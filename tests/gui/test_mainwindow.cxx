// The main window as a whole: its keyboard map, the quit paths, the header menu and how
// the engine's announcements reach the strips.

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <jack/ringbuffer.h>
#include <lo/lo.h>

#include "audiobuffer.hxx"
#include "dialog.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gmastertrack.hxx"
#include "gtrack.hxx"
#include "wavfile.hxx"
#include "gui.hxx"
#include "signalflag.hxx"
#include "window_fixture.hxx"

// X last: its macros clash with the test framework's names.
#include <FL/x.H>

extern char fl_key_vector[32];

namespace
{
struct Record {
  int type;
  int a, b, c; // track/scene/state-or-pressed, as the type has them
};

std::vector<Record> takeDsp()
{
  std::vector<Record> out;
  alignas(16) char buf[512];
  while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
    jack_ringbuffer_peek(rbToDsp, buf, 8);
    const uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
    jack_ringbuffer_read(rbToDsp, buf, size);
    const EventBase* e = reinterpret_cast<EventBase*>(buf);
    Record r{(int)e->type(), 0, 0, 0};
    switch (e->type()) {
    case EVENT_GRID_EVENT: {
      auto* g = static_cast<const EventGridEvent*>(e);
      r = {r.type, g->track, g->scene, g->pressed};
      break;
    }
    case EVENT_GRID_STATE: {
      auto* g = static_cast<const EventGridState*>(e);
      r = {r.type, g->track, g->scene, g->state};
      break;
    }
    case EVENT_GRID_LAUNCH_SCENE:
      r.a = static_cast<const EventGridLaunchScene*>(e)->scene;
      break;
    case EVENT_GRID_SELECT_NEW_CHOSEN: {
      auto* g = static_cast<const EventGridSelectNewChosen*>(e);
      r = {r.type, g->track, g->scene, 0};
      break;
    }
    default:
      break;
    }
    out.push_back(r);
  }
  return out;
}

// Exactly one record was queued, and it is `want`.
void expectOnly(const std::vector<Record>& got, const Record& want)
{
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, want.type);
  EXPECT_EQ(got[0].a, want.a);
  EXPECT_EQ(got[0].b, want.b);
  EXPECT_EQ(got[0].c, want.c);
}

void toGui(EventBase* e)
{
  writeToGuiRingbuffer(e);
}

std::string tempDir()
{
  char tmpl[] = "/tmp/vesko-gui-XXXXXX";
  return mkdtemp(tmpl);
}
} // namespace

class MainWindowTest : public WindowTest
{
protected:
  void SetUp() override
  {
    WindowTest::SetUp();
    if (HasFatalFailure())
      return;
    // The fixture's own window is not used: the interface builds its own.
    win->end();
    delete win;
    win = nullptr;
    if (!rbToDsp)
      createEventQueues();
    jack_ringbuffer_reset(rbToDsp);
    jack_ringbuffer_reset(rbToGui);
    home = tempDir();
    setenv("HOME", home.c_str(), 1);
    if (managerUrl.empty())
      unsetenv("NSM_URL");
    else
      setenv("NSM_URL", managerUrl.c_str(), 1);
    g = new Gui("vesko");
    win = g->getWindow();
    ASSERT_NE(win, nullptr);
    win->show();
    for (int i = 0; i < 200 && !win->shown(); i++)
      Fl::wait(0.01);
    handleGuiEvents();
    settle();
    takeDsp(); // what the preferences sent
  }

  void TearDown() override
  {
    dialog::choiceAnswerer = nullptr;
    dialog::inputAnswerer = nullptr;
    dialog::popupAnswerer = nullptr;
    dialog::directoryAnswerer = nullptr;
    memset(fl_key_vector, 0, sizeof(fl_key_vector));
    win = nullptr; // the interface deletes its window
    delete g;
    unsetenv("NSM_URL");
    g = nullptr;
    WindowTest::TearDown();
    std::string cmd = "rm -rf '" + home + "'";
    (void)system(cmd.c_str());
  }

  // A key as the keyboard handler sees it when no widget took it.
  int shortcut(const char* text, int state = 0)
  {
    static char buffer[8];
    strncpy(buffer, text, sizeof(buffer) - 1);
    Fl::e_text = buffer;
    Fl::e_length = (int)strlen(buffer);
    Fl::e_state = state;
    Fl::e_number = FL_SHORTCUT;
    return Gui::keyboardHandler(FL_SHORTCUT);
  }

  void hold(int keysym, bool down)
  {
    int code = XKeysymToKeycode(fl_display, keysym);
    ASSERT_NE(code, 0);
    if (down)
      fl_key_vector[code / 8] |= (char)(1 << (code % 8));
    else
      fl_key_vector[code / 8] &= (char)~(1 << (code % 8));
  }

  Gui* g = nullptr;
  std::string home;
  std::string managerUrl; // set before SetUp to start under a session manager
};

TEST_F(MainWindowTest, KeyboardMapSendsTheGridRecords)
{
  struct Case {
    const char* text;
    Record want;
  } cases[] = {
    {"1", {EVENT_GRID_EVENT, 0, 0, 1}},      {"8", {EVENT_GRID_EVENT, 7, 0, 1}},
    {"q", {EVENT_GRID_EVENT, 0, 1, 1}},      {"i", {EVENT_GRID_EVENT, 7, 1, 1}},
    {"a", {EVENT_GRID_EVENT, 0, 2, 1}},      {"k", {EVENT_GRID_EVENT, 7, 2, 1}},
    {"z", {EVENT_GRID_EVENT, 0, 3, 1}},      {",", {EVENT_GRID_EVENT, 7, 3, 1}},
    {"!", {EVENT_GRID_STATE, 0, 0, 0}},      {"@", {EVENT_GRID_STATE, 1, 0, 0}},
    {"*", {EVENT_GRID_STATE, 7, 0, 0}},      {"\"", {EVENT_GRID_STATE, 1, 0, 0}},
    {"\xC2\xA3", {EVENT_GRID_STATE, 2, 0, 0}}, {"Q", {EVENT_GRID_STATE, 0, 1, 0}},
    {"I", {EVENT_GRID_STATE, 7, 1, 0}},      {"A", {EVENT_GRID_STATE, 0, 2, 0}},
    {"Z", {EVENT_GRID_STATE, 0, 3, 0}},      {"<", {EVENT_GRID_STATE, 7, 3, 0}},
    {"9", {EVENT_GRID_LAUNCH_SCENE, 0, 0, 0}}, {"o", {EVENT_GRID_LAUNCH_SCENE, 1, 0, 0}},
    {"l", {EVENT_GRID_LAUNCH_SCENE, 2, 0, 0}}, {".", {EVENT_GRID_LAUNCH_SCENE, 3, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(shortcut(c.text), 1);
    expectOnly(takeDsp(), c.want);
  }
  // Keys of no meaning are left for others, and send nothing.
  for (const char* text : {"p", "0", "/", "", "12"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(shortcut(text), 0);
    EXPECT_TRUE(takeDsp().empty());
  }
}

TEST_F(MainWindowTest, SpaceAndArrowsActOnTheSelectionTheEngineReported)
{
  EventGridSelectNewChosen chosen(3, 5);
  toGui(&chosen);
  handleGuiEvents();
  EXPECT_EQ(g->getTrack(3)->getClipSelector()->getSpecial(), 5);
  EXPECT_EQ(g->getTrack(0)->getClipSelector()->getSpecial(), -1);

  struct Case {
    int keysym;
    int state;
    Record want;
  } cases[] = {
    {' ', 0, {EVENT_GRID_EVENT, 3, 5, 1}},
    {' ', FL_SHIFT, {EVENT_GRID_STATE, 3, 5, 0}},
    {FL_Left, 0, {EVENT_GRID_SELECT_NEW_CHOSEN, 2, 5, 0}},
    {FL_Right, 0, {EVENT_GRID_SELECT_NEW_CHOSEN, 4, 5, 0}},
    {FL_Up, 0, {EVENT_GRID_SELECT_NEW_CHOSEN, 3, 4, 0}},
    {FL_Down, 0, {EVENT_GRID_SELECT_NEW_CHOSEN, 3, 6, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keysym);
    hold(c.keysym, true);
    // The key is held while an event no widget wanted arrives, whatever its text.
    EXPECT_EQ(shortcut("", c.state), 1);
    hold(c.keysym, false);
    expectOnly(takeDsp(), c.want);
  }

  // At the left edge the request goes out unclamped: the engine keeps the selection.
  EventGridSelectNewChosen edge(0, 0);
  toGui(&edge);
  handleGuiEvents();
  hold(FL_Left, true);
  shortcut("");
  hold(FL_Left, false);
  std::vector<Record> got = takeDsp();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].a, -1);
  EXPECT_EQ(g->getTrack(0)->getClipSelector()->getSpecial(), 0);
}

TEST_F(MainWindowTest, QuitPaths)
{
  int asked = 0;
  int answer = 0;
  dialog::choiceAnswerer = [&](const char* q, const char*, const char*, const char*) {
    EXPECT_STREQ(q, "Really Quit?");
    asked++;
    return answer;
  };
  // Escape asks; Cancel keeps everything running.
  Fl::e_number = FL_SHORTCUT;
  Fl::e_keysym = FL_Escape;
  win->do_callback();
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(g->isQuitting());
  EXPECT_TRUE(win->shown());

  // The window manager's close quits without asking.
  Fl::e_number = FL_CLOSE;
  Fl::e_keysym = 0;
  win->do_callback();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(g->isQuitting());
  EXPECT_FALSE(win->shown());
}

TEST_F(MainWindowTest, EngineQuitAndEscapeQuit)
{
  int asked = 0;
  dialog::choiceAnswerer = [&](const char*, const char*, const char*, const char*) {
    asked++;
    return 1;
  };
  EventQuit quit;
  toGui(&quit);
  handleGuiEvents();
  EXPECT_TRUE(g->isQuitting()) << "the engine's quit needs no answer";
  EXPECT_EQ(asked, 0);
}

TEST_F(MainWindowTest, HeaderMenuStartsANewSession)
{
  g->setTrackName(2, "Drums");
  g->setClipName(2, 4, "break");
  g->setSceneName(1, "Chorus");
  std::vector<std::string> items;
  dialog::popupAnswerer = [&](const Fl_Menu_Item* m) {
    for (; m->text; m++)
      items.push_back(std::string(m->text) + (m->active() ? "" : " (inactive)"));
    return std::string("New Session");
  };
  int yes = 0;
  dialog::choiceAnswerer = [&](const char* q, const char*, const char* b1, const char*) {
    EXPECT_STREQ(q, "Start a new session?");
    EXPECT_STREQ(b1, "Yes");
    return yes;
  };
  g->headerMenu();
  EXPECT_EQ(items, (std::vector<std::string>{"New Session", "Load Session", "Save Session   ",
                                             "Setup", "Quit"}));
  EXPECT_TRUE(takeDsp().empty()) << "Cancel starts nothing";
  EXPECT_STREQ(g->getTrack(2)->getTitle(), "Drums");

  yes = 1;
  g->headerMenu();
  std::vector<Record> got = takeDsp();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, EVENT_STATE_RESET);
  EXPECT_STREQ(g->getTrack(2)->getTitle(), "Track 3");
  EXPECT_EQ(g->getTrack(2)->getClipSelector()->getClipName(4), "");
  EXPECT_EQ(g->getMasterTrack()->getClipSelector()->getClipName(1), "Scene 2");
}

TEST_F(MainWindowTest, LogoOpensTheMenuAndTheMakerImageDoesNot)
{
  int popups = 0;
  dialog::popupAnswerer = [&](const Fl_Menu_Item*) {
    popups++;
    return std::string();
  };
  Fl_Widget* logo = nullptr;
  Fl_Widget* maker = nullptr;
  for (int i = 0; i < win->children(); i++) {
    Fl_Group* group = win->child(i)->as_group();
    for (int j = 0; group && j < group->children(); j++) {
      Fl_Widget* w = group->child(j);
      if (w->x() == 0 && w->w() == 130 && w->h() == 36)
        logo = w;
      if (w->w() == 270 && w->h() == 36)
        maker = w;
    }
  }
  ASSERT_TRUE(logo && maker);
  send(logo, FL_PUSH, 50, 10, FL_BUTTON1, 1);
  EXPECT_EQ(popups, 1);
  send(maker, FL_PUSH, maker->x() + 50, 10, FL_BUTTON1, 1);
  EXPECT_EQ(popups, 1);
  EXPECT_TRUE(takeDsp().empty()) << "choosing nothing does nothing";
}

// What the engine announces shows on the strips.
TEST_F(MainWindowTest, AnnouncementsReachTheStrips)
{
  GTrack* t1 = g->getTrack(1).get();
  GMasterTrack* m = g->getMasterTrack();

  struct PanCase {
    float pan, dial;
  } pans[] = {{-1.f, 0.f}, {0.f, 0.5f}, {1.f, 1.f}};
  for (const PanCase& c : pans) {
    EventTrackPan ev(1, c.pan);
    toGui(&ev);
    handleGuiEvents();
    EXPECT_FLOAT_EQ(t1->getPan(), c.dial) << c.pan;
  }

  EventTimeBPM bpm(120.7f);
  toGui(&bpm);
  handleGuiEvents();
  EXPECT_EQ(m->getBpm(), 120);

  // Send 1 has no dial and send 2 no lamp: those records change nothing.
  EventTrackSend send1(1, 1, 0.9f);
  EventTrackSendActive active2(1, 2, true);
  toGui(&send1);
  toGui(&active2);
  handleGuiEvents();
  EXPECT_FLOAT_EQ(t1->getSend(), 0.f);
  EXPECT_FLOAT_EQ(t1->getXSide(), 0.f);
  EXPECT_FALSE(t1->getSendActive());
  EXPECT_FALSE(t1->getKeyActive());
  EventTrackSend send0(1, 0, 0.4f), send2(1, 2, 0.6f);
  EventTrackSendActive active0(1, 0, true), active1(1, 1, true);
  for (EventBase* e : std::vector<EventBase*>{&send0, &send2, &active0, &active1})
    toGui(e);
  handleGuiEvents();
  EXPECT_FLOAT_EQ(t1->getSend(), 0.4f);
  EXPECT_FLOAT_EQ(t1->getXSide(), 0.6f);
  EXPECT_TRUE(t1->getSendActive());
  EXPECT_TRUE(t1->getKeyActive());

  // Recording gives the ring its recording look; any other state of the track takes it away.
  EventGridState rec(1, 3, 5);
  toGui(&rec);
  handleGuiEvents();
  EXPECT_TRUE(t1->getRadialStatus()->recording);
  EXPECT_EQ(t1->getClipSelector()->getState(3), 5);
  EventGridState play(1, 7, 1);
  toGui(&play);
  handleGuiEvents();
  EXPECT_FALSE(t1->getRadialStatus()->recording);

  // An emptied clip loses its name.
  g->setClipName(1, 7, "loop");
  EventGridState empty(1, 7, 0);
  toGui(&empty);
  handleGuiEvents();
  EXPECT_EQ(t1->getClipSelector()->getClipName(7), "");

  EventGridLaunchScene launch(4);
  toGui(&launch);
  handleGuiEvents();
  for (int s = 0; s < 10; s++)
    EXPECT_EQ(m->getClipSelector()->getState(s), s == 4 ? 1 : 0) << s;

  EventLooperProgress progress(1, 0.25f);
  EventTrackSignalLevel master(-1, 0.8f, 0.7f), input(-2, 0.6f, 0.5f), track(1, 0.9f, 0.3f);
  EventTimeBarBeat beat(3, 6);
  EventMasterInputTo to2(2, 0.3f);
  EventMasterInputToActive toActive2(2, true), toActive3(3, true);
  for (EventBase* e : std::vector<EventBase*>{&progress, &master, &input, &track, &beat, &to2,
                                              &toActive2, &toActive3})
    toGui(e);
  handleGuiEvents();
  EXPECT_FLOAT_EQ((float)t1->getRadialStatus()->value(), 0.25f);
  EXPECT_FLOAT_EQ(m->getVolume()->levelLeft, 0.8f);
  EXPECT_FLOAT_EQ(m->getInputVolume()->levelRight, 0.5f);
  EXPECT_FLOAT_EQ(t1->getVolume()->levelLeft, 0.9f);
  EXPECT_EQ(m->litBeatLamp(), 3 - 6 % 4);
  EXPECT_FLOAT_EQ(m->getInputToXSide(), 0.3f);
  EXPECT_TRUE(m->getInputToKeyActive());
  EXPECT_FALSE(m->getInputToSendActive());
  EXPECT_FALSE(m->getInputToMixActive());
}

TEST_F(MainWindowTest, Screenshot)
{
  EventTimeBPM bpm(128.f);
  toGui(&bpm);
  const int states[][3] = {{0, 0, 1}, {0, 1, 3}, {1, 0, 5}, {2, 0, 6}, {2, 1, 2},
                           {3, 0, 4}, {3, 1, 1}, {4, 2, 1}, {5, 0, 3}};
  for (auto& s : states) {
    EventGridState ev(s[0], s[1], s[2]);
    toGui(&ev);
  }
  EventGridLaunchScene launch(0);
  toGui(&launch);
  EventTimeBarBeat beat(2, 1);
  toGui(&beat);
  for (int t = 0; t < 8; t++) {
    EventTrackSignalLevel level(t, 0.3f + 0.08f * t, 0.25f + 0.08f * t);
    toGui(&level);
  }
  EventLooperProgress progress(0, 0.5f);
  toGui(&progress);
  handleGuiEvents();
  g->setClipName(0, 0, "bassline");
  g->setClipName(0, 1, "bass fill");
  g->setClipName(3, 1, "hats");
  g->setClipName(4, 2, "pad");
  g->setClipName(5, 0, "vox take");
  settle();
  Fl::wait(0.1);
  settle();
  ASSERT_TRUE(savePng(std::string(VESKO_SCREENSHOT_DIR) + "/window.png"));
}

// Under a session manager that has not opened a project yet there is no engine: the window
// says so, and nothing is queued toward an engine that does not exist.
class ManagedWindowTest : public MainWindowTest
{
protected:
  void SetUp() override
  {
    // Nobody answers here: the announce goes out and no open ever comes.
    manager = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
    managerUrl = "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(manager)) + "/";
    MainWindowTest::SetUp();
  }
  void TearDown() override
  {
    MainWindowTest::TearDown();
    lo_server_free(manager);
  }
  lo_server manager = nullptr;
};

TEST_F(ManagedWindowTest, WaitsForTheManagerAndQueuesNothing)
{
  ASSERT_NE(g->getNsm(), nullptr);
  EXPECT_NE(g->getStatus().find("Waiting for the session manager"), std::string::npos);

  std::vector<std::string> inactive;
  dialog::popupAnswerer = [&](const Fl_Menu_Item* m) {
    for (; m->text; m++)
      if (!m->active())
        inactive.push_back(m->text);
    return std::string("Load Session");
  };
  int chosen = 0;
  dialog::directoryAnswerer = [&](const char*) {
    chosen++;
    return std::string("/tmp");
  };
  g->headerMenu();
  EXPECT_EQ(inactive, (std::vector<std::string>{"Load Session", "Save Session   "}));
  EXPECT_EQ(chosen, 0) << "an inactive entry does nothing";

  EXPECT_EQ(shortcut("1"), 0);
  hold(' ', true);
  EXPECT_EQ(shortcut(""), 0);
  hold(' ', false);
  // A click as the window delivers it, through the groups.
  GTrack* t = g->getTrack(0).get();
  EXPECT_FALSE(t->active_r()) << "the strips wait for the engine";
  Fl::e_x = t->getClipSelector()->x() + 50;
  Fl::e_y = t->getClipSelector()->y() + 10;
  Fl::e_state = FL_BUTTON1;
  Fl::e_keysym = FL_Button + 1;
  Fl::handle(FL_PUSH, win);
  Fl::e_state = 0;
  Fl::handle(FL_RELEASE, win);
  EXPECT_TRUE(takeDsp().empty());
}

// A long load says how far it is, clip by clip, and the window is redrawn meanwhile.
TEST_F(MainWindowTest, SessionLoadShowsItsProgress)
{
  g->setSamplerate(48000);
  DiskWriter* writer = g->getDiskWriter();
  ASSERT_EQ(writer->initialize(home, "big"), 0);
  for (int t = 0; t < 8; t++)
    for (int s = 0; s < 10; s++) {
      AudioBuffer ab(256);
      ab.setBeats(4);
      ASSERT_EQ(writer->writeAudioBuffer(t, s, &ab), 0);
    }
  ASSERT_EQ(writer->writeSession(), 0);

  std::vector<std::string> shown;
  DiskReader* reader = g->getDiskReader();
  auto show = reader->onProgress;
  reader->onProgress = [&](int done, int total) {
    show(done, total);
    shown.push_back(g->getStatus());
  };
  ASSERT_EQ(reader->readSession(home + "/big.vesko"), 0);
  ASSERT_EQ(shown.size(), 81u);
  EXPECT_EQ(shown[0], "Loading session: 0 of 80 clips");
  EXPECT_EQ(shown[40], "Loading session: 40 of 80 clips");
  EXPECT_EQ(shown[80], "Session loaded: 80 clips");

  // The loaded clips went toward the engine; there is none here, so free them.
  for (int round = 0; round < 100 && (pendingToEngine() > 0 || jack_ringbuffer_read_space(rbToDsp) > 0);
       round++) {
    alignas(16) char buf[512];
    while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
      jack_ringbuffer_peek(rbToDsp, buf, 8);
      const uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
      jack_ringbuffer_read(rbToDsp, buf, size);
      if (reinterpret_cast<EventBase*>(buf)->type() == EVENT_LOOPER_LOAD)
        delete reinterpret_cast<EventLooperLoad*>(buf)->audioBuffer;
    }
    sendPendingToEngine();
  }
  EXPECT_EQ(pendingToEngine(), 0);
}

TEST_F(MainWindowTest, SessionSaveShowsItsProgressAndItsEnd)
{
  g->setSamplerate(48000);
  for (int s : {0, 3, 7}) {
    EventGridState st(1, s, 3);
    toGui(&st);
  }
  handleGuiEvents();
  dialog::inputAnswerer = [](const char*, const char*) { return "gig"; };
  g->saveSession();
  EXPECT_EQ(g->getStatus(), "Saving session: 0 of 3 clips");
  for (int s : {0, 3}) {
    EventStateSaveBuffer ev(1, s, new AudioBuffer(128), false);
    toGui(&ev);
  }
  handleGuiEvents();
  EXPECT_EQ(g->getStatus(), "Saving session: 2 of 3 clips");
  EventStateSaveFinish finish;
  toGui(&finish);
  handleGuiEvents();
  EXPECT_EQ(g->getStatus(), "Session saved: gig");
}

// A second save while the first is under way would move the rest of the first one's clips
// into another session: it is refused, and the first ends whole where it was asked for.
TEST_F(MainWindowTest, ASecondSaveIsRefusedUntilTheFirstIsDone)
{
  g->setSamplerate(48000);
  for (int s : {0, 3}) {
    EventGridState st(1, s, 3);
    toGui(&st);
  }
  handleGuiEvents();
  int asked = 0;
  std::string name = "gig";
  dialog::inputAnswerer = [&](const char*, const char*) {
    asked++;
    return name.c_str();
  };
  g->saveSession();
  std::vector<Record> sent = takeDsp();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, EVENT_STATE_SAVE);
  EventStateSaveBuffer first(1, 0, new AudioBuffer(128), false);
  toGui(&first);
  handleGuiEvents();

  name = "other";
  g->saveSession();
  EXPECT_EQ(asked, 1) << "no name is asked for";
  EXPECT_TRUE(takeDsp().empty()) << "nothing reaches the engine";
  EXPECT_EQ(g->getStatus(), "A save is under way: try again once it is done");

  EventStateSaveBuffer second(1, 3, new AudioBuffer(128), false);
  toGui(&second);
  EventStateSaveFinish finish;
  toGui(&finish);
  handleGuiEvents();
  EXPECT_EQ(g->getStatus(), "Session saved: gig");
  const std::string parent = g->getDiskWriter()->getSessionParent();
  struct stat st;
  EXPECT_EQ(stat((parent + "/gig.vesko/session.vesko").c_str(), &st), 0);
  for (const char* wav : {"/gig.vesko/audio/t_1_s_0.wav", "/gig.vesko/audio/t_1_s_3.wav"})
    EXPECT_EQ(stat((parent + wav).c_str(), &st), 0) << wav;
  EXPECT_NE(stat((parent + "/other.vesko").c_str(), &st), 0);

  // Once it is done, saving again works.
  g->saveSession();
  EXPECT_EQ(asked, 2);
  sent = takeDsp();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, EVENT_STATE_SAVE);
}

// When the engine could not hand over every clip, writing the session would replace the last
// good one with one that lacks them: the previous files stay.
TEST_F(MainWindowTest, ASaveMissingClipsKeepsTheLastGoodSession)
{
  g->setSamplerate(48000);
  EventGridState st(1, 0, 3);
  toGui(&st);
  handleGuiEvents();
  dialog::inputAnswerer = [](const char*, const char*) { return "gig"; };
  for (int frames : {128, 256}) {
    g->saveSession();
    takeDsp();
    auto* ab = new AudioBuffer(frames);
    ab->setLengthFrames(frames);
    EventStateSaveBuffer clip(1, 0, ab, false);
    toGui(&clip);
    EventStateSaveFinish finish(frames == 128 ? 0 : 1);
    toGui(&finish);
    handleGuiEvents();
  }
  EXPECT_EQ(g->getStatus(), "Session NOT saved: the previous files are unchanged (see the log)");
  const std::string parent = g->getDiskWriter()->getSessionParent();
  EXPECT_EQ(wavChannel(parent + "/gig.vesko/audio/t_1_s_0.wav", 0).size(), 128u);
}

// A signal while a question is open ends the question and quits: nobody has to answer it.
TEST_F(MainWindowTest, ASignalQuitsEvenWithADialogOpen)
{
  Fl::add_timeout(0.05, [](void*) { signalFlag = SIGINT; });
  int answer = dialog::choice("Really Quit?", "Cancel", "Quit", nullptr);
  signalFlag = 0;
  EXPECT_EQ(answer, 0) << "the dialog was closed, not answered";
  EXPECT_TRUE(g->isQuitting());
  EXPECT_EQ(Fl::first_window(), nullptr);
}
