#include "gui.hxx"

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/x.H>

#include "artwork.hxx"
#include "audiobuffer.hxx"
#include "controller/genericmidi.hxx"
#include "dialog.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gaudioeditor.hxx"
#include "gmastertrack.hxx"
#include "goptions.hxx"
#include "gtrack.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "nsm.hxx"
#include "sessionrescue.hxx"
#include "signalflag.hxx"
#include "widgets/image.hxx"

Gui* gui = nullptr;

// The session manager opened a project: build the engine under the name it gave, read the
// session there and save into it from now on.
static int cb_nsm_open(const char* path, const char* displayName, const char* clientId,
                       char** outMessage, void* data)
{
  Gui* g = static_cast<Gui*>(data);
  VESKO_NOTE("NSM: Open, displayname: %s", displayName);
  bool reopened = jack != nullptr;
  if (!Jack::setup(clientId)) {
    *outMessage = strdup("Cannot reach the JACK server");
    return 1;
  }
  g->setSamplerate(jack->getSamplerate());
  if (reopened) {
    // Another project: what the last one held must not linger in the grid.
    EventStateReset reset;
    writeToDspRingbuffer(&reset);
  }
  g->engineReady();
  g->getDiskReader()->readSession(path);
  g->getDiskWriter()->setSessionManaged(true);
  g->getDiskWriter()->initialize(path, displayName);
  return 0;
}

static int cb_nsm_save(char** outMessage, void* data)
{
  VESKO_NOTE("NSM: saving...");
  Gui* g = static_cast<Gui*>(data);
  if (!jack) {
    *outMessage = strdup("No project is open");
    return 1;
  }
  if (g->isSaving()) {
    *outMessage = strdup("A save is already under way");
    return 1;
  }
  if (jack->serverGone()) {
    // No engine will answer a save any more; the clips are taken directly.
    DiskWriter* writer = g->getDiskWriter();
    int r = g->saveWithoutEngine(writer->getSessionParent(), writer->getSessionName());
    if (r != 0)
      *outMessage = strdup("The JACK server has gone away and the session could not be saved");
    return r;
  }
  g->saveStarted();
  EventStateSave save;
  handToEngine(&save);
  // The manager hears "OK" only once the files are written: it may close the session then.
  return NsmClient::REPLY_LATER;
}

// 1/30 s, as a float widened to double.
static const double DRAIN_PERIOD = (double)(1.f / 30.f);
static const double SIGNAL_POLL_PERIOD = 0.1;

static const int WINDOW_W = 1110, WINDOW_H = 700;

Gui::Gui(const char* argv0, bool withWindow)
{
  gui = this;
  diskWriter = new DiskWriter();
  diskReader = new DiskReader(diskWriter);
  rescue = new SessionRescue(diskWriter);
  diskWriter->setState(&state);
  diskReader->setState(&state);
  diskReader->onProgress = [this](int done, int total) {
    if (total == 0)
      return;
    if (done < total)
      setStatus("Loading session: " + std::to_string(done) + " of " + std::to_string(total) +
                " clips");
    else
      setStatus("Session loaded: " + std::to_string(total) + " clips");
    // Redraw only: handling events here could start a second load inside this one.
    if (window && window->shown())
      Fl::flush();
  };

  Fl::add_timeout(SIGNAL_POLL_PERIOD, signalPollTimer, this);
  if (withWindow) {
    Fl::add_handler(keyboardHandler);
    buildWindow();
  }

  // Nothing configured yet: tell the newcomer how sound gets in and out.
  const bool firstStart = access(veskoPreferencesPath().c_str(), F_OK) != 0;
  if (diskReader->loadPreferences(preferences) == 0)
    VESKO_NOTE("Loaded preferences");
  else
    VESKO_WARN("No preferences loaded, using defaults.");
  // The engine is built after the interface, so its ports follow the preference.
  Jack::setPerTrackOutputs(preferences.enablePerTrackOutput);

  nsm = NsmClient::create(argv0, cb_nsm_open, cb_nsm_save, this);
  if (nsm) {
    setStatus("Waiting for the session manager to open a project...");
    // Gestures would queue toward an engine that does not exist yet.
    if (stripGroup)
      stripGroup->deactivate();
  } else if (firstStart) {
    VESKO_NOTE("First start: connect your sound card's capture ports to Vesko:master_in_left "
               "and _right, Vesko:master_left and _right to its playback ports; MIDI "
               "controllers are set up under the logo's menu (Setup).");
    setStatus("Connect capture to Vesko:master_in_*, master_* to playback; click a clip to record.");
  }
  showState();
}

void Gui::buildWindow()
{
  fl_open_display();
  window = new Fl_Double_Window(WINDOW_W, WINDOW_H);

  // The icon, from the XPM held in the executable.
  Fl_Pixmap iconPixmap(veskoIconXpm);
  Fl_RGB_Image iconImage(&iconPixmap, FL_BLACK);
  window->icon(&iconImage);

  window->xclass("vesko");
  window->iconlabel("vesko");
  window->label("Vesko");
  window->callback(closeCallback, this);
  window->size_range(800, 450);
  window->color(fl_rgb_color(7, 7, 7));

  Fl_Group* header = new Fl_Group(0, 0, WINDOW_W, 650);
  Fl_Box* headerSpace = new Fl_Box(130, 0, 400, 36);
  headerSpace->box(FL_NO_BOX);
  header->resizable(headerSpace);
  headerImage = new Tovk::Image(0, 0, HEADER_W, HEADER_H);
  headerImage->pixels = headerPixels;
  logo = new Tovk::Image(0, 0, LOGO_W, LOGO_H);
  logo->pixels = logoPixels;
  logo->callback(logoCallback, this);
  makerImage = new Tovk::Image(WINDOW_W - MAKER_W, 0, MAKER_W, MAKER_H);
  makerImage->pixels = makerPixels;
  makerImage->stickToRight = true;
  // One line for what the performer should know now: drawn over the header's gradient.
  status = new Fl_Box(140, 0, WINDOW_W - MAKER_W - 150, 36);
  status->box(FL_NO_BOX);
  status->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  status->labelsize(12);
  status->labelcolor(fl_rgb_color(200, 200, 200));
  header->end();

  Fl_Group* strips = new Fl_Group(0, 0, WINDOW_W, WINDOW_H);
  GTrack::resetCounter();
  for (int n = 0; n < NTRACKS; n++) {
    std::string title = "Track " + std::to_string(n + 1);
    // The window's group owns and deletes the strips; the handles only lend them.
    tracks.emplace_back(new GTrack(8 + 118 * n, 40, 110, 650, title.c_str()), [](GTrack*) {});
  }
  masterTrack = new GMasterTrack(952, 40, 150, 650, "Master");
  strips->end();
  stripGroup = strips;
  window->resizable(strips);
  window->end();

  tracks[0]->getClipSelector()->setSpecial(0);

  optionsWindow = new OptionsWindow();
  audioEditor = new AudioEditor();
  diskReader->beatsDialog = [this](AudioBuffer* ab) { askBeats(ab); };
}

void Gui::askBeats(AudioBuffer* ab)
{
  if (!audioEditor || !ab)
    return;
  // Closing the dialog through the window manager answers nothing: ask again.
  while (ab->getBeats() == 0 && !quitting) {
    audioEditor->show(ab);
    while (audioEditor->shown() && !quitting)
      Fl::wait();
  }
}

Gui::~Gui()
{
  delete nsm;
  delete rescue;
  delete diskReader;
  delete diskWriter;
  Fl::remove_timeout(drainTimer, this);
  Fl::remove_timeout(nsmTimer, this);
  Fl::remove_timeout(signalPollTimer, this);
  Fl::remove_handler(keyboardHandler);
  tracks.clear();
  masterTrack = nullptr;
  delete audioEditor;
  audioEditor = nullptr;
  delete optionsWindow;
  optionsWindow = nullptr;
  delete window; // the strips and images with it
  window = nullptr;
  gui = nullptr;
}

int Gui::run()
{
  if (window)
    window->show();
  handleGuiEvents();
  Fl::add_timeout(DRAIN_PERIOD, drainTimer, this);
  if (nsm) {
    nsm->poll();
    Fl::add_timeout(DRAIN_PERIOD, nsmTimer, this);
  }
  while (!quitting)
    Fl::wait(1.0);
  return 0;
}

void Gui::engineReady()
{
  setStatus("");
  if (stripGroup)
    stripGroup->activate();
}

void Gui::setStatus(const std::string& text)
{
  statusText = text;
  if (!status)
    return;
  status->copy_label(text.c_str());
  // The label has no box of its own: repaint the gradient beneath it too.
  if (window && window->shown())
    window->damage(FL_DAMAGE_ALL, status->x(), status->y(), status->w(), status->h());
}

void Gui::loadSetupControllers()
{
  for (const std::string& path : preferences.controllerPaths)
    GenericMIDI::loadAndHandOver(path);
}

void Gui::setSamplerate(int rate)
{
  samplerate = rate;
  diskWriter->setSamplerate(rate);
  diskReader->setSamplerate(rate);
}

void Gui::quit()
{
  if (quitting)
    return;
  if (jack)
    jack->quit();
  if (optionsWindow)
    optionsWindow->hide();
  if (audioEditor)
    audioEditor->hide();
  if (window)
    window->hide();
  // A question left open (a dialog, a file chooser) runs a loop of its own that only ends
  // when its window goes: without this a signal would wait for someone to answer it.
  while (Fl_Window* open = Fl::first_window())
    open->hide();
  quitting = true;
}

void Gui::askQuit()
{
  if (dialog::choice("Really Quit?", "Cancel", "Quit", nullptr) == 1)
    quit();
}

void Gui::closeCallback(Fl_Widget*, void* data)
{
  Gui* self = static_cast<Gui*>(data);
  // Escape closes a window in this toolkit: too easy to hit on stage, so it asks first.
  if ((Fl::event() == FL_KEYDOWN || Fl::event() == FL_SHORTCUT) && Fl::event_key() == FL_Escape)
    self->askQuit();
  else
    self->quit();
}

void Gui::logoCallback(Fl_Widget*, void* data)
{
  if (Fl::event_x() <= 130)
    static_cast<Gui*>(data)->headerMenu();
}

void Gui::headerMenu()
{
  int managed = nsm ? FL_MENU_INACTIVE : 0;
  Fl_Menu_Item menu[] = {
    {"New Session", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Load Session", 0, nullptr, nullptr, managed, 0, 0, 0, 0},
    {"Save Session   ", 0, nullptr, nullptr, FL_MENU_DIVIDER | managed, 0, 0, 0, 0},
    {"Setup", 0, nullptr, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Quit", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
  };
  const Fl_Menu_Item* chosen = dialog::popup(menu, 10, 38);
  if (!chosen || !chosen->text || !chosen->active())
    return;
  std::string item = chosen->text;
  if (item == "New Session") {
    if (dialog::choice("Start a new session?", "Cancel", "Yes", nullptr) == 1)
      newSession();
  } else if (item == "Load Session") {
    loadSession();
  } else if (item == "Save Session   ") {
    saveSession();
  } else if (item == "Setup") {
    if (optionsWindow)
      optionsWindow->show();
  } else if (item == "Quit") {
    askQuit();
  }
}

void Gui::saveStarted()
{
  saving = true;
  saveDone = 0;
  saveTotal = 0;
  for (const GuiTrackState& t : state.tracks)
    for (int s : t.clipStates)
      saveTotal += s != 0;
  setStatus("Saving session: 0 of " + std::to_string(saveTotal) + " clips");
}

void Gui::clipSaved()
{
  saveDone++;
  setStatus("Saving session: " + std::to_string(saveDone) + " of " +
            std::to_string(std::max(saveDone, saveTotal)) + " clips");
}

void Gui::saveFinished(int result)
{
  saving = false;
  if (result == 0)
    setStatus("Session saved: " + diskWriter->getSessionName());
  else
    setStatus("Session NOT saved: the previous files are unchanged (see the log)");
  if (nsm)
    nsm->answerSave(result, "Session NOT saved: the previous files are unchanged");
}

int Gui::saveWithoutEngine(const std::string& parent, const std::string& name)
{
  saveStarted();
  const int r = rescue->save(parent, name);
  saveFinished(r);
  return r;
}

void Gui::newSession()
{
  EventStateReset reset;
  writeToDspRingbuffer(&reset);
  for (int t = 0; t < NTRACKS; t++) {
    state.tracks[t].name = "Track " + std::to_string(t + 1);
    for (int s = 0; s < NSCENES; s++)
      state.tracks[t].clipNames[s].clear();
  }
  for (int s = 0; s < NSCENES; s++)
    state.master.sceneNames[s] = "Scene " + std::to_string(s + 1);
  showState();
}

void Gui::loadSession()
{
  std::string path = dialog::chooseDirectory("Load Session", preferences.projectsDir);
  if (path.empty()) {
    fprintf(stderr, "(User hit 'Cancel')\n");
    return;
  }
  VESKO_NOTE("Loading session from dir %s", path.c_str());
  EventStateReset reset;
  writeToDspRingbuffer(&reset);
  if (diskReader->readSession(path) != 0)
    VESKO_ERROR("Error loading session");
}

void Gui::saveSession()
{
  if (saving) {
    VESKO_WARN("A save is under way: the session can be saved again once it is done");
    setStatus("A save is under way: try again once it is done");
    return;
  }
  std::string current = diskWriter->getSessionName();
  const char* name = dialog::input("Save session as", current.c_str());
  if (!name)
    return;
  std::string chosen = name;
  if (jack && jack->serverGone()) {
    saveWithoutEngine(preferences.projectsDir, chosen);
    return;
  }
  // A name that would leave the projects directory is refused (and said so) here.
  if (diskWriter->initialize(preferences.projectsDir, chosen) != 0)
    return;
  VESKO_NOTE("%s %s", "Saving session as ", chosen.c_str());
  saveStarted();
  EventStateSave save;
  handToEngine(&save);
}

int Gui::keyboardHandler(int event)
{
  if (!gui || !gui->window)
    return 0;
  // Under a session manager nothing may reach the engine before it exists.
  if (gui->nsm && !jack)
    return 0;

  if (event == FL_SHORTCUT && Fl::event_text()) {
    static const char* const pressRows[4] = {"12345678", "qwertyui", "asdfghjk", "zxcvbnm,"};
    static const char* const clearRows[4] = {"!@#$%^&*", "QWERTYUI", "ASDFGHJK", "ZXCVBNM<"};
    static const char* const launchKeys = "9ol.";
    std::string text = Fl::event_text();
    int track = -1, scene = -1;
    bool clear = false;
    if (text.size() == 1) {
      char c = text[0];
      for (int s = 0; s < 4 && track < 0; s++) {
        if (const char* p = strchr(pressRows[s], c)) {
          track = p - pressRows[s];
          scene = s;
        } else if (const char* q = strchr(clearRows[s], c)) {
          track = q - clearRows[s];
          scene = s;
          clear = true;
        }
      }
      if (track < 0) {
        if (c == '"') { // British layout: Shift+2
          track = 1;
          scene = 0;
          clear = true;
        } else if (const char* l = strchr(launchKeys, c)) {
          EventGridLaunchScene ev(l - launchKeys);
          writeToDspRingbuffer(&ev);
          return 1;
        }
      }
    } else if (text == "\xC2\xA3") { // British layout: Shift+3, the pound sign
      track = 2;
      scene = 0;
      clear = true;
    }
    if (track >= 0) {
      if (clear) {
        EventGridState ev(track, scene, 0);
        writeToDspRingbuffer(&ev);
      } else {
        EventGridEvent ev(track, scene, true);
        writeToDspRingbuffer(&ev);
      }
      return 1;
    }
  }

  GuiState& s = gui->state;
  if (Fl::event_key(' ')) {
    if (Fl::event_state() & FL_SHIFT) {
      EventGridState ev(s.selectedTrack, s.selectedScene, 0);
      writeToDspRingbuffer(&ev);
    } else {
      EventGridEvent ev(s.selectedTrack, s.selectedScene, true);
      writeToDspRingbuffer(&ev);
    }
    return 1;
  }
  int dt = 0, ds = 0;
  if (Fl::event_key(FL_Left))
    dt = -1;
  else if (Fl::event_key(FL_Right))
    dt = 1;
  else if (Fl::event_key(FL_Up))
    ds = -1;
  else if (Fl::event_key(FL_Down))
    ds = 1;
  else
    return 0;
  // Not clamped here: the engine clamps the selection and reports where it ended.
  EventGridSelectNewChosen ev(s.selectedTrack + dt, s.selectedScene + ds);
  writeToDspRingbuffer(&ev);
  return 1;
}

void Gui::drainTimer(void* self)
{
  handleGuiEvents();
  Fl::repeat_timeout(DRAIN_PERIOD, drainTimer, self);
}

void Gui::nsmTimer(void* data)
{
  Gui* self = static_cast<Gui*>(data);
  self->nsm->poll();
  Fl::repeat_timeout(DRAIN_PERIOD, nsmTimer, data);
}

void Gui::signalPollTimer(void* data)
{
  Gui* self = static_cast<Gui*>(data);
  if (signalFlag) {
    self->quit();
    return;
  }
  // Armed again before anything below: the rescue's question runs a loop of its own, and a
  // signal (a session manager stopping Vesko, say) must still end Vesko while it is open.
  Fl::repeat_timeout(SIGNAL_POLL_PERIOD, signalPollTimer, data);
  if (jack && jack->serverGone() && !self->serverGoneReported) {
    self->serverGoneReported = true;
    VESKO_ERROR("The JACK server has gone away (%s). Audio has stopped; Vesko keeps running "
                "and nothing in memory is lost.",
                jack->serverGoneReason()[0] ? jack->serverGoneReason() : "no reason given");
    self->setStatus("The JACK server has gone away: audio has stopped.");
  }
  if (self->serverGoneReported && self->saving && jack->processStopped()) {
    handleGuiEvents(); // a save the engine finished before it stopped ends here
    if (self->saving) {
      // The engine will never finish it; the clips can still be saved without it.
      self->saving = false;
      VESKO_ERROR("The save under way could not finish: the JACK server has gone away");
      self->setStatus("The JACK server has gone away: the save under way did not finish.");
      if (self->nsm)
        self->nsm->answerSave(1, "The JACK server has gone away: the save could not finish");
    }
  }
  // The question waits until the engine has stopped for good; it is asked once, and this
  // timer goes on running inside it for as long as the performer takes to answer.
  if (self->serverGoneReported)
    self->rescue->poll(self->preferences.projectsDir);
  if (signalFlag)
    self->quit();
}

std::shared_ptr<GTrack> Gui::getTrack(int n)
{
  if (n < 0 || n >= (int)tracks.size())
    return nullptr;
  return tracks[n];
}

void Gui::setTrackName(int track, const std::string& name)
{
  if (track < 0 || track >= NTRACKS)
    return;
  state.tracks[track].name = name;
  showState();
}

void Gui::setClipName(int track, int scene, const std::string& name)
{
  if (track < 0 || track >= NTRACKS || scene < 0 || scene >= NSCENES)
    return;
  state.tracks[track].clipNames[scene] = name;
  showState();
}

void Gui::setSceneName(int scene, const std::string& name)
{
  if (scene < 0 || scene >= NSCENES)
    return;
  state.master.sceneNames[scene] = name;
  showState();
}

void Gui::selectLoadSample(int track, int scene)
{
  std::string path = dialog::chooseFile(dialog::FileMode::Open, "Pick a file",
                                        "Audio\t{*.aiff,*.wav,*.flac,*.ogg}",
                                        diskReader->getLastSampleDir());
  if (!path.empty())
    diskReader->loadSample(track, scene, path);
}

std::string Gui::selectSaveSample()
{
  return dialog::chooseFile(dialog::FileMode::Save, "Save filename?", nullptr,
                            diskReader->getLastSampleDir());
}

void Gui::requestSaveBuffer(int track, int scene)
{
  EventStateSaveBuffer ev(track, scene, nullptr, false);
  writeToDspRingbuffer(&ev);
}

namespace
{
// A valuator the user holds keeps what the hand sets; the engine's echo catches up.
void showValue(Fl_Valuator* v, float value)
{
  if (Fl::pushed() != v)
    v->value(value);
}
} // namespace

void Gui::showState()
{
  if (!window)
    return;
  const bool held = Fl::pushed() != nullptr;
  for (int t = 0; t < NTRACKS && t < (int)tracks.size(); t++) {
    GTrack* g = tracks[t].get();
    const GuiTrackState& s = state.tracks[t];
    if (s.name != g->getTitle())
      g->setTitle(s.name.c_str());
    // While the pointer holds one of this strip's controls, its echoes may lag the hand.
    if (!(held && g->contains(Fl::pushed()))) {
      showValue(g->getVolume(), s.fader);
      if (g->getPan() != s.pan)
        g->setPan(s.pan);
      if (g->getSend() != s.send)
        g->setSend(s.send);
      if (g->getXSide() != s.xside)
        g->setXSide(s.xside);
      if (g->getJackSend() != s.jackSend)
        g->setJackSend(s.jackSend);
    }
    if (g->getSendActive() != s.sendActive)
      g->setSendActive(s.sendActive);
    if (g->getKeyActive() != s.keyActive)
      g->setKeyActive(s.keyActive);
    if (g->getRecordActive() != s.recordArm)
      g->setRecordActive(s.recordArm);
    if (g->getJackSendActivate() != s.jackSendActive)
      g->setJackSendActivate(s.jackSendActive);
    g->getVolume()->setAmplitude(s.levelLeft, s.levelRight);

    Tovk::RadialStatus* ring = g->getRadialStatus();
    ring->value(s.progress);
    if (ring->recording != s.recording) {
      ring->recording = s.recording;
      ring->redraw();
    }
    Tovk::ClipSelector* cs = g->getClipSelector();
    for (int sc = 0; sc < NSCENES; sc++) {
      if (cs->getState(sc) != s.clipStates[sc])
        cs->setState(sc, s.clipStates[sc]);
      if (cs->getClipName(sc) != s.clipNames[sc])
        cs->setClipName(sc, s.clipNames[sc]);
    }
    const int special = t == state.selectedTrack ? state.selectedScene : -1;
    if (cs->getSpecial() != special) // a redraw each time otherwise, thirty times a second
      cs->setSpecial(special);
  }

  if (!masterTrack)
    return;
  GMasterTrack* m = masterTrack;
  const GuiMasterState& s = state.master;
  if (m->getBpm() != s.bpm)
    m->setBpm(s.bpm);
  if (!(held && m->contains(Fl::pushed()))) {
    showValue(m->getVolume(), s.fader);
    showValue(m->getInputVolume(), s.inputVolume);
    if (m->getInputToSend() != s.inputToSend)
      m->setInputTo(0, s.inputToSend);
    if (m->getInputToMix() != s.inputToMix)
      m->setInputTo(1, s.inputToMix);
    if (m->getInputToXSide() != s.inputToXSide)
      m->setInputTo(2, s.inputToXSide);
    if (m->getReturnVol() != s.returnVolume)
      m->setReturnVol(s.returnVolume);
  }
  if (m->getInputToSendActive() != s.inputToSendActive)
    m->setInputToActive(0, s.inputToSendActive);
  if (m->getInputToMixActive() != s.inputToMixActive)
    m->setInputToActive(1, s.inputToMixActive);
  if (m->getInputToKeyActive() != s.inputToKeyActive)
    m->setInputToActive(3, s.inputToKeyActive);
  if (m->getMetronomeActive() != s.metronomeActive)
    m->setMetronomeActive(s.metronomeActive);
  m->getVolume()->setAmplitude(s.levelLeft, s.levelRight);
  m->getInputVolume()->setAmplitude(s.inputLevelLeft, s.inputLevelRight);
  int lamp = s.beat < 0 ? -1 : 3 - s.beat % 4;
  if (m->litBeatLamp() != lamp)
    m->setBarBeat(s.bar, s.beat);
  Tovk::ClipSelector* scenes = m->getClipSelector();
  for (int sc = 0; sc < NSCENES; sc++) {
    int shown = sc == s.launchedScene ? 1 : 0;
    if (scenes->getState(sc) != shown)
      scenes->setState(sc, shown);
    if (scenes->getClipName(sc) != s.sceneNames[sc])
      scenes->setClipName(sc, s.sceneNames[sc]);
  }
}
