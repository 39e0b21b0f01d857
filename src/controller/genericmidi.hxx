#ifndef VESKO_GENERICMIDI_HXX
#define VESKO_GENERICMIDI_HXX

#include <memory>
#include <string>
#include <vector>

#include "controller.hxx"
#include "controller/binding.hxx"
#include "controller/bindinglist.hxx"
#include "observer/midi.hxx"

struct cJSON;

// Any MIDI control surface, driven by two lists of bindings: input bindings turn a message
// (status and first data byte) into an action on the engine, output bindings turn a change
// of engine state into a message back to the device. The lists come from a ".ctlr" map or
// are learnt while the looper runs.
//
// Threads: the constructors, the map reader and the readers of the lists named "interface
// thread" run there; midi(), the notifications, learning and removeBinding run on the JACK
// thread once the engine holds the controller. The JACK thread never allocates or frees a
// binding: learnt bindings come from storage made with the controller, and removed ones
// stay with the controller until the interface thread destroys it.
class GenericMIDI : public Controller, public MidiIO
{
public:
  // A map file to load, to tell the two constructors apart.
  struct MapFile {
    std::string path;
  };

  // Interface thread: a new, empty controller named `name`.
  explicit GenericMIDI(std::string name);
  // Interface thread: a controller read from a map file; status() is 0 when it failed.
  explicit GenericMIDI(MapFile file);
  ~GenericMIDI() override;

  // Interface thread: builds a controller from a map file and hands it to the engine in an
  // EventControllerInstance without looking at its status, as the start-up loader of the
  // preferred controllers does. Returns it (owned by the engine from now on).
  static GenericMIDI* loadAndHandOver(const std::string& path);

  // JACK thread.
  int registerComponents() override;
  void unregisterComponents() override;

  int status() override { return stat; }
  const char* getName() override { return name.c_str(); }

  // Feedback, JACK thread.
  void metronomeEnable(bool on) override;
  void trackSend(int track, int send, float v) override;
  void trackSendActive(int track, int send, bool on) override;
  void recordArm(int track, bool armed) override;
  void setSceneState(int track, int scene, int state) override;
  void launchScene(int scene) override;
  // Shown nowhere on a device.
  void trackJackSend(int track, float v) override {}
  void trackJackSendActivate(int track, bool on) override {}
  void volume(int track, float v) override {}

  // JACK thread: one incoming message.
  void midi(const unsigned char* data) override;

  const std::string& getAuthor() const { return author; }
  const std::string& getLink() const { return link; }
  // Interface thread (safe while the JACK thread learns or removes): a copy of the input
  // bindings in order.
  std::vector<Binding> getInputBindings() const { return inputBindings->copy(); }
  // The output bindings never change after construction.
  const std::vector<std::unique_ptr<Binding>>& getOutputBindings() const { return outputBindings; }

  // JACK thread (learning): a new input binding with a new ID, appended to the list.
  // Returns it, or null when this controller has no room left to learn.
  const Binding* setupBinding(int action, int status, int data, int track, int scene, int send,
                              int active);
  // JACK thread: takes the first input binding with this ID out of the list.
  void removeBinding(int id);
  // JACK thread: 1 next-scene mode, -1 previous-scene mode, 0 neither.
  void setFootswitchToNextScene(int v);
  bool footswitchNext() const { return footswitchNextScene; }
  bool footswitchPrev() const { return footswitchPrevScene; }

  // Interface thread: one binding from one element of a map's bindings array, or null
  // (with a warning) when the element is refused.
  static std::unique_ptr<Binding> setupBinding(const cJSON* object);

  // How many bindings one controller can learn over its life.
  static const int LEARN_CAPACITY = 512;
  // Larger map files are refused; real maps are a few kilobytes.
  static const long MAX_MAP_BYTES = 4 * 1024 * 1024;

private:
  // Interface thread: reads a map into the lists. 0 loaded, 1 no file, 2 invalid.
  int loadController(const std::string& path);
  void makeInputList();
  // JACK thread: what one matching input binding does with value x = d2 / 127.
  void act(const Binding& b, float x);
  void send(const Binding& b, int value);

  bool footswitchNextScene = false;
  bool footswitchPrevScene = false;
  int stat = 0;
  std::string name;
  std::string author;
  std::string link;

  // Every binding read from the map, owned here; the lists hold pointers into these and
  // into `learnt`.
  std::vector<std::unique_ptr<Binding>> mapInputs;
  std::vector<std::unique_ptr<Binding>> outputBindings;
  std::vector<Binding> learnt; // fixed size, made with the controller
  int learntUsed = 0;          // JACK thread once the engine holds the controller
  std::unique_ptr<BindingList> inputBindings;
};

#endif
