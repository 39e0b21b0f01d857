#ifndef VESKO_CONTROLLERUPDATER_HXX
#define VESKO_CONTROLLERUPDATER_HXX

#include "controller.hxx"

// The engine's list of registered controllers, and one fan-out per kind of announcement.
// Used on the JACK thread only (and by the engine's constructor before activation). It
// does not own the controllers.
class ControllerUpdater
{
public:
  // Fixed room, so that registering never allocates on the JACK thread.
  static const int MAX_CONTROLLERS = 64;

  ControllerUpdater();

  void registerController(Controller* controller);
  // Takes the controller out of the list and sends it to the interface to be destroyed.
  void removeController(int id);
  Controller* getController(int id);
  int count() const { return used; }

  void masterInputVol(float v);
  void masterInputTo(int place, float v);
  void masterInputToActive(int place, bool on);
  void masterVolume(float v);
  void masterReturnVolume(float v);
  void metronomeEnable(bool on);
  void trackSend(int track, int send, float v);
  void trackSendActive(int track, int send, bool on);
  void trackJackSend(int track, float v);
  void trackJackSendActivate(int track, bool on);
  void specialScene(int track, int scene);
  void pan(int track, float pan);
  void volume(int track, float v);
  void progress(int track, int scene, float p);
  void recordArm(int track, bool armed);
  void setSceneState(int track, int scene, int state);
  void launchScene(int scene);

private:
  Controller* c[MAX_CONTROLLERS] = {};
  int used = 0;
};

#endif
