#include "gtrack.hxx"

#include "config.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "guistate.hxx"

int GTrack::counter = 0;

void GTrack::resetCounter()
{
  counter = 0;
}

// The window's copy of this track, so that a refresh from it before the engine's echo
// arrives shows what the user just did; null without a window or for a stray number.
static GuiTrackState* trackState(int id)
{
  if (!gui || id < 0 || id >= NTRACKS)
    return nullptr;
  return &gui->getState().tracks[id];
}

static float dialValue(Fl_Widget* w)
{
  return (float)static_cast<Fl_Valuator*>(w)->value();
}

static void volumeCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  float v = dialValue(w);
  EventTrackVol ev(t->getID(), v);
  writeToDspRingbuffer(&ev);
  if (GuiTrackState* s = trackState(t->getID()))
    s->fader = v;
}

static void panCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  float v = dialValue(w);
  EventTrackPan ev(t->getID(), 2.f * v - 1.f);
  writeToDspRingbuffer(&ev);
  if (GuiTrackState* s = trackState(t->getID()))
    s->pan = v;
}

static void jackSendCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  float v = dialValue(w);
  EventTrackJackSend ev(t->getID(), v);
  writeToDspRingbuffer(&ev);
  if (GuiTrackState* s = trackState(t->getID()))
    s->jackSend = v;
}

static void sendCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  float v = dialValue(w);
  EventTrackSend ev(t->getID(), 0, v);
  writeToDspRingbuffer(&ev);
  if (GuiTrackState* s = trackState(t->getID()))
    s->send = v;
}

static void xsideCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  float v = dialValue(w);
  EventTrackSend ev(t->getID(), 2, v);
  writeToDspRingbuffer(&ev);
  if (GuiTrackState* s = trackState(t->getID()))
    s->xside = v;
}

// The post-fader send switch answers at once; the engine's echo only confirms it.
static void sendActiveCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  Fl_Button* lamp = static_cast<Fl_Button*>(w);
  bool active = lamp->value() == 0;
  lamp->value(active);
  EventTrackSendActive ev(t->getID(), 0, active);
  writeToDspRingbuffer(&ev);
  if (GuiTrackState* s = trackState(t->getID()))
    s->sendActive = active;
}

// The FX, key and record-arm lamps ask for the opposite of what they show and change only
// when the engine's confirmation comes back through the setters.
static void jackSendActivateCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  EventTrackJackSendActivate ev(t->getID(), static_cast<Fl_Button*>(w)->value() == 0);
  writeToDspRingbuffer(&ev);
}

static void keyActiveCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  EventTrackSendActive ev(t->getID(), 1, static_cast<Fl_Button*>(w)->value() == 0);
  writeToDspRingbuffer(&ev);
}

static void recordArmCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  EventTrackRecordArm ev(t->getID(), static_cast<Fl_Button*>(w)->value() == 0 ? 1.f : 0.f);
  writeToDspRingbuffer(&ev);
}

static void titleCallback(Fl_Widget* w, void* data)
{
  GTrack* t = static_cast<GTrack*>(data);
  if (gui)
    gui->setTrackName(t->getID(), w->label() ? w->label() : "");
}

GTrack::GTrack(int x, int y, int w, int h, const char* title)
  : Fl_Group(x, y, w, h), ID(counter++), bg(x, y, w, h, title),
    radial(x + 5, y + 26, 100, 100), clipSel(x + 5, y + 128, 100, 294, "", false),
    faderBox(x + 5, y + 472, 58, 172), sideBox(x + 67, y + 472, 40, 172),
    volume(x + 70, y + 513, 32, 128), fxBox(x + 5, y + 422, 100, 45),
    jackSendDial(x + 21, y + 430, 30, 30), jackSendActivate(x + 66, y + 433, 36, 25, "FX"),
    sendDial(x + 19, y + 480, 30, 30), sendActive(x + 9, y + 512, 50, 25, "Snd"),
    xsideDial(x + 19, y + 549, 30, 30), keyActive(x + 9, y + 581, 50, 25, "Key"),
    recordArm(x + 9, y + 612, 50, 25, "XRec"), panDial(x + 73, y + 479, 30, 30)
{
  bg.callback(titleCallback, this);

  radial.value(0);
  clipSel.setID(ID);

  volume.value(0.78);
  volume.callback(volumeCallback, this);

  jackSendDial.value(1.0);
  jackSendDial.callback(jackSendCallback, this);
  jackSendActivate.colour = {1, 1, 0};
  jackSendActivate.callback(jackSendActivateCallback, this);

  sendDial.value(0);
  sendDial.callback(sendCallback, this);
  sendActive.colour = {0, 1, 0};
  sendActive.callback(sendActiveCallback, this);

  xsideDial.value(0);
  xsideDial.callback(xsideCallback, this);
  keyActive.colour = {0, 0.6f, 1};
  keyActive.callback(keyActiveCallback, this);

  recordArm.colour = {1, 0, 0};
  recordArm.callback(recordArmCallback, this);

  panDial.value(0.5);
  panDial.bipolar = true;
  panDial.callback(panCallback, this);

  end();
}

GTrack::~GTrack() = default;

const char* GTrack::getTitle() const
{
  return bg.label() ? bg.label() : "";
}

void GTrack::setTitle(const char* title)
{
  bg.copy_label(title ? title : "");
  bg.redraw();
}

float GTrack::getPan() const { return (float)panDial.value(); }
void GTrack::setPan(float dialValue) { panDial.value(dialValue); }

void GTrack::setSend(float v) { sendDial.value(v); }
float GTrack::getSend() const { return (float)sendDial.value(); }

void GTrack::setSendActive(bool a) { sendActive.value(a); }
bool GTrack::getSendActive() const { return sendActive.value() != 0; }

void GTrack::setXSide(float v) { xsideDial.value(v); }
float GTrack::getXSide() const { return (float)xsideDial.value(); }

void GTrack::setKeyActive(bool a) { keyActive.value(a); }
bool GTrack::getKeyActive() const { return keyActive.value() != 0; }

void GTrack::setRecordActive(bool a) { recordArm.value(a); }
bool GTrack::getRecordActive() const { return recordArm.value() != 0; }

void GTrack::setJackSend(float v) { jackSendDial.value(v); }
float GTrack::getJackSend() const { return (float)jackSendDial.value(); }

void GTrack::setJackSendActivate(bool a) { jackSendActivate.value(a); }
bool GTrack::getJackSendActivate() const { return jackSendActivate.value() != 0; }
