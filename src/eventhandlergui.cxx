// Interface side of the event bus: runs on the interface thread only, as the single
// reader of rbToGui.

#include <cstdio>

#include "controller.hxx"
#include "controller/controllermapwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "logger.hxx"

namespace
{
template <class T> T takeRecord()
{
  T ev;
  jack_ringbuffer_read(rbToGui, reinterpret_cast<char*>(&ev), sizeof(T));
  return ev;
}
} // namespace

void handleGuiEvents()
{
  if (!rbToGui)
    return;

  for (unsigned dropped = takeGuiDropCount(); dropped > 0; dropped--)
    printf("->GUI ringbuffer full!\n");

  while (jack_ringbuffer_read_space(rbToGui) >= sizeof(EventBase)) {
    jack_ringbuffer_peek(rbToGui, static_cast<char*>(processGuiMem), sizeof(EventBase));
    const EventBase* header = static_cast<const EventBase*>(processGuiMem);
    const uint32_t size = header->size();
    if (size > jack_ringbuffer_read_space(rbToGui))
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
        gui->samplerate = ev.samplerate;
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
      ControllerMapWriter::shared().writeControllerFile(ev.controller);
      break;
    }
    case EVENT_QUIT: {
      takeRecord<EventQuit>();
      VESKO_NOTE("%s", "GUI QUIT");
      if (gui)
        gui->quit();
      break;
    }

    // Display updates and hand-overs whose interface parts are not built yet.
    case EVENT_MASTER_VOL:
    case EVENT_MASTER_INPUT_VOL:
    case EVENT_MASTER_INPUT_TO:
    case EVENT_MASTER_INPUT_TO_ACTIVE:
    case EVENT_MASTER_RETURN:
    case EVENT_METRONOME_ACTIVE:
    case EVENT_TIME_BPM:
    case EVENT_TIME_BAR_BEAT:
    case EVENT_TRACK_VOLUME:
    case EVENT_TRACK_PAN:
    case EVENT_TRACK_SEND:
    case EVENT_TRACK_SEND_ACTIVE:
    case EVENT_TRACK_JACKSEND:
    case EVENT_TRACK_JACKSEND_ACTIVATE:
    case EVENT_TRACK_RECORD_ARM:
    case EVENT_TRACK_SIGNAL_LEVEL:
    case EVENT_LOOPER_PROGRESS:
    case EVENT_GRID_STATE:
    case EVENT_GRID_LAUNCH_SCENE:
    case EVENT_GRID_SELECT_NEW_CHOSEN:
    case EVENT_LOOPER_CLIP_REQUEST_BUFFER:
    case EVENT_REQUEST_SAVE_BUFFER:
    case EVENT_DEALLOCATE_BUFFER:
    case EVENT_STATE_SAVE_BUFFER:
    case EVENT_STATE_SAVE_FINISH:
    case EVENT_CONTROLLER_BINDING_ENABLE:
    case EVENT_CONTROLLER_BINDING_TARGET:
    case EVENT_CONTROLLER_BINDING_MADE:
      jack_ringbuffer_read_advance(rbToGui, size);
      break;

    default:
      printf("GUI: Unkown message!! Will clog ringbuffer\n");
      return;
    }
  }
}
