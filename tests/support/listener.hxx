#ifndef VESKO_TEST_LISTENER_HXX
#define VESKO_TEST_LISTENER_HXX

// A controller that writes down every announcement it hears, in order. It is told things
// on the JACK thread, so its log has room reserved up front and never allocates there.

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "controller.hxx"

struct Heard {
  enum Kind { STATE, PROGRESS, RECORD_ARM, SPECIAL, LAUNCH, VOLUME, MASTER_VOLUME, PAN, INPUT_TO,
              INPUT_TO_ACTIVE, METRONOME };
  Kind kind;
  int a, b, c;
  float f;
  bool operator==(const Heard& o) const
  {
    return kind == o.kind && a == o.a && b == o.b && c == o.c && f == o.f;
  }
};

inline Heard stateOf(int t, int s, int st) { return {Heard::STATE, t, s, st, 0.f}; }
inline Heard progressOf(int t, int s, float p) { return {Heard::PROGRESS, t, s, 0, p}; }

inline std::ostream& operator<<(std::ostream& os, const Heard& h)
{
  static const char* names[] = {"state",  "progress",     "recordArm", "special",
                                "launch", "volume",       "masterVolume", "pan",
                                "inputTo", "inputToActive", "metronome"};
  return os << names[h.kind] << "(" << h.a << "," << h.b << "," << h.c << "," << h.f << ")";
}

class Listener : public Controller
{
public:
  Listener() { log.reserve(100000); }
  const char* getName() override { return "listener"; }

  void setSceneState(int t, int s, int st) override { add({Heard::STATE, t, s, st, 0.f}); }
  void progress(int t, int s, float p) override { add({Heard::PROGRESS, t, s, 0, p}); }
  void recordArm(int t, bool on) override { add({Heard::RECORD_ARM, t, 0, on, 0.f}); }
  void specialScene(int t, int s) override { add({Heard::SPECIAL, t, s, 0, 0.f}); }
  void launchScene(int s) override { add({Heard::LAUNCH, s, 0, 0, 0.f}); }
  void volume(int t, float v) override { add({Heard::VOLUME, t, 0, 0, v}); }
  void masterVolume(float v) override { add({Heard::MASTER_VOLUME, 0, 0, 0, v}); }
  void pan(int t, float p) override { add({Heard::PAN, t, 0, 0, p}); }
  void masterInputTo(int place, float v) override { add({Heard::INPUT_TO, place, 0, 0, v}); }
  void masterInputToActive(int place, float on) override { add({Heard::INPUT_TO_ACTIVE, place, 0, 0, on}); }
  void metronomeEnable(bool on) override { add({Heard::METRONOME, 0, 0, on, 0.f}); }

  // Only the announcements of one kind.
  std::vector<Heard> only(Heard::Kind k) const
  {
    std::vector<Heard> out;
    for (const Heard& h : log)
      if (h.kind == k)
        out.push_back(h);
    return out;
  }

  std::vector<Heard> log;

private:
  void add(const Heard& h)
  {
    if (log.size() < log.capacity())
      log.push_back(h);
  }
};

#endif
