// Interface side of the event bus: runs on the interface thread only, as the single
// reader of rbToGui.

#include <cstdio>
#include <exception>

#include "audiobuffer.hxx"
#include "controller.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "goptions.hxx"
#include "gui.hxx"
#include "logger.hxx"

namespace
{
GuiState* stateOf() { return gui ? &gui->getState() : nullptr; }

GuiTrackState* track(int t)
{
  GuiState* s = stateOf();
  return (s && t >= 0 && t < NTRACKS) ? &s->tracks[t] : nullptr;
}

template <class T> T takeRecord()
{
  T ev;
  queueRead(rbToGui, reinterpret_cast<char*>(&ev), sizeof(T));
  return ev;
}

// A buffer of `frames` silent frames, or null when memory is short: the interface must
// not fall over because a recording has grown too long.
AudioBuffer* makeBuffer(uint64_t frames)
{
  try {
    return new AudioBuffer(frames);
  } catch (const std::exception&) { // bad_alloc, or a length no vector can hold
    VESKO_ERROR("No memory for an audio buffer of %llu frames", (unsigned long long)frames);
    return nullptr;
  }
}
} // namespace

namespace
{
void drainGuiQueue()
{

  GuiState* state = stateOf();
  for (unsigned dropped = takeGuiDropCount(); dropped > 0; dropped--)
    printf("->GUI ringbuffer full!\n");
  if (unsigned lost = takeLostHandOvers())
    VESKO_ERROR("->GUI ringbuffer full for long: %u hand-overs lost", lost);
  // What found no room toward the engine last time goes before any new answer.
  if (rbToDsp)
    sendPendingToEngine();

  while (queueReadSpace(rbToGui) >= sizeof(EventBase)) {
    queuePeek(rbToGui, static_cast<char*>(processGuiMem), sizeof(EventBase));
    const EventBase* header = static_cast<const EventBase*>(processGuiMem);
    const uint32_t size = header->size();
    if (size > queueReadSpace(rbToGui))
      return;

    switch (header->type()) {
    case EVENT_GUI_PRINT: {
      auto ev = takeRecord<EventGuiPrint>();
      ev.print[sizeof(ev.print) - 1] = '\0';
      log_message(LOG_NOTE, " DSP ", "", "", 0, "%s", ev.getMessage());
      break;
    }
    case EVENT_SAMPLERATE: {
      auto ev = takeRecord<EventSamplerate>();
      if (gui)
        gui->setSamplerate(ev.samplerate);
      break;
    }
    case EVENT_LOOPER_CLIP_REQUEST_BUFFER: {
      auto ev = takeRecord<EventLooperClipRequestBuffer>();
      // Without an answer the clip records on until its buffer is full, and says so.
      if (AudioBuffer* ab = makeBuffer(ev.numElements)) {
        EventLooperClipRequestBuffer answer(ev.track, ev.scene, 0, ab);
        handToEngine(&answer);
      }
      break;
    }
    case EVENT_REQUEST_SAVE_BUFFER: {
      auto ev = takeRecord<EventRequestSaveBuffer>();
      // A null answer tells the clip to report its save as failed, so the save completes.
      EventRequestSaveBuffer answer(ev.track, ev.scene, ev.bufferSize, makeBuffer(ev.bufferSize));
      handToEngine(&answer);
      break;
    }
    case EVENT_DEALLOCATE_BUFFER: {
      auto ev = takeRecord<EventDeallocateBuffer>();
      delete ev.ab;
      break;
    }
    case EVENT_CONTROLLER_INSTANCE: {
      // The engine has let this controller go: it is ours to destroy.
      auto ev = takeRecord<EventControllerInstance>();
      if (ev.controller) {
        VESKO_NOTE("Deleting controller %s", ev.controller->getName());
        delete ev.controller;
      }
      break;
    }
    case EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE: {
      auto ev = takeRecord<EventControllerInstanceGetToWrite>();
      if (gui)
        gui->getDiskWriter()->writeControllerFile(ev.controller);
      break;
    }
    case EVENT_QUIT: {
      takeRecord<EventQuit>();
      VESKO_NOTE("%s", "GUI QUIT");
      if (gui)
        gui->quit();
      break;
    }

    case EVENT_MASTER_VOL: {
      auto ev = takeRecord<EventMasterVol>();
      if (state)
        state->master.fader = ev.vol;
      break;
    }
    case EVENT_MASTER_INPUT_VOL: {
      auto ev = takeRecord<EventMasterInputVol>();
      if (state)
        state->master.inputVolume = ev.vol;
      break;
    }
    case EVENT_MASTER_INPUT_TO: {
      auto ev = takeRecord<EventMasterInputTo>();
      if (state) {
        if (ev.place == 0)
          state->master.inputToSend = ev.value;
        else if (ev.place == 1)
          state->master.inputToMix = ev.value;
        else if (ev.place == 2)
          state->master.inputToXSide = ev.value;
      }
      break;
    }
    case EVENT_MASTER_INPUT_TO_ACTIVE: {
      auto ev = takeRecord<EventMasterInputToActive>();
      if (state) {
        if (ev.place == 0)
          state->master.inputToSendActive = ev.active;
        else if (ev.place == 1)
          state->master.inputToMixActive = ev.active;
        else if (ev.place == 3)
          state->master.inputToKeyActive = ev.active;
      }
      break;
    }
    case EVENT_MASTER_RETURN: {
      auto ev = takeRecord<EventMasterReturn>();
      if (state)
        state->master.returnVolume = ev.vol;
      break;
    }
    case EVENT_METRONOME_ACTIVE: {
      auto ev = takeRecord<EventMetronomeActive>();
      if (state)
        state->master.metronomeActive = ev.active;
      break;
    }
    case EVENT_TIME_BPM: {
      auto ev = takeRecord<EventTimeBPM>();
      if (state)
        state->master.bpm = (int)ev.bpm;
      break;
    }
    case EVENT_TRACK_VOLUME: {
      auto ev = takeRecord<EventTrackVol>();
      if (GuiTrackState* t = track(ev.track))
        t->fader = ev.vol;
      break;
    }
    case EVENT_TRACK_PAN: {
      auto ev = takeRecord<EventTrackPan>();
      if (GuiTrackState* t = track(ev.track))
        t->pan = (ev.pan + 1.f) * 0.5f;
      break;
    }
    case EVENT_TRACK_SEND: {
      auto ev = takeRecord<EventTrackSend>();
      if (GuiTrackState* t = track(ev.track)) {
        if (ev.send == 0)
          t->send = ev.value;
        else if (ev.send == 2)
          t->xside = ev.value;
      }
      break;
    }
    case EVENT_TRACK_SEND_ACTIVE: {
      auto ev = takeRecord<EventTrackSendActive>();
      if (GuiTrackState* t = track(ev.track)) {
        if (ev.send == 0)
          t->sendActive = ev.active;
        else if (ev.send == 1)
          t->keyActive = ev.active;
      }
      break;
    }
    case EVENT_TRACK_JACKSEND: {
      auto ev = takeRecord<EventTrackJackSend>();
      if (GuiTrackState* t = track(ev.track))
        t->jackSend = ev.value;
      break;
    }
    case EVENT_TRACK_JACKSEND_ACTIVATE: {
      auto ev = takeRecord<EventTrackJackSendActivate>();
      if (GuiTrackState* t = track(ev.track))
        t->jackSendActive = ev.active;
      break;
    }
    case EVENT_TRACK_RECORD_ARM: {
      auto ev = takeRecord<EventTrackRecordArm>();
      if (GuiTrackState* t = track(ev.track))
        t->recordArm = ev.recordArm != 0.f;
      break;
    }
    case EVENT_GRID_STATE: {
      auto ev = takeRecord<EventGridState>();
      GuiTrackState* t = track(ev.track);
      if (t && ev.scene >= 0 && ev.scene < NSCENES) {
        t->clipStates[ev.scene] = ev.state;
        if (ev.state == 0)
          t->clipNames[ev.scene].clear();
        t->recording = ev.state == 5;
      }
      break;
    }
    case EVENT_STATE_SAVE_BUFFER: {
      auto ev = takeRecord<EventStateSaveBuffer>();
      if (ev.keepBuffer) {
        // The clip's own buffer, lent for a single-clip save: write it, keep hands off.
        // Without a chosen file it is not written at all: an empty path would make it a
        // clip of whatever session is being saved.
        if (!gui || !ev.ab)
          break;
        if (gui->saveBufferPath.empty()) {
          VESKO_WARN("Clip %d, %d lent for saving, but no file was chosen: not saved", ev.track, ev.scene);
          break;
        }
        gui->getDiskWriter()->writeAudioBuffer(ev.track, ev.scene, ev.ab, gui->saveBufferPath);
        gui->saveBufferPath.clear();
      } else {
        // A copy made for this save alone: ours to destroy, written or not.
        if (gui && ev.ab)
          gui->getDiskWriter()->writeAudioBuffer(ev.track, ev.scene, ev.ab);
        delete ev.ab;
        if (gui)
          gui->clipSaved();
      }
      break;
    }
    case EVENT_STATE_SAVE_FINISH: {
      auto ev = takeRecord<EventStateSaveFinish>();
      if (gui) {
        DiskWriter* writer = gui->getDiskWriter();
        // A session without some of its clips must not replace the last good one.
        if (ev.clipsNotSaved > 0)
          writer->failSave(std::to_string(ev.clipsNotSaved) + " clips could not be saved");
        gui->saveFinished(writer->writeSession());
      }
      break;
    }

    case EVENT_TIME_BAR_BEAT: {
      auto ev = takeRecord<EventTimeBarBeat>();
      if (state) {
        state->master.bar = ev.bar;
        state->master.beat = ev.beat;
      }
      break;
    }
    case EVENT_TRACK_SIGNAL_LEVEL: {
      auto ev = takeRecord<EventTrackSignalLevel>();
      if (!state)
        break;
      if (ev.track == -1) {
        state->master.levelLeft = ev.left;
        state->master.levelRight = ev.right;
      } else if (ev.track == -2) {
        state->master.inputLevelLeft = ev.left;
        state->master.inputLevelRight = ev.right;
      } else if (GuiTrackState* t = track(ev.track)) {
        t->levelLeft = ev.left;
        t->levelRight = ev.right;
      }
      break;
    }
    case EVENT_LOOPER_PROGRESS: {
      auto ev = takeRecord<EventLooperProgress>();
      if (GuiTrackState* t = track(ev.track))
        t->progress = ev.progress;
      break;
    }
    case EVENT_GRID_LAUNCH_SCENE: {
      auto ev = takeRecord<EventGridLaunchScene>();
      if (state && ev.scene >= 0 && ev.scene < NSCENES)
        state->master.launchedScene = ev.scene;
      break;
    }
    case EVENT_GRID_SELECT_NEW_CHOSEN: {
      auto ev = takeRecord<EventGridSelectNewChosen>();
      if (state) {
        state->selectedTrack = ev.track;
        state->selectedScene = ev.scene;
      }
      break;
    }

    case EVENT_CONTROLLER_BINDING_ENABLE: {
      auto ev = takeRecord<EventControllerBindingEnable>();
      OptionsWindow* options = gui ? gui->getOptionsWindow() : nullptr;
      if (!options)
        break;
      ControllerUI* page = options->getPage(ev.controllerID);
      if (!page)
        VESKO_WARN("ControllerUI %i doesn't exist in the UI", ev.controllerID);
      if (!ev.enable) {
        // Learning is one switch for all controllers: once it is off, no page may show it on.
        for (ControllerUI* p : options->getPages())
          p->setBindEnable(false);
      } else if (page) {
        page->setBindEnable(true);
      }
      break;
    }
    case EVENT_CONTROLLER_BINDING_TARGET: {
      auto ev = takeRecord<EventControllerBindingTarget>();
      if (OptionsWindow* options = gui ? gui->getOptionsWindow() : nullptr) {
        ev.target[sizeof(ev.target) - 1] = '\0';
        options->setTarget(ev.target);
      }
      break;
    }
    case EVENT_CONTROLLER_BINDING_MADE: {
      // The binding stays the controller's; the page copies what it shows at once.
      auto ev = takeRecord<EventControllerBindingMade>();
      OptionsWindow* options = gui ? gui->getOptionsWindow() : nullptr;
      if (!options)
        break;
      if (ControllerUI* page = options->getPage(ev.controllerID))
        page->addBinding(ev.binding);
      else
        VESKO_WARN("ControllerUI %i doesn't exist in the UI", ev.controllerID);
      break;
    }

    default:
      printf("GUI: Unkown message!! Will clog ringbuffer\n");
      return;
    }
  }
}
} // namespace

void handleGuiEvents()
{
  if (!rbToGui)
    return;
  drainGuiQueue();
  // One refresh of the window for everything this drain brought.
  if (gui)
    gui->showState();
}
