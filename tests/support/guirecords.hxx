#ifndef VESKO_TEST_GUIRECORDS_HXX
#define VESKO_TEST_GUIRECORDS_HXX

// What the engine sent toward the interface, read off rbToGui between periods (never on
// the process thread), so that tests can run long scenarios without the queue filling.

#include <string>
#include <vector>

#include <jack/ringbuffer.h>

#include "event.hxx"
#include "eventhandler.hxx"

struct GuiRecords {
  std::vector<std::string> prints;
  std::vector<float> bpms;
  std::vector<std::pair<int, int>> barBeats;
  std::vector<EventTrackSignalLevel> levels;

  void take()
  {
    alignas(16) char buf[256];
    while (jack_ringbuffer_read_space(rbToGui) >= 8) {
      jack_ringbuffer_peek(rbToGui, buf, 8);
      const uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
      jack_ringbuffer_read(rbToGui, buf, size);
      const EventBase* e = reinterpret_cast<EventBase*>(buf);
      switch (e->type()) {
      case EVENT_GUI_PRINT:
        prints.push_back(static_cast<const EventGuiPrint*>(e)->getMessage());
        break;
      case EVENT_TIME_BPM:
        bpms.push_back(static_cast<const EventTimeBPM*>(e)->bpm);
        break;
      case EVENT_TIME_BAR_BEAT: {
        auto* bb = static_cast<const EventTimeBarBeat*>(e);
        barBeats.push_back({bb->bar, bb->beat});
        break;
      }
      case EVENT_TRACK_SIGNAL_LEVEL:
        levels.push_back(*static_cast<const EventTrackSignalLevel*>(e));
        break;
      default:
        break;
      }
    }
  }

  bool printed(const std::string& text) const
  {
    for (auto& p : prints)
      if (p == text)
        return true;
    return false;
  }

  void clear()
  {
    prints.clear();
    bpms.clear();
    barBeats.clear();
    levels.clear();
  }
};

#endif
