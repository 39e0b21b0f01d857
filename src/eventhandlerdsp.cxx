// Engine side of the event bus: runs on the JACK process thread only, once per period,
// as the single reader of rbToDsp. Every record is read into a stack object; nothing here
// allocates.

#include <cstdio>

#include "audiobuffer.hxx"
#include "controller/genericmidi.hxx"
#include "controllerupdater.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gridlogic.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "logic.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "metronome.hxx"
#include "statemanager.hxx"
#include "timemanager.hxx"

namespace
{
template <class T> T takeRecord()
{
  T ev;
  queueRead(rbToDsp, reinterpret_cast<char*>(&ev), sizeof(T));
  return ev;
}

void skipRecord(uint32_t size) { queueReadAdvance(rbToDsp, size); }

// The clip a record from the interface names, or null when it names none.
LooperClip* clipOf(int track, int scene)
{
  Looper* looper = jack->getLooper(track);
  return looper ? looper->getClip(scene) : nullptr;
}

// A buffer meant for a clip that does not exist goes back to the interface.
void handBack(AudioBuffer* ab)
{
  if (!ab)
    return;
  EventDeallocateBuffer back(ab);
  handOverToGui(&back);
}
} // namespace

void handleDspEvents()
{
  if (!jack || !rbToDsp)
    return;
  // Hand-overs that found no room last period go first, ahead of anything new.
  retryHandOversToGui();

  while (queueReadSpace(rbToDsp) >= sizeof(EventBase)) {
    queuePeek(rbToDsp, static_cast<char*>(processDspMem), sizeof(EventBase));
    const EventBase* header = static_cast<const EventBase*>(processDspMem);
    const uint32_t size = header->size();
    if (size > queueReadSpace(rbToDsp))
      return; // the rest of the record arrives before the next drain

    const int type = header->type();
    if (jack->learnEnable) {
      jack->learnType = type;
      if (const char* name = header->name()) {
        EventControllerBindingTarget target(name);
        writeToGuiRingbuffer(&target);
      }
    }

    Logic* logic = jack->getLogic();
    GridLogic* grid = jack->getGridLogic();
    switch (type) {
    case EVENT_MASTER_VOL: {
      auto ev = takeRecord<EventMasterVol>();
      jack->masterVolume(ev.vol);
      break;
    }
    case EVENT_MASTER_INPUT_VOL: {
      auto ev = takeRecord<EventMasterInputVol>();
      logic->masterInputVol(ev.vol);
      break;
    }
    case EVENT_MASTER_INPUT_TO: {
      auto ev = takeRecord<EventMasterInputTo>();
      jack->learnSend = ev.place;
      logic->masterInputTo(ev.place, ev.value);
      break;
    }
    case EVENT_MASTER_INPUT_TO_ACTIVE: {
      auto ev = takeRecord<EventMasterInputToActive>();
      jack->learnSend = ev.place;
      jack->learnActive = ev.active;
      logic->masterInputToActive(ev.place, ev.active);
      break;
    }
    case EVENT_MASTER_RETURN: {
      auto ev = takeRecord<EventMasterReturn>();
      if (ev.ret == 1)
        jack->returnVolume(ev.vol);
      break;
    }
    case EVENT_STATE_SAVE: {
      takeRecord<EventStateSave>();
      jack->getStateManager()->save();
      break;
    }
    case EVENT_STATE_RESET: {
      takeRecord<EventStateReset>();
      jack->getStateManager()->reset();
      break;
    }
    case EVENT_METRONOME_VOLUME: {
      auto ev = takeRecord<EventMetronomeVolume>();
      dspPrint("EventDSP: MetroVol %f", ev.vol);
      jack->getMetronome()->setVolume(ev.vol);
      break;
    }
    case EVENT_TRANSPORT: {
      auto ev = takeRecord<EventTransportState>();
      jack->getTimeManager()->setTransportState(ev.ts);
      break;
    }
    case EVENT_TIME_BPM: {
      auto ev = takeRecord<EventTimeBPM>();
      jack->getTimeManager()->setBpm(ev.bpm);
      break;
    }
    case EVENT_TIME_TEMPO_TAP: {
      takeRecord<EventTimeTempoTap>();
      jack->getTimeManager()->tap();
      break;
    }
    case EVENT_CONTROLLER_BINDING_ENABLE: {
      auto ev = takeRecord<EventControllerBindingEnable>();
      jack->learnEnable = ev.enable;
      break;
    }
    case EVENT_QUIT: {
      takeRecord<EventQuit>();
      // Closing the client from inside its own process callback would deadlock: ask the
      // interface thread to run the shutdown instead.
      EventQuit quit;
      handOverToGui(&quit);
      return;
    }

    case EVENT_STATE_SAVE_BUFFER: {
      // One clip saved to a file of the user's choice: its own buffer is lent.
      auto ev = takeRecord<EventStateSaveBuffer>();
      dspPrint("jack got save buffer in %d, %d", ev.track, ev.scene);
      LooperClip* clip = clipOf(ev.track, ev.scene);
      if (clip && clip->lendableBuffer()) {
        EventStateSaveBuffer lent(ev.track, ev.scene, clip->lendableBuffer(), true);
        handOverToGui(&lent);
      } else if (clip) {
        dspPrint("Clip %d, %d busy recording: not saved", ev.track, ev.scene);
      }
      break;
    }
    case EVENT_REQUEST_SAVE_BUFFER: {
      auto ev = takeRecord<EventRequestSaveBuffer>();
      if (LooperClip* clip = clipOf(ev.track, ev.scene))
        clip->receiveSaveBuffer(ev.ab);
      else
        handBack(ev.ab);
      break;
    }
    case EVENT_LOOPER_CLIP_REQUEST_BUFFER: {
      auto ev = takeRecord<EventLooperClipRequestBuffer>();
      if (Looper* looper = jack->getLooper(ev.track))
        looper->receiveRecordBuffer(ev.scene, ev.ab);
      else
        handBack(ev.ab);
      break;
    }
    case EVENT_GRID_EVENT: {
      auto ev = takeRecord<EventGridEvent>();
      jack->learnTrack = ev.track;
      jack->learnScene = ev.scene;
      if (ev.pressed)
        grid->pressed(ev.track, ev.scene);
      else
        grid->released(ev.track, ev.scene);
      break;
    }
    case EVENT_GRID_STATE: {
      auto ev = takeRecord<EventGridState>();
      if (ev.state == STATE_EMPTY)
        grid->clearClip(ev.track, ev.scene);
      break;
    }
    case EVENT_GRID_LAUNCH_SCENE: {
      auto ev = takeRecord<EventGridLaunchScene>();
      jack->learnScene = ev.scene;
      grid->launchScene(ev.scene);
      break;
    }
    case EVENT_GRID_SELECT_CLIP_ENABLE: {
      auto ev = takeRecord<EventGridSelectClipEnable>();
      grid->setSelectMode(ev.enable);
      break;
    }
    case EVENT_GRID_SELECT_CLIP_EVENT: {
      auto ev = takeRecord<EventGridSelectClipEvent>();
      grid->specialClipEvent(ev.pressed);
      break;
    }
    case EVENT_GRID_SELECT_NEW_CHOSEN: {
      auto ev = takeRecord<EventGridSelectNewChosen>();
      grid->setSpecialClip(ev.track, ev.scene);
      break;
    }
    case EVENT_TRACK_JACKSEND: {
      auto ev = takeRecord<EventTrackJackSend>();
      jack->learnTrack = ev.track;
      logic->trackJackSend(ev.track, ev.value);
      break;
    }
    case EVENT_TRACK_JACKSEND_ACTIVATE: {
      auto ev = takeRecord<EventTrackJackSendActivate>();
      jack->learnTrack = ev.track;
      jack->learnActive = ev.active;
      logic->trackJackSendActivate(ev.track, ev.active);
      break;
    }
    case EVENT_TRACK_SEND: {
      auto ev = takeRecord<EventTrackSend>();
      jack->learnTrack = ev.track;
      jack->learnSend = ev.send;
      logic->trackSend(ev.track, ev.send, ev.value);
      break;
    }
    case EVENT_TRACK_SEND_ACTIVE: {
      auto ev = takeRecord<EventTrackSendActive>();
      jack->learnTrack = ev.track;
      jack->learnSend = ev.send;
      jack->learnActive = ev.active;
      logic->trackSendActive(ev.track, ev.send, ev.active);
      break;
    }
    case EVENT_TRACK_VOLUME: {
      auto ev = takeRecord<EventTrackVol>();
      jack->learnTrack = ev.track;
      logic->trackVolume(ev.track, ev.vol);
      break;
    }
    case EVENT_TRACK_PAN: {
      auto ev = takeRecord<EventTrackPan>();
      logic->trackPan(ev.track, ev.pan);
      break;
    }
    case EVENT_TRACK_RECORD_ARM: {
      auto ev = takeRecord<EventTrackRecordArm>();
      jack->learnTrack = ev.track;
      jack->learnActive = (int)ev.recordArm;
      logic->trackRecordArm(ev.track, ev.recordArm != 0.f);
      break;
    }
    case EVENT_LOOPER_LOAD: {
      auto ev = takeRecord<EventLooperLoad>();
      grid->loadClip(ev.track, ev.clip, ev.audioBuffer);
      break;
    }
    case EVENT_LOOPER_LOOP_LENGTH: {
      auto ev = takeRecord<EventLooperLoopLength>();
      logic->looperClipLenght(ev.track, ev.scene, ev.beats);
      break;
    }
    case EVENT_LOOPER_USE_AS_TEMPO: {
      auto ev = takeRecord<EventLooperUseAsTempo>();
      logic->looperUseAsTempo(ev.track, ev.scene);
      break;
    }
    case EVENT_METRONOME_ACTIVE: {
      auto ev = takeRecord<EventMetronomeActive>();
      logic->metronomeEnable(ev.active);
      break;
    }
    case EVENT_CONTROLLER_INSTANCE: {
      auto ev = takeRecord<EventControllerInstance>();
      jack->getControllerUpdater()->registerController(ev.controller);
      break;
    }
    case EVENT_CONTROLLER_INSTANCE_REMOVE: {
      auto ev = takeRecord<EventControllerInstanceRemove>();
      jack->getControllerUpdater()->removeController(ev.ID);
      break;
    }
    case EVENT_CONTROLLER_INSTANCE_GET_TO_WRITE: {
      auto ev = takeRecord<EventControllerInstanceGetToWrite>();
      Controller* c = jack->getControllerUpdater()->getController(ev.ID);
      dspPrint("controller instance get to write id %d", ev.ID);
      EventControllerInstanceGetToWrite answer(ev.ID, c);
      handOverToGui(&answer);
      break;
    }
    case EVENT_CONTROLLER_BINDING_REMOVE: {
      auto ev = takeRecord<EventControllerBindingRemove>();
      Controller* c = jack->getControllerUpdater()->getController(ev.controllerID);
      if (GenericMIDI* g = dynamic_cast<GenericMIDI*>(c))
        g->removeBinding(ev.bindingID);
      break;
    }

    // The engine has no reverb, and a looper state record carries nothing: read, dropped.
    case EVENT_FX_REVERB:
    case EVENT_LOOPER_STATE:
      skipRecord(size);
      break;

    default:
      // The record stays and every later drain stops at it; say so once, not each period.
      if (!jack->reportedClog) {
        jack->reportedClog = true;
        dspPrint("DSP: Unkown message!! Will clog ringbuffer");
      }
      return;
    }
  }
}
