#ifndef VESKO_WIDGETS_IMAGE_HXX
#define VESKO_WIDGETS_IMAGE_HXX

#include <FL/Fl_Widget.H>

namespace Tovk
{

// A raw pixel picture at its own size: h rows of w pixels of bytesPerPixel bytes, back to
// back, in memory the image does not own. It keeps its size when its group resizes; with
// stickToRight it keeps to the window's right edge. A push fires the callback. The owner
// fills the fields after construction. Interface thread only.
class Image : public Fl_Widget
{
public:
  Image(int x, int y, int w, int h, const char* label = "");
  ~Image() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  int X, Y, W, H;
  int bytesPerPixel = 4;
  const unsigned char* pixels = nullptr;
  bool stickToRight = false;
};

} // namespace Tovk

#endif
