#ifndef VESKO_GTRACK_HXX
#define VESKO_GTRACK_HXX

#include <FL/Fl_Group.H>

#include "widgets/background.hxx"
#include "widgets/box.hxx"
#include "widgets/clipselector.hxx"
#include "widgets/dial.hxx"
#include "widgets/lightbutton.hxx"
#include "widgets/radialstatus.hxx"
#include "widgets/volume.hxx"

// One track's strip: progress ring, clip column, the JACK send, post-fader send,
// side-chain crossfade and key, record arm, pan and fader. Gestures go to the engine as
// records; the setters show what the engine reports. Interface thread only.
class GTrack : public Fl_Group
{
public:
  GTrack(int x, int y, int w, int h, const char* title);
  ~GTrack() override;

  // Starts the track numbering again at 0 (a new window, or a test building strips).
  static void resetCounter();

  int getID() const { return ID; }
  const char* getTitle() const;
  void setTitle(const char* title);

  Tovk::ClipSelector* getClipSelector() { return &clipSel; }
  Tovk::RadialStatus* getRadialStatus() { return &radial; }
  Tovk::Volume* getVolume() { return &volume; }

  float getPan() const;
  void setPan(float dialValue);
  void setSend(float v);
  float getSend() const;
  void setSendActive(bool a);
  bool getSendActive() const;
  void setXSide(float v);
  float getXSide() const;
  void setKeyActive(bool a);
  bool getKeyActive() const;
  void setRecordActive(bool a);
  bool getRecordActive() const;
  void setJackSend(float v);
  float getJackSend() const;
  void setJackSendActivate(bool a);
  bool getJackSendActivate() const;

private:
  static int counter;
  int ID;

  Tovk::Background bg;
  Tovk::RadialStatus radial;
  Tovk::ClipSelector clipSel;
  Tovk::Box faderBox;
  Tovk::Box sideBox;
  Tovk::Volume volume;
  Tovk::Box fxBox;
  Tovk::Dial jackSendDial;
  Tovk::LightButton jackSendActivate;
  Tovk::Dial sendDial;
  Tovk::LightButton sendActive;
  Tovk::Dial xsideDial;
  Tovk::LightButton keyActive;
  Tovk::LightButton recordArm;
  Tovk::Dial panDial;
};

#endif
