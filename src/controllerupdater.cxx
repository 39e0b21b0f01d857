#include "controllerupdater.hxx"

#include "event.hxx"
#include "eventhandler.hxx"
#include "logger.hxx"

ControllerUpdater::ControllerUpdater() {}

void ControllerUpdater::registerController(Controller* controller)
{
  if (!controller) {
    dspPrint("Register Controller passed NULL controller!");
    return;
  }
  if (used == MAX_CONTROLLERS) {
    // Full: hand it straight back so the interface can destroy it.
    dspPrint("Too many controllers, %s refused", controller->getName());
    EventControllerInstance back(controller);
    handOverToGui(&back);
    return;
  }
  c[used++] = controller;
  controller->registerComponents();
}

void ControllerUpdater::removeController(int id)
{
  for (int i = 0; i < used; i++) {
    if (c[i]->getID() != id)
      continue;
    Controller* removed = c[i];
    dspPrint("Removing item %d with name %s", i, removed->getName());
    for (int j = i; j + 1 < used; j++)
      c[j] = c[j + 1];
    c[--used] = nullptr;
    removed->unregisterComponents();
    EventControllerInstance back(removed);
    handOverToGui(&back);
    return; // IDs are unique
  }
}

Controller* ControllerUpdater::getController(int id)
{
  for (int i = 0; i < used; i++) {
    if (c[i]->getID() == id) {
      dspPrint("getController target ID: %i, found ID: %i, returning %s", id, i, c[i]->getName());
      return c[i];
    }
  }
  return nullptr;
}

#define FAN_OUT(CALL)                                                                          \
  for (int i = 0; i < used; i++)                                                               \
    c[i]->CALL;

void ControllerUpdater::masterInputVol(float v) { FAN_OUT(masterInputVol(v)) }
void ControllerUpdater::masterInputTo(int place, float v) { FAN_OUT(masterInputTo(place, v)) }
void ControllerUpdater::masterInputToActive(int place, bool on)
{
  FAN_OUT(masterInputToActive(place, on ? 1.f : 0.f))
}
void ControllerUpdater::masterVolume(float v) { FAN_OUT(masterVolume(v)) }
void ControllerUpdater::masterReturnVolume(float v) { FAN_OUT(masterReturnVolume(v)) }
void ControllerUpdater::metronomeEnable(bool on) { FAN_OUT(metronomeEnable(on)) }
void ControllerUpdater::trackSend(int t, int send, float v) { FAN_OUT(trackSend(t, send, v)) }
void ControllerUpdater::trackSendActive(int t, int send, bool on) { FAN_OUT(trackSendActive(t, send, on)) }
void ControllerUpdater::trackJackSend(int t, float v) { FAN_OUT(trackJackSend(t, v)) }
void ControllerUpdater::trackJackSendActivate(int t, bool on) { FAN_OUT(trackJackSendActivate(t, on)) }
void ControllerUpdater::specialScene(int t, int scene) { FAN_OUT(specialScene(t, scene)) }
void ControllerUpdater::pan(int t, float p) { FAN_OUT(pan(t, p)) }
void ControllerUpdater::volume(int t, float v) { FAN_OUT(volume(t, v)) }
void ControllerUpdater::progress(int t, int scene, float p) { FAN_OUT(progress(t, scene, p)) }
void ControllerUpdater::recordArm(int t, bool armed) { FAN_OUT(recordArm(t, armed)) }
void ControllerUpdater::setSceneState(int t, int scene, int state) { FAN_OUT(setSceneState(t, scene, state)) }
void ControllerUpdater::launchScene(int scene) { FAN_OUT(launchScene(scene)) }

#undef FAN_OUT
