#ifndef VESKO_WIDGETS_CLIPSELECTOR_HXX
#define VESKO_WIDGETS_CLIPSELECTOR_HXX

#include <string>

#include <FL/Fl_Button.H>

#include "config.hxx"

namespace Tovk
{

// One clip slot as the column shows it: its state (0 Empty, 1 Playing, 2 Play queued,
// 3 Stopped, 4 Stop queued, 5 Recording, 6 Record queued) and its name.
struct ClipCell
{
  int state = 0;
  std::string name;
};

// The column of ten clip cells of a strip. In a track strip a left click sends the grid
// press of that clip and a right click opens the clip menu; in the master strip (master
// mode) the cells are scenes: a left click launches the scene, a right click renames it.
// It only shows what it is told. Interface thread only.
class ClipSelector : public Fl_Button
{
public:
  ClipSelector(int x, int y, int w, int h, const char* label, bool master);
  ~ClipSelector() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  void setID(int id) { ID = id; }
  int getID() const { return ID; }

  // scene must be 0..9; others are ignored.
  void setState(int scene, int state);
  int getState(int scene) const;
  std::string getClipName(int scene) const;
  void setClipName(int scene, const std::string& name);
  // Marks the selected cell; -1 removes the mark.
  void setSpecial(int scene);
  int getSpecial() const { return special; }
  bool isMaster() const { return master; }

  // The cell under window y (pushes below the tenth cell select the last one).
  int cellAt(int y) const;

  int X, Y, W, H;

private:
  // Both false when the push is to be left unconsumed: nothing chosen, or an overwrite
  // declined.
  bool clipMenu(int cell);
  bool saveClip(int cell);

  int ID = -1;
  ClipCell clips[NSCENES];
  int special = -1;
  bool master;
  bool mouseOver = false;
  bool pressedLook = false;
};

} // namespace Tovk

#endif
