// Engine side of the event bus: runs on the JACK process thread only, once per period,
// as the single reader of rbToDsp. Every record is read into a stack object; nothing here
// allocates.

#include <cstdio>

#include "controller/genericmidi.hxx"
#include "controllerupdater.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "metronome.hxx"
#include "timemanager.hxx"

namespace
{
template <class T> T takeRecord()
{
  T ev;
  jack_ringbuffer_read(rbToDsp, reinterpret_cast<char*>(&ev), sizeof(T));
  return ev;
}

void skipRecord(uint32_t size) { jack_ringbuffer_read_advance(rbToDsp, size); }
} // namespace

void handleDspEvents()
{
  if (!jack || !rbToDsp)
    return;

  while (jack_ringbuffer_read_space(rbToDsp) >= sizeof(EventBase)) {
    jack_ringbuffer_peek(rbToDsp, static_cast<char*>(processDspMem), sizeof(EventBase));
    const EventBase* header = static_cast<const EventBase*>(processDspMem);
    const uint32_t size = header->size();
    if (size > jack_ringbuffer_read_space(rbToDsp))
      return; // the rest of the record arrives before the next drain

    const int type = header->type();
    if (jack->learnEnable) {
      jack->learnType = type;
      if (const char* name = header->name()) {
        EventControllerBindingTarget target(name);
        writeToGuiRingbuffer(&target);
      }
    }

    switch (type) {
    case EVENT_MASTER_VOL: {
      auto ev = takeRecord<EventMasterVol>();
      jack->masterVolume(ev.vol);
      break;
    }
    case EVENT_MASTER_INPUT_VOL: {
      auto ev = takeRecord<EventMasterInputVol>();
      jack->inputVolume(ev.vol);
      break;
    }
    case EVENT_MASTER_INPUT_TO: {
      auto ev = takeRecord<EventMasterInputTo>();
      jack->learnSend = ev.place;
      jack->inputTo(ev.place, ev.value);
      break;
    }
    case EVENT_MASTER_INPUT_TO_ACTIVE: {
      auto ev = takeRecord<EventMasterInputToActive>();
      jack->learnSend = ev.place;
      jack->learnActive = ev.active;
      jack->inputToActive(ev.place, ev.active);
      break;
    }
    case EVENT_MASTER_RETURN: {
      auto ev = takeRecord<EventMasterReturn>();
      if (ev.ret == 1)
        jack->returnVolume(ev.vol);
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
      EventControllerInstanceGetToWrite back(ev.ID, c);
      writeToGuiRingbuffer(&back);
      break;
    }
    case EVENT_CONTROLLER_BINDING_REMOVE: {
      auto ev = takeRecord<EventControllerBindingRemove>();
      Controller* c = jack->getControllerUpdater()->getController(ev.controllerID);
      if (GenericMIDI* g = dynamic_cast<GenericMIDI*>(c))
        g->removeBinding(ev.bindingID);
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
      writeToGuiRingbuffer(&quit);
      return;
    }

    // Records whose engine parts are not built yet are taken off the queue unapplied.
    case EVENT_STATE_SAVE:
    case EVENT_STATE_RESET:
    case EVENT_STATE_SAVE_BUFFER:
    case EVENT_REQUEST_SAVE_BUFFER:
    case EVENT_GRID_EVENT:
    case EVENT_GRID_STATE:
    case EVENT_GRID_LAUNCH_SCENE:
    case EVENT_GRID_SELECT_CLIP_ENABLE:
    case EVENT_GRID_SELECT_CLIP_EVENT:
    case EVENT_GRID_SELECT_NEW_CHOSEN:
    case EVENT_TRACK_JACKSEND:
    case EVENT_TRACK_JACKSEND_ACTIVATE:
    case EVENT_TRACK_SEND:
    case EVENT_TRACK_SEND_ACTIVE:
    case EVENT_TRACK_VOLUME:
    case EVENT_TRACK_PAN:
    case EVENT_TRACK_RECORD_ARM:
    case EVENT_FX_REVERB:
    case EVENT_LOOPER_LOAD:
    case EVENT_LOOPER_STATE:
    case EVENT_LOOPER_LOOP_LENGTH:
    case EVENT_LOOPER_USE_AS_TEMPO:
    case EVENT_METRONOME_ACTIVE:
    case EVENT_LOOPER_CLIP_REQUEST_BUFFER:
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
