#ifndef VESKO_GRIDLOGIC_HXX
#define VESKO_GRIDLOGIC_HXX

#include "gridstate.hxx"
#include "timeobserver.hxx"

class AudioBuffer;

// Turns gestures on the clip grid into clip requests for the next bar line, lets every
// clip act on them at the bar line, and announces each resulting state. A press stops the
// track's other clips, so a track plays at most one; a scene launch starts one scene across
// all tracks; the special clip lets one footswitch or key act on one chosen clip.
//
// Built with the engine on the interface thread; everything else runs on the JACK thread
// (engine dispatch, MIDI bindings, the time manager's bar line).
class GridLogic : public TimeObserver
{
public:
  GridLogic();

  // Any track or scene outside the grid is refused with a message, before any clip is
  // looked up: MIDI bindings and the footswitch can carry such numbers.
  void pressed(int track, int scene);
  void released(int track, int scene);
  void launchScene(int scene);
  void clearClip(int track, int scene);
  // The clip takes the buffer; a refused buffer goes back to the interface.
  void loadClip(int track, int scene, AudioBuffer* ab);
  // Prints every clip's state name and announces every state.
  void refreshAll();

  // While on, a press chooses the special clip instead of acting on a clip.
  void setSelectMode(bool on);
  bool getSelectMode() const { return selectMode; }
  // Clamped into the grid.
  void setSpecialClip(int track, int scene);
  int getSpecialTrack() const { return specialClipTrack; }
  int getSpecialScene() const { return specialClipScene; }
  void specialClipEvent(bool pressed);

  void bar() override;
  void beat() override {}

  int getSceneLaunched() const { return sceneLaunched; }

private:
  bool inGrid(const char* what, int track, int scene) const;
  void chooseSpecial(int track, int scene);

  int sceneLaunched = 0;
  bool selectMode = false;
  int specialClipTrack = 0;
  int specialClipScene = 0;
};

#endif
