#include "sessionrescue.hxx"

#include "audiobuffer.hxx"
#include "config.hxx"
#include "dialog.hxx"
#include "diskwriter.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "looper.hxx"
#include "looperclip.hxx"

SessionRescue::SessionRescue(DiskWriter* w) : writer(w) {}

int SessionRescue::clipsWithAudio() const
{
  int n = 0;
  if (!jack || !jack->processStopped())
    return 0;
  for (int t = 0; t < NTRACKS; t++)
    for (int s = 0; s < NSCENES; s++)
      if (LooperClip* c = jack->getLooper(t)->getClip(s))
        n += c->hasAudio() && (c->getLengthFrames() > 0 || c->getRecordedLength() > 0);
  return n;
}

bool SessionRescue::poll(const std::string& projectsDir)
{
  if (finished)
    return true;
  if (!jack || !jack->processStopped())
    return false; // a callback may still be running: look again at the next tick
  finished = true;
  // Whatever the engine wrote before it stopped is read first: a save it had finished
  // completes now, and nothing of it can arrive after the rescue's own save.
  handleGuiEvents();

  const int clips = clipsWithAudio();
  if (clips == 0) {
    VESKO_NOTE("No clip holds audio: nothing to save.");
    return true;
  }
  VESKO_WARN("%d clips hold audio; they can still be saved.", clips);
  if (dialog::choice("The JACK server has gone away. Save the session, with every clip "
                     "recorded so far?",
                     "Don't save", "Save", nullptr) != 1) {
    VESKO_WARN("The recorded clips were not saved.");
    return true;
  }
  if (writer->isSessionManaged()) {
    save(writer->getSessionParent(), writer->getSessionName());
    return true;
  }
  const std::string current = writer->getSessionName();
  const char* name = dialog::input("Save session as", current.c_str());
  if (!name || !*name) {
    VESKO_WARN("The recorded clips were not saved.");
    return true;
  }
  save(projectsDir, name);
  return true;
}

int SessionRescue::save(const std::string& parent, const std::string& name)
{
  if (!jack || !jack->processStopped()) {
    VESKO_ERROR("The engine still runs: its clips cannot be taken");
    return 2;
  }
  if (writer->initialize(parent, name) != 0)
    return 2;
  VESKO_NOTE("Saving the session as %s without the engine", name.c_str());
  int failed = 0;
  for (int t = 0; t < NTRACKS; t++) {
    for (int s = 0; s < NSCENES; s++) {
      LooperClip* c = jack->getLooper(t)->getClip(s);
      if (AudioBuffer* ab = c ? c->rescue() : nullptr)
        failed += writer->writeAudioBuffer(t, s, ab) != 0;
    }
  }
  if (failed)
    VESKO_ERROR("%d clips could not be written", failed);
  return writer->writeSession();
}
