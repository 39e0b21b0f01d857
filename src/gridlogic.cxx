#include "gridlogic.hxx"

#include "config.hxx"
#include "controllerupdater.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "looper.hxx"
#include "looperclip.hxx"
#include "trackoutput.hxx"

namespace
{
ControllerUpdater* updater() { return jack->getControllerUpdater(); }
LooperClip* clipAt(int track, int scene) { return jack->getLooper(track)->getClip(scene); }
int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
} // namespace

GridLogic::GridLogic() {}

bool GridLogic::inGrid(const char* what, int track, int scene) const
{
  if (track >= 0 && track < NTRACKS && scene >= 0 && scene < NSCENES)
    return true;
  dspPrint("GridLogic::%s() refused %i, %i", what, track, scene);
  return false;
}

void GridLogic::chooseSpecial(int track, int scene)
{
  specialClipTrack = clamp(track, 0, NTRACKS - 1);
  specialClipScene = clamp(scene, 0, NSCENES - 1);
  updater()->specialScene(specialClipTrack, specialClipScene);
}

void GridLogic::pressed(int track, int scene)
{
  if (selectMode) {
    chooseSpecial(track, scene);
    return;
  }
  if (!inGrid("pressed", track, scene))
    return;

  LooperClip* clip = clipAt(track, scene);
  TrackOutput* output = jack->getTrackOutput(track);
  if (output->recordArm() && !clip->isRecording()) {
    clip->queueRecord();
    output->recordArm(false);
    updater()->recordArm(track, false);
  } else {
    switch (clip->getState()) {
    case STATE_EMPTY: clip->queueRecord(); break;
    case STATE_PLAYING: clip->queueStop(); break;
    case STATE_PLAY_QUEUED: clip->queueStop(); break;
    case STATE_STOPPED: clip->queuePlay(); break;
    case STATE_STOP_QUEUED:
      clip->queuePlay();
      if (clip->isPlaying())
        clip->clearQueue(); // it simply keeps playing
      break;
    case STATE_RECORDING: clip->queuePlay(); break;
    case STATE_RECORD_QUEUED: clip->clearQueue(); break;
    }
  }

  // A track plays one clip at most: every other clip with content stops at the bar.
  for (int s = 0; s < NSCENES; s++) {
    if (s == scene)
      continue;
    LooperClip* other = clipAt(track, s);
    other->clearQueue();
    other->queueStop();
    updater()->setSceneState(track, s, other->getState());
  }
  updater()->setSceneState(track, scene, clip->getState());
}

void GridLogic::released(int track, int scene)
{
  if (!inGrid("released", track, scene))
    return;
  updater()->setSceneState(track, scene, clipAt(track, scene)->getState());
}

void GridLogic::launchScene(int scene)
{
  if (!inGrid("launchScene", 0, scene))
    return;
  for (int t = 0; t < NTRACKS; t++) {
    for (int s = 0; s < NSCENES; s++) {
      LooperClip* clip = clipAt(t, s);
      if (s == scene)
        clip->queuePlay();
      else if (clip->isPlaying())
        clip->queueStop();
      else if (clip->isQueued())
        clip->clearQueue();
      else
        continue;
      updater()->setSceneState(t, s, clip->getState());
    }
  }
  sceneLaunched = scene;
  updater()->launchScene(scene);
}

void GridLogic::clearClip(int track, int scene)
{
  if (!inGrid("clearClip", track, scene))
    return;
  clipAt(track, scene)->clear();
  updater()->progress(track, scene, 0);
  updater()->setSceneState(track, scene, STATE_EMPTY);
}

void GridLogic::loadClip(int track, int scene, AudioBuffer* ab)
{
  if (!inGrid("loadClip", track, scene)) {
    if (ab) {
      EventDeallocateBuffer back(ab);
      handOverToGui(&back);
    }
    return;
  }
  LooperClip* clip = clipAt(track, scene);
  clip->loadBuffer(ab);
  updater()->setSceneState(track, scene, clip->getState());
}

void GridLogic::refreshAll()
{
  for (int t = 0; t < NTRACKS; t++) {
    for (int s = 0; s < NSCENES; s++) {
      const int state = clipAt(t, s)->getState();
      dspPrint("%s", GridStateNames[state]);
      updater()->setSceneState(t, s, state);
    }
  }
}

void GridLogic::setSelectMode(bool on)
{
  dspPrint("Select track enable %i", on ? 1 : 0);
  selectMode = on;
}

void GridLogic::setSpecialClip(int track, int scene) { chooseSpecial(track, scene); }

void GridLogic::specialClipEvent(bool isPressed)
{
  if (isPressed)
    pressed(specialClipTrack, specialClipScene);
  else
    released(specialClipTrack, specialClipScene);
}

void GridLogic::bar()
{
  for (int t = 0; t < NTRACKS; t++)
    for (int s = 0; s < NSCENES; s++)
      clipAt(t, s)->bar();
}
