#include "controller/veskogui.hxx"

#include "event.hxx"
#include "eventhandler.hxx"

namespace
{
template <class E> void announce(E ev) { writeToGuiRingbuffer(&ev); }
} // namespace

void VeskoGUI::masterInputVol(float v) { announce(EventMasterInputVol(v)); }
void VeskoGUI::masterInputTo(int place, float v) { announce(EventMasterInputTo(place, v)); }
void VeskoGUI::masterInputToActive(int place, float on)
{
  announce(EventMasterInputToActive(place, on != 0.f));
}
void VeskoGUI::masterVolume(float v) { announce(EventMasterVol(v)); }
void VeskoGUI::masterReturnVolume(float v) { announce(EventMasterReturn(1, v)); }
void VeskoGUI::metronomeEnable(bool on) { announce(EventMetronomeActive(on)); }
void VeskoGUI::trackSend(int t, int send, float v) { announce(EventTrackSend(t, send, v)); }
void VeskoGUI::trackSendActive(int t, int send, bool on) { announce(EventTrackSendActive(t, send, on)); }
void VeskoGUI::trackJackSend(int t, float v) { announce(EventTrackJackSend(t, v)); }
void VeskoGUI::trackJackSendActivate(int t, bool on) { announce(EventTrackJackSendActivate(t, on)); }
void VeskoGUI::specialScene(int t, int s) { announce(EventGridSelectNewChosen(t, s)); }
void VeskoGUI::pan(int t, float p) { announce(EventTrackPan(t, p)); }
void VeskoGUI::volume(int t, float v) { announce(EventTrackVol(t, v)); }
void VeskoGUI::progress(int t, int, float p) { announce(EventLooperProgress(t, p)); }
void VeskoGUI::recordArm(int t, bool armed) { announce(EventTrackRecordArm(t, armed ? 1.f : 0.f)); }
void VeskoGUI::setSceneState(int t, int s, int state) { announce(EventGridState(t, s, state)); }
void VeskoGUI::launchScene(int s) { announce(EventGridLaunchScene(s)); }
