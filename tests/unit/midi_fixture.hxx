#ifndef VESKO_TEST_MIDI_FIXTURE_HXX
#define VESKO_TEST_MIDI_FIXTURE_HXX

// The engine on the seam, a private HOME with a controllers directory, and helpers to put
// map files there, hand controllers to the engine and read what reaches the interface.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "controller/genericmidi.hxx"
#include "controllerupdater.hxx"
#include "engine_fixture.hxx"

struct GuiRecord {
  int type;
  std::vector<char> bytes;
  template <class E> const E& as() const { return *reinterpret_cast<const E*>(bytes.data()); }
};

using Bytes = std::vector<unsigned char>;

class MidiTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    char tmpl[] = "/tmp/vesko-midi-XXXXXX";
    home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    for (const char* d : {"/.config", "/.config/morvit", "/.config/morvit/vesko",
                          "/.config/morvit/vesko/controllers"})
      mkdir((home + d).c_str(), 0775);
    controllers = home + "/.config/morvit/vesko/controllers/";
  }

  std::string writeFile(const std::string& path, const std::string& text)
  {
    FILE* f = fopen(path.c_str(), "w");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    return path;
  }
  std::string writeMap(const std::string& file, const std::string& json)
  {
    return writeFile(controllers + file, json);
  }
  std::string readFile(const std::string& path)
  {
    std::string text;
    if (FILE* f = fopen(path.c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        text.append(buf, n);
      fclose(f);
    }
    return text;
  }

  // The interface's hand-over, then the period in which the engine registers it.
  template <class C> C* handOver(C* c)
  {
    EventControllerInstance e(c);
    writeToDspRingbuffer(&e);
    fakejack::cycle();
    return c;
  }

  // Records sent toward the interface since the last call.
  std::vector<GuiRecord> takeGui()
  {
    std::vector<GuiRecord> out;
    drainGui([&](int type, const char* b) {
      out.push_back({type, std::vector<char>(b, b + reinterpret_cast<const EventBase*>(b)->size())});
    });
    return out;
  }
  // The texts of the EventGuiPrint records among them.
  static std::string prints(const std::vector<GuiRecord>& records)
  {
    std::string s;
    for (auto& r : records)
      if (r.type == EVENT_GUI_PRINT)
        s += std::string(r.as<EventGuiPrint>().print) + "\n";
    return s;
  }

  // What the last period wrote to a MIDI output, message by message, checking that every
  // message sits at frame 0.
  static std::vector<Bytes> sent(const std::string& port)
  {
    std::vector<Bytes> out;
    for (auto& e : fakejack::midiEvents(port)) {
      EXPECT_EQ(e.time, 0u) << port;
      out.push_back(e.bytes);
    }
    return out;
  }

  std::string home;
  std::string controllers;
};

#endif
