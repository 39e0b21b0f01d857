#ifndef VESKO_VESKOGUI_HXX
#define VESKO_VESKOGUI_HXX

#include "controller.hxx"

// The window's seat in the controller list: turns every announcement into one record toward
// the interface. Every notification runs on the JACK thread and only writes a fixed-size
// record.
class VeskoGUI : public Controller
{
public:
  const char* getName() override { return "Vesko GUI"; }

  void masterInputVol(float v) override;
  void masterInputTo(int place, float v) override;
  void masterInputToActive(int place, float on) override;
  void masterVolume(float v) override;
  void masterReturnVolume(float v) override;
  void metronomeEnable(bool on) override;
  void trackSend(int track, int send, float v) override;
  void trackSendActive(int track, int send, bool on) override;
  void trackJackSend(int track, float v) override;
  void trackJackSendActivate(int track, bool on) override;
  void specialScene(int track, int scene) override;
  void pan(int track, float pan) override;
  void volume(int track, float v) override;
  void progress(int track, int scene, float p) override;
  void recordArm(int track, bool armed) override;
  void setSceneState(int track, int scene, int state) override;
  void launchScene(int scene) override;
};

#endif
