#include "gui.hxx"

#include <cstring>

#include <FL/Fl.H>

#include "controller/genericmidi.hxx"
#include "dialog.hxx"
#include "gtrack.hxx"
#include "gmastertrack.hxx"
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "event.hxx"
#include "logger.hxx"
#include "nsm.hxx"
#include "signalflag.hxx"

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
  g->getDiskReader()->readSession(path);
  g->getDiskWriter()->setSessionManaged(true);
  g->getDiskWriter()->initialize(path, displayName);
  return 0;
}

static int cb_nsm_save(char** outMessage, void* data)
{
  VESKO_NOTE("NSM: saving...");
  if (!jack) {
    *outMessage = strdup("No project is open");
    return 1;
  }
  EventStateSave save;
  writeToDspRingbuffer(&save);
  return 0;
}

// 1/30 s, as a float widened to double.
static const double DRAIN_PERIOD = (double)(1.f / 30.f);
static const double SIGNAL_POLL_PERIOD = 0.1;

Gui::Gui(const char* argv0, bool withWindow)
{
  gui = this;
  diskWriter = new DiskWriter();
  diskReader = new DiskReader(diskWriter);
  diskWriter->setState(&state);
  diskReader->setState(&state);
  Fl::add_timeout(SIGNAL_POLL_PERIOD, signalPollTimer, this);

  if (diskReader->loadPreferences(preferences) == 0)
    VESKO_NOTE("Loaded preferences");
  else
    VESKO_WARN("No preferences loaded, using defaults.");
  // The engine is built after the interface, so its ports follow the preference.
  Jack::setPerTrackOutputs(preferences.enablePerTrackOutput);

  nsm = NsmClient::create(argv0, cb_nsm_open, cb_nsm_save, this);
}

Gui::~Gui()
{
  delete nsm;
  delete diskReader;
  delete diskWriter;
  Fl::remove_timeout(drainTimer, this);
  Fl::remove_timeout(nsmTimer, this);
  Fl::remove_timeout(signalPollTimer, this);
  gui = nullptr;
}

int Gui::run()
{
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
  quitting = true;
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
  if (jack && jack->serverGone() && !self->serverGoneReported) {
    self->serverGoneReported = true;
    VESKO_ERROR("The JACK server has gone away (%s). Audio has stopped; Vesko keeps running "
                "and nothing in memory is lost.",
                jack->serverGoneReason()[0] ? jack->serverGoneReason() : "no reason given");
  }
  if (signalFlag) {
    self->quit();
    return;
  }
  Fl::repeat_timeout(SIGNAL_POLL_PERIOD, signalPollTimer, data);
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

void Gui::showState() {}
