#ifndef VESKO_WIDGETS_BOX_HXX
#define VESKO_WIDGETS_BOX_HXX

#include <FL/Fl_Widget.H>

namespace Tovk
{

// An opaque black panel behind groups of controls. Interface thread only.
class Box : public Fl_Widget
{
public:
  Box(int x, int y, int w, int h, const char* label = "");
  ~Box() override;

  void draw() override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  // Channels handed to cairo as they are: 0 is black.
  int r = 0, g = 0, b = 0;
};

} // namespace Tovk

#endif
