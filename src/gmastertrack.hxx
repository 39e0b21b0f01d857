#ifndef VESKO_GMASTERTRACK_HXX
#define VESKO_GMASTERTRACK_HXX

#include <string>

#include <FL/Fl_Group.H>

#include "widgets/background.hxx"
#include "widgets/box.hxx"
#include "widgets/button.hxx"
#include "widgets/clipselector.hxx"
#include "widgets/dial.hxx"
#include "widgets/lightbutton.hxx"
#include "widgets/volume.hxx"

// The master strip: scene column, transport, tap tempo, metronome, tempo and return
// dials, the input level and routing, the master fader and the four beat lamps. Gestures
// go to the engine as records; the setters show what the engine reports. Interface thread
// only.
class GMasterTrack : public Fl_Group
{
public:
  GMasterTrack(int x, int y, int w, int h, const char* name);
  ~GMasterTrack() override;

  void setBpm(int bpm);
  int getBpm() const { return bpm; }
  void setTapTempo(bool pressed);
  void setBarBeat(int bar, int beat);
  void setInputVol(float v);
  void setInputTo(int dest, float v);
  void setInputToActive(int dest, bool active);
  void setMetronomeActive(bool active);
  bool getMetronomeActive() const;
  void setReturnVol(float v);
  float getReturnVol() const;

  Tovk::Volume* getVolume() { return &masterVol; }
  Tovk::Volume* getInputVolume() { return &inputVolume; }
  Tovk::ClipSelector* getClipSelector() { return &clipSel; }

  float getInputToSend() const;
  float getInputToXSide() const;
  float getInputToMix() const;
  bool getInputToSendActive() const;
  bool getInputToKeyActive() const;
  bool getInputToMixActive() const;

  // For tests and the beats display: the lamp lit for the last beat, or -1.
  int litBeatLamp() const;
  Tovk::Button* getTransportButton() { return &transport; }
  Tovk::Button* getTapButton() { return &tapButton; }
  Tovk::LightButton* getMetronomeButton() { return &metronomeButton; }
  Tovk::Dial* getTempoDial() { return &tempoDial; }
  Tovk::Dial* getReturnDial() { return &returnDial; }

private:
  std::string name;
  int bpm = 120;

  Tovk::Background bg;
  Tovk::ClipSelector clipSel;
  Tovk::Box upperBox;
  Tovk::Box lowerBox;
  Tovk::Button transport;
  Tovk::Button tapButton;
  Tovk::LightButton metronomeButton;
  Tovk::Dial tempoDial;
  Tovk::Dial returnDial;
  Tovk::Volume inputVolume;
  Tovk::LightButton inputToSendActive;
  Tovk::Dial inputToSend;
  Tovk::LightButton inputToKeyActive;
  Tovk::Dial inputToXSide;
  Tovk::LightButton inputToMixActive;
  Tovk::Dial inputToMix;
  Tovk::Volume masterVol;
  // Made last, so they are drawn over the rest; the group deletes them.
  Tovk::LightButton* beatLamps[4];
};

#endif
