#include "logic.hxx"

#include <cstdint>

#include "config.hxx"
#include "controllerupdater.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "jacksendreturn.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "metronome.hxx"
#include "timemanager.hxx"
#include "trackoutput.hxx"

namespace
{
ControllerUpdater* updater() { return jack->getControllerUpdater(); }
} // namespace

Logic::Logic() {}

bool Logic::trackOk(const char* operation, int track)
{
  if ((unsigned)track < NTRACKS)
    return true;
  // One record holds 49 characters: the hint goes in a second line.
  dspPrint("%s: invalid track number %i:", operation, track);
  dspPrint("check controller map has \"track\" field.");
  return false;
}

void Logic::tapTempo() { jack->getTimeManager()->tap(); }

void Logic::setBpmZeroOne(float zeroOne) { jack->getTimeManager()->setBpmZeroOne(zeroOne); }

void Logic::metronomeEnable(bool on)
{
  jack->getMetronome()->setActive(on);
  updater()->metronomeEnable(on);
}

void Logic::masterInputVol(float v)
{
  jack->inputVolume(v);
  updater()->masterInputVol(v);
}

void Logic::masterInputTo(int place, float v)
{
  jack->inputTo(place, v);
  updater()->masterInputTo(place, v);
}

void Logic::masterInputToActive(int place, bool on)
{
  jack->inputToActive(place, on);
  updater()->masterInputToActive(place, on);
}

void Logic::masterReturnVolume(float v)
{
  jack->returnVolume(v);
  updater()->masterReturnVolume(v);
}

void Logic::trackPan(int track, float pan)
{
  if ((unsigned)track >= NTRACKS)
    return;
  jack->getTrackOutput(track)->setPan(pan);
  updater()->pan(track, pan);
}

void Logic::trackVolume(int track, float v)
{
  if (track == -1) {
    jack->masterVolume(v);
    updater()->masterVolume(v);
    return;
  }
  if (!trackOk("trackVolume", track))
    return;
  jack->getTrackOutput(track)->setMaster(v);
  updater()->volume(track, v);
}

void Logic::trackRecordArm(int track, bool armed)
{
  if (!trackOk("trackRecordArm", track))
    return;
  jack->getTrackOutput(track)->recordArm(armed);
  updater()->recordArm(track, armed);
}

void Logic::trackSendActive(int track, int send, bool on)
{
  if (!trackOk("trackSendActive", track))
    return;
  jack->getTrackOutput(track)->setSendActive(send, on);
  updater()->trackSendActive(track, send, on);
}

void Logic::trackSend(int track, int send, float v)
{
  if (!trackOk("trackSend", track))
    return;
  jack->getTrackOutput(track)->setSend(send, v);
  updater()->trackSend(track, send, v);
}

void Logic::trackJackSendActivate(int track, bool on)
{
  if (!trackOk("trackJackSendActivate", track))
    return;
  jack->getJackSendReturn(track)->setActive(on);
  updater()->trackJackSendActivate(track, on);
}

void Logic::trackJackSend(int track, float v)
{
  if (!trackOk("trackJackSend", track))
    return;
  jack->getJackSendReturn(track)->setSendVolume(v);
  updater()->trackJackSend(track, v);
}

void Logic::looperClipLenght(int track, int scene, int beats)
{
  if (!trackOk("looperClipLenght", track))
    return;
  if (LooperClip* clip = jack->getLooper(track)->getClip(scene))
    clip->setBeats(beats);
  else
    dspPrint("looperClipLenght: invalid scene %i", scene);
}

void Logic::looperUseAsTempo(int track, int scene)
{
  Looper* looper = jack->getLooper(track);
  LooperClip* clip = looper ? looper->getClip(scene) : nullptr;
  if (!clip) {
    dspPrint("looperUseAsTempo: no clip %i, %i", track, scene);
    return;
  }
  const int beats = clip->getBeats();
  if (beats == 0)
    return;
  const uint64_t fpb = (uint64_t)clip->getRecordedLength() / (uint64_t)beats;
  jack->getTimeManager()->queueFpb((double)fpb);
}
