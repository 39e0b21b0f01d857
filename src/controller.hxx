#ifndef VESKO_CONTROLLER_HXX
#define VESKO_CONTROLLER_HXX

// Anything that shows or drives the looper: the window, a MIDI surface. Made and destroyed
// on the interface thread; registered with the engine and notified on the JACK thread, so
// every notification must be real-time safe.
class Controller
{
public:
  // Takes the next number from a process-wide counter starting at 0.
  Controller();

  // Called once on the JACK thread right after the controller joined the engine's list.
  virtual int registerComponents() { return 0; }
  // Called once on the JACK thread as the controller leaves the engine's list, before it
  // is handed back to be destroyed: whatever registerComponents put into per-period engine
  // lists comes out here, on the thread that walks those lists.
  virtual void unregisterComponents() {}
  virtual ~Controller() {}
  // 1 when ready, 0 when construction failed.
  virtual int status() { return 1; }
  virtual const char* getName() = 0;

  virtual void masterInputVol(float v) {}
  virtual void masterInputTo(int place, float v) {}
  virtual void masterInputToActive(int place, float on) {}
  virtual void masterVolume(float v) {}
  virtual void masterReturnVolume(float v) {}
  virtual void metronomeEnable(bool on) {}
  virtual void trackSend(int track, int send, float v) {}
  virtual void trackSendActive(int track, int send, bool on) {}
  virtual void trackJackSend(int track, float v) {}
  virtual void trackJackSendActivate(int track, bool on) {}
  virtual void specialScene(int track, int scene) {}
  virtual void pan(int track, float pan) {}
  virtual void volume(int track, float v) {}
  virtual void progress(int track, int scene, float p) {}
  virtual void recordArm(int track, bool armed) {}
  virtual void setSceneState(int track, int scene, int state) {}
  virtual void launchScene(int scene) {}

  int getID() const { return ID; }

private:
  static int privateID;
  int ID;
};

#endif
