// The track and master strips: what each gesture sends toward the engine, what the setters
// show, and how the two strips look side by side. Events go through the toolkit's own
// dispatch, so a click lands on whatever widget the user would hit at that point.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Valuator.H>
#include <jack/ringbuffer.h>

#include "dialog.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gmastertrack.hxx"
#include "gtrack.hxx"
#include "gui.hxx"
#include "window_fixture.hxx"

namespace
{
// One record toward the engine, reduced to what the strips fill in: the track (or -1), the
// send, place or return number (or -1), and the value, switch or tempo as a float.
struct Sent
{
  int type;
  int track;
  int which;
  float value;
};

bool operator==(const Sent& a, const Sent& b)
{
  return a.type == b.type && a.track == b.track && a.which == b.which &&
         std::fabs(a.value - b.value) < 1e-5f;
}

std::ostream& operator<<(std::ostream& o, const Sent& s)
{
  return o << "{type " << s.type << ", track " << s.track << ", " << s.which << ", " << s.value
           << "}";
}

Sent reduce(const EventBase* e)
{
  switch (e->type()) {
  case EVENT_TRACK_VOLUME: {
    auto* r = static_cast<const EventTrackVol*>(e);
    return {e->type(), r->track, -1, r->vol};
  }
  case EVENT_TRACK_PAN: {
    auto* r = static_cast<const EventTrackPan*>(e);
    return {e->type(), r->track, -1, r->pan};
  }
  case EVENT_TRACK_JACKSEND: {
    auto* r = static_cast<const EventTrackJackSend*>(e);
    return {e->type(), r->track, -1, r->value};
  }
  case EVENT_TRACK_JACKSEND_ACTIVATE: {
    auto* r = static_cast<const EventTrackJackSendActivate*>(e);
    return {e->type(), r->track, -1, (float)r->active};
  }
  case EVENT_TRACK_SEND: {
    auto* r = static_cast<const EventTrackSend*>(e);
    return {e->type(), r->track, r->send, r->value};
  }
  case EVENT_TRACK_SEND_ACTIVE: {
    auto* r = static_cast<const EventTrackSendActive*>(e);
    return {e->type(), r->track, r->send, (float)r->active};
  }
  case EVENT_TRACK_RECORD_ARM: {
    auto* r = static_cast<const EventTrackRecordArm*>(e);
    return {e->type(), r->track, -1, r->recordArm};
  }
  case EVENT_MASTER_VOL:
    return {e->type(), -1, -1, static_cast<const EventMasterVol*>(e)->vol};
  case EVENT_MASTER_INPUT_VOL:
    return {e->type(), -1, -1, static_cast<const EventMasterInputVol*>(e)->vol};
  case EVENT_MASTER_INPUT_TO: {
    auto* r = static_cast<const EventMasterInputTo*>(e);
    return {e->type(), -1, r->place, r->value};
  }
  case EVENT_MASTER_INPUT_TO_ACTIVE: {
    auto* r = static_cast<const EventMasterInputToActive*>(e);
    return {e->type(), -1, r->place, (float)r->active};
  }
  case EVENT_MASTER_RETURN: {
    auto* r = static_cast<const EventMasterReturn*>(e);
    return {e->type(), -1, r->ret, r->vol};
  }
  case EVENT_TIME_BPM:
    return {e->type(), -1, -1, static_cast<const EventTimeBPM*>(e)->bpm};
  case EVENT_TIME_TEMPO_TAP:
    return {e->type(), -1, -1, (float)static_cast<const EventTimeTempoTap*>(e)->pressed};
  case EVENT_METRONOME_ACTIVE:
    return {e->type(), -1, -1, (float)static_cast<const EventMetronomeActive*>(e)->active};
  case EVENT_METRONOME_VOLUME:
    return {e->type(), -1, -1, static_cast<const EventMetronomeVolume*>(e)->vol};
  case EVENT_TRANSPORT:
    return {e->type(), -1, -1, (float)static_cast<const EventTransportState*>(e)->ts};
  default:
    return {e->type(), -2, -2, NAN};
  }
}

// Everything queued toward the engine since the last call, oldest first.
std::vector<Sent> takeSent()
{
  std::vector<Sent> out;
  alignas(16) char buf[256];
  while (jack_ringbuffer_read_space(rbToDsp) >= 8) {
    jack_ringbuffer_peek(rbToDsp, buf, 8);
    uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
    jack_ringbuffer_read(rbToDsp, buf, size);
    out.push_back(reduce(reinterpret_cast<EventBase*>(buf)));
  }
  return out;
}

const Sent NOTHING{-1, -1, -1, 0};
} // namespace

// A track strip at (10, 10) and the master strip at (130, 10). The track is the second one
// made, so a strip that sends track 0 is caught.
class StripTest : public WindowTest
{
protected:
  void SetUp() override
  {
    WindowTest::SetUp();
    if (!rbToDsp)
      createEventQueues();
    jack_ringbuffer_reset(rbToDsp);
    GTrack::resetCounter();
    delete new GTrack(0, 0, 110, 650, "spare");
    track = new GTrack(10, 10, 110, 650, "Track 2");
    master = new GMasterTrack(130, 10, 150, 650, "Master");
  }

  void TearDown() override
  {
    dialog::inputAnswerer = nullptr;
    dialog::popupAnswerer = nullptr;
    WindowTest::TearDown();
  }

  int windowWidth() const override { return 290; }
  int windowHeight() const override { return 670; }

  // One event through the window's dispatch, pointer at (x, y).
  void deliver(int event, int x, int y, int button)
  {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = x + win->x();
    Fl::e_y_root = y + win->y();
    Fl::e_keysym = FL_Button + button;
    int held = button == 3 ? FL_BUTTON3 : FL_BUTTON1;
    Fl::e_state = event == FL_RELEASE ? 0 : held;
    Fl::handle(event, win);
  }

  void click(int x, int y, int button = 1)
  {
    deliver(FL_PUSH, x, y, button);
    deliver(FL_RELEASE, x, y, button);
  }

  // Presses the valuator at (x, y), sets it to `from`, drags it by (dx, dy) and lets go.
  void drag(int x, int y, double from, int dx, int dy)
  {
    deliver(FL_PUSH, x, y, 1);
    Fl_Valuator* v = dynamic_cast<Fl_Valuator*>(Fl::pushed());
    ASSERT_NE(v, nullptr) << "no dial or fader at " << x << "," << y;
    v->value(from);
    deliver(FL_DRAG, x, y, 1);
    deliver(FL_DRAG, x + dx, y + dy, 1);
    deliver(FL_RELEASE, x + dx, y + dy, 1);
  }

  GTrack* track = nullptr;
  GMasterTrack* master = nullptr;
};

// Each drag step sends the value it reached; the last record is where the gesture ended.
TEST_F(StripTest, DialsAndFadersSendWhereTheyEnd)
{
  ASSERT_EQ(track->getID(), 1);
  struct Case
  {
    const char* what;
    int x, y;
    double from;
    int dx, dy;
    Sent last;
  } cases[] = {
    {"track fader", 96, 587, 0.78, 0, 64, {EVENT_TRACK_VOLUME, 1, -1, 0.28f}},
    {"pan centred", 98, 504, 0.5, 0, 0, {EVENT_TRACK_PAN, 1, -1, 0.f}},
    {"pan fully right", 98, 504, 0.5, 0, -100, {EVENT_TRACK_PAN, 1, -1, 1.f}},
    {"pan fully left", 98, 504, 0.5, 0, 100, {EVENT_TRACK_PAN, 1, -1, -1.f}},
    {"pan a quarter right", 98, 504, 0.5, 0, -25, {EVENT_TRACK_PAN, 1, -1, 0.5f}},
    {"JACK send", 46, 455, 1.0, 0, 50, {EVENT_TRACK_JACKSEND, 1, -1, 0.5f}},
    {"post-fader send", 44, 505, 0.0, 0, -30, {EVENT_TRACK_SEND, 1, 0, 0.3f}},
    {"side-chain crossfade", 44, 574, 0.0, 0, -70, {EVENT_TRACK_SEND, 1, 2, 0.7f}},
    {"input level", 205, 55, 0.5, 33, 0, {EVENT_MASTER_INPUT_VOL, -1, -1, 0.75f}},
    {"input to send", 160, 89, 0.0, 0, -40, {EVENT_MASTER_INPUT_TO, -1, 0, 0.4f}},
    {"input to crossfade", 205, 89, 0.0, 0, -50, {EVENT_MASTER_INPUT_TO, -1, 2, 0.5f}},
    {"input to mix", 250, 89, 0.0, 0, -60, {EVENT_MASTER_INPUT_TO, -1, 1, 0.6f}},
    {"master fader", 254, 543, 0.78, 0, 54, {EVENT_MASTER_VOL, -1, -1, 0.53f}},
    {"return", 209, 572, 1.0, 0, 40, {EVENT_MASTER_RETURN, -1, 1, 0.6f}},
    {"tempo fully up", 209, 630, 0.375, 0, -200, {EVENT_TIME_BPM, -1, -1, 220.f}},
    {"tempo fully down", 209, 630, 0.375, 0, 200, {EVENT_TIME_BPM, -1, -1, 60.f}},
    {"tempo cut to a whole bpm", 209, 630, 0.5, 0, -3, {EVENT_TIME_BPM, -1, -1, 144.f}},
  };
  show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    drag(c.x, c.y, c.from, c.dx, c.dy);
    std::vector<Sent> sent = takeSent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), c.last);
    for (const Sent& s : sent)
      EXPECT_EQ(s.type, c.last.type) << "a gesture sends one kind of record";
  }
}

// "Snd" answers at once; "FX", "Key" and "XRec" ask for the opposite of what they show and
// wait for the engine's confirmation.
TEST_F(StripTest, TrackLampsAskOrToggle)
{
  struct Case
  {
    const char* what;
    int x, y;
    void (GTrack::*set)(bool);
    bool (GTrack::*get)() const;
    bool litBefore;
    Sent sent;
    bool litAfter;
  } cases[] = {
    {"FX dark", 84, 455, &GTrack::setJackSendActivate, &GTrack::getJackSendActivate, false,
     {EVENT_TRACK_JACKSEND_ACTIVATE, 1, -1, 1}, false},
    {"FX lit", 84, 455, &GTrack::setJackSendActivate, &GTrack::getJackSendActivate, true,
     {EVENT_TRACK_JACKSEND_ACTIVATE, 1, -1, 0}, true},
    {"Snd dark", 44, 534, &GTrack::setSendActive, &GTrack::getSendActive, false,
     {EVENT_TRACK_SEND_ACTIVE, 1, 0, 1}, true},
    {"Snd lit", 44, 534, &GTrack::setSendActive, &GTrack::getSendActive, true,
     {EVENT_TRACK_SEND_ACTIVE, 1, 0, 0}, false},
    {"Key dark", 44, 603, &GTrack::setKeyActive, &GTrack::getKeyActive, false,
     {EVENT_TRACK_SEND_ACTIVE, 1, 1, 1}, false},
    {"Key lit", 44, 603, &GTrack::setKeyActive, &GTrack::getKeyActive, true,
     {EVENT_TRACK_SEND_ACTIVE, 1, 1, 0}, true},
    {"XRec dark", 44, 634, &GTrack::setRecordActive, &GTrack::getRecordActive, false,
     {EVENT_TRACK_RECORD_ARM, 1, -1, 1}, false},
    {"XRec lit", 44, 634, &GTrack::setRecordActive, &GTrack::getRecordActive, true,
     {EVENT_TRACK_RECORD_ARM, 1, -1, 0}, true},
  };
  show();
  GTrack* strip = track;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    (strip->*c.set)(c.litBefore);
    click(c.x, c.y);
    std::vector<Sent> sent = takeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], c.sent);
    EXPECT_EQ((strip->*c.get)(), c.litAfter);
  }
}

// The master's lamps all toggle themselves: two clicks switch on, then off.
TEST_F(StripTest, MasterLampsToggleAndSend)
{
  struct Case
  {
    const char* what;
    int x, y;
    int type, place;
    bool (GMasterTrack::*get)() const;
  } cases[] = {
    {"Snd", 160, 119, EVENT_MASTER_INPUT_TO_ACTIVE, 0, &GMasterTrack::getInputToSendActive},
    {"Key", 205, 119, EVENT_MASTER_INPUT_TO_ACTIVE, 3, &GMasterTrack::getInputToKeyActive},
    {"Mix", 250, 119, EVENT_MASTER_INPUT_TO_ACTIVE, 1, &GMasterTrack::getInputToMixActive},
    {"Metro", 209, 526, EVENT_METRONOME_ACTIVE, -1, &GMasterTrack::getMetronomeActive},
  };
  show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool on : {true, false}) {
      click(c.x, c.y);
      std::vector<Sent> sent = takeSent();
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0], (Sent{c.type, -1, c.place, (float)on}));
      EXPECT_EQ((master->*c.get)(), on);
    }
  }
}

TEST_F(StripTest, TransportAlternatesAndNamesTheNextAction)
{
  show();
  Tovk::Button* b = master->getTransportButton();
  EXPECT_STREQ(b->label(), "Stop");
  struct Step
  {
    int state;
    const char* label;
  } steps[] = {{0, "Play"}, {1, "Stop"}, {0, "Play"}};
  for (const Step& s : steps) {
    click(209, 460);
    std::vector<Sent> sent = takeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Sent{EVENT_TRANSPORT, -1, -1, (float)s.state}));
    EXPECT_STREQ(b->label(), s.label);
  }
}

TEST_F(StripTest, TapTapsOrAsksForATempo)
{
  show();
  click(209, 493);
  std::vector<Sent> sent = takeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Sent{EVENT_TIME_TEMPO_TAP, -1, -1, 0}));

  struct Case
  {
    const char* answer; // null: cancelled
    Sent sent;
  } cases[] = {
    {"59", NOTHING},  {"221", NOTHING},
    {"60", {EVENT_TIME_BPM, -1, -1, 60}},  {"220", {EVENT_TIME_BPM, -1, -1, 220}},
    {"120abc", {EVENT_TIME_BPM, -1, -1, 120}},  {"abc", NOTHING},  {nullptr, NOTHING},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer ? c.answer : "cancelled");
    std::string asked;
    dialog::inputAnswerer = [&](const char* q, const char*) {
      asked = q;
      return c.answer;
    };
    click(209, 493, 3);
    EXPECT_EQ(asked, "Enter BPM value (range 60 and 220):");
    sent = takeSent();
    if (c.sent.type == NOTHING.type) {
      EXPECT_TRUE(sent.empty());
    } else {
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0], c.sent);
    }
  }

  // The shared handler knows its buttons by their labels.
  master->getTapButton()->copy_label("Tip");
  click(209, 493);
  EXPECT_TRUE(takeSent().empty());
}

TEST_F(StripTest, MetronomeMenuSetsTheClickVolume)
{
  show();
  std::vector<std::string> offered;
  struct Case
  {
    const char* choice;
    float volume; // < 0: nothing sent
  } cases[] = {
    {"Vol 100%", 1.0f}, {"Vol  75%", 0.75f}, {"Vol  50%", 0.5f}, {"Vol  25%", 0.25f}, {"", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice);
    offered.clear();
    dialog::popupAnswerer = [&](const Fl_Menu_Item* menu) {
      for (const Fl_Menu_Item* m = menu; m->text; m++)
        offered.push_back(m->text);
      return std::string(c.choice);
    };
    click(209, 526, 3);
    EXPECT_EQ(offered, (std::vector<std::string>{"Vol 100%", "Vol  75%", "Vol  50%", "Vol  25%"}));
    std::vector<Sent> sent = takeSent();
    if (c.volume < 0) {
      EXPECT_TRUE(sent.empty());
    } else {
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0], (Sent{EVENT_METRONOME_VOLUME, -1, -1, c.volume}));
    }
    EXPECT_FALSE(master->getMetronomeActive()) << "the menu leaves the lamp alone";
  }
}

TEST_F(StripTest, MasterSettersShowOnlyTheirDestinations)
{
  show();
  master->setInputTo(0, 0.1f);
  master->setInputTo(1, 0.2f);
  master->setInputTo(2, 0.3f);
  master->setInputTo(3, 0.9f);
  master->setInputTo(-1, 0.9f);
  EXPECT_FLOAT_EQ(master->getInputToSend(), 0.1f);
  EXPECT_FLOAT_EQ(master->getInputToMix(), 0.2f);
  EXPECT_FLOAT_EQ(master->getInputToXSide(), 0.3f);

  master->setInputToActive(2, true);
  master->setInputToActive(4, true);
  EXPECT_FALSE(master->getInputToSendActive());
  EXPECT_FALSE(master->getInputToKeyActive());
  EXPECT_FALSE(master->getInputToMixActive());
  master->setInputToActive(3, true);
  EXPECT_TRUE(master->getInputToKeyActive());
  EXPECT_FALSE(master->getInputToSendActive());
  EXPECT_FALSE(master->getInputToMixActive());

  // The tempo before the engine reports one, then as reported; the dial stays in range.
  EXPECT_EQ(master->getBpm(), 120);
  EXPECT_STREQ(master->getTempoDial()->label(), "120");
  EXPECT_DOUBLE_EQ(master->getTempoDial()->value(), 0.375);
  master->setBpm(220);
  EXPECT_STREQ(master->getTempoDial()->label(), "220");
  EXPECT_DOUBLE_EQ(master->getTempoDial()->value(), 1.0);
  master->setBpm(30);
  EXPECT_EQ(master->getBpm(), 30);
  EXPECT_DOUBLE_EQ(master->getTempoDial()->value(), 0.0);

  master->setReturnVol(0.4f);
  EXPECT_FLOAT_EQ(master->getReturnVol(), 0.4f);
  EXPECT_TRUE(takeSent().empty()) << "setters send nothing";
}

// The lit lamp over the black panel shows its colour at 0.4; dark ones their background.
TEST_F(StripTest, BeatLampsClimbThroughTheBar)
{
  show();
  const Rgb dark{11, 11, 11};
  const Rgb lit[4] = {{109, 7, 7}, {109, 56, 7}, {109, 109, 7}, {7, 109, 7}};
  auto lampPixel = [&](int i) { return pixel(160, 468 + 54 * i); };

  for (int i = 0; i < 4; i++)
    EXPECT_TRUE(near(lampPixel(i), dark)) << "lamp " << i << " before any beat";
  struct Case
  {
    int beat;
    int lamp; // -1: all dark
  } cases[] = {{0, 3}, {1, 2}, {2, 1}, {3, 0}, {4, 3}, {7, 0}, {-1, -1}, {-2, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "beat " << c.beat);
    master->setBarBeat(5, c.beat);
    settle();
    EXPECT_EQ(master->litBeatLamp(), c.lamp);
    for (int i = 0; i < 4; i++)
      EXPECT_TRUE(near(lampPixel(i), i == c.lamp ? lit[i] : dark)) << "lamp " << i;
  }
}

TEST_F(StripTest, TrackTitleRenamesThroughTheDialog)
{
  show();
  EXPECT_STREQ(track->getTitle(), "Track 2");
  std::string asked;
  const char* answer = "Bass";
  dialog::inputAnswerer = [&](const char* q, const char*) {
    asked = q;
    return answer;
  };
  click(50, 20, 3);
  EXPECT_EQ(asked, "Track name: ");
  EXPECT_STREQ(track->getTitle(), "Bass");
  answer = nullptr;
  click(50, 20, 3);
  EXPECT_STREQ(track->getTitle(), "Bass") << "cancelled";

  std::string name = "Keys";
  track->setTitle(name.c_str());
  name = "changed";
  EXPECT_STREQ(track->getTitle(), "Keys") << "the strip keeps its own copy";
  EXPECT_TRUE(takeSent().empty());
}

TEST_F(StripTest, TrackNumbersCountFromZeroAgain)
{
  EXPECT_EQ(track->getID(), 1);
  EXPECT_EQ(track->getClipSelector()->getID(), 1);
  GTrack::resetCounter();
  GTrack* first = new GTrack(0, 0, 110, 650, "first");
  GTrack* second = new GTrack(0, 0, 110, 650, "second");
  EXPECT_EQ(first->getID(), 0);
  EXPECT_EQ(second->getID(), 1);
  delete first;
  delete second;
  EXPECT_EQ(master->getClipSelector()->getClipName(9), "Scene 10");
  EXPECT_TRUE(master->getClipSelector()->isMaster());
}

// With a window's state in place, a gesture writes it at once, so that a refresh from the
// state before the engine answers does not undo the gesture. Lamps that wait for the
// engine leave it alone.
TEST_F(StripTest, GesturesKeepTheWindowStateInStep)
{
  char tmpl[] = "/tmp/vesko-strips-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const char* oldHome = getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  setenv("HOME", tmpl, 1);
  unsetenv("NSM_URL");
  Gui* g = new Gui("vesko", false);
  ASSERT_EQ(gui, g);
  show();
  GuiTrackState& t = g->getState().tracks[1];
  GuiMasterState& m = g->getState().master;

  drag(96, 587, 0.78, 0, 64);
  EXPECT_FLOAT_EQ(t.fader, 0.28f);
  drag(98, 504, 0.5, 0, -25);
  EXPECT_FLOAT_EQ(t.pan, 0.75f) << "the dial's value, not the engine's pan";
  drag(44, 574, 0.0, 0, -70);
  EXPECT_FLOAT_EQ(t.xside, 0.7f);
  click(44, 534);
  EXPECT_TRUE(t.sendActive);
  click(44, 603);
  click(84, 455);
  click(44, 634);
  EXPECT_FALSE(t.keyActive);
  EXPECT_FALSE(t.jackSendActive);
  EXPECT_FALSE(t.recordArm);

  drag(209, 630, 0.5, 0, -3);
  EXPECT_EQ(m.bpm, 144);
  drag(209, 572, 1.0, 0, 40);
  EXPECT_FLOAT_EQ(m.returnVolume, 0.6f);
  drag(254, 543, 0.78, 0, 54);
  EXPECT_FLOAT_EQ(m.fader, 0.53f);
  click(205, 119);
  EXPECT_TRUE(m.inputToKeyActive);
  click(209, 526);
  EXPECT_TRUE(m.metronomeActive);

  dialog::inputAnswerer = [](const char*, const char*) { return "Bass"; };
  click(50, 20, 3);
  EXPECT_EQ(t.name, "Bass");

  delete g;
  if (oldHome)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
  std::error_code ignored;
  std::filesystem::remove_all(tmpl, ignored);
}

TEST_F(StripTest, ScreenshotOfATrackAndTheMaster)
{
  track->getRadialStatus()->value(0.4);
  track->getVolume()->setAmplitude(0.6f, 0.5f);
  track->setSendActive(true);
  track->setSend(0.6f);
  track->setPan(0.3f);
  track->setJackSendActivate(true);
  master->setBarBeat(0, 1);
  master->setMetronomeActive(true);
  master->setInputToActive(1, true);
  master->setInputTo(1, 0.7f);
  master->getVolume()->setAmplitude(0.7f, 0.65f);
  show();
  std::string dir = VESKO_SCREENSHOT_DIR;
  mkdir(dir.c_str(), 0775);
  EXPECT_TRUE(savePng(dir + "/strips.png"));
}
