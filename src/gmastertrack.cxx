#include "gmastertrack.hxx"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include "dialog.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "guistate.hxx"
#include "logger.hxx"

static const int MIN_BPM = 60;
static const int MAX_BPM = 220;

// The window's copy of the master strip, null without a window. A gesture writes it at
// once so that a refresh from it before the engine's echo shows what the user just did.
static GuiMasterState* masterState()
{
  return gui ? &gui->getState().master : nullptr;
}

static float valueOf(Fl_Widget* w)
{
  return (float)static_cast<Fl_Valuator*>(w)->value();
}

// The lamp answers at once; the engine's echo only confirms it.
static bool toggle(Fl_Widget* w)
{
  Fl_Button* b = static_cast<Fl_Button*>(w);
  bool active = b->value() == 0;
  b->value(active);
  return active;
}

// The label names the next action: "Stop" while the transport rolls, "Play" while stopped.
static void transportCallback(Fl_Widget* w, void*)
{
  Fl_Button* b = static_cast<Fl_Button*>(w);
  if (b->value() == 1) {
    EventTransportState ev(1);
    writeToDspRingbuffer(&ev);
    b->copy_label("Stop");
    b->value(0);
  } else {
    EventTransportState ev(0);
    writeToDspRingbuffer(&ev);
    b->copy_label("Play");
    b->value(1);
  }
}

static void askTempo()
{
  char prompt[64];
  snprintf(prompt, sizeof prompt, "Enter BPM value (range %d and %d):", MIN_BPM, MAX_BPM);
  const char* answer = dialog::input(prompt);
  if (!answer)
    return;
  int bpm = atoi(answer);
  if (bpm < MIN_BPM || bpm > MAX_BPM)
    return;
  EventTimeBPM ev((float)bpm);
  writeToDspRingbuffer(&ev);
}

static void metronomeMenu()
{
  static const Fl_Menu_Item menu[] = {{"Vol 100%", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
                                       {"Vol  75%", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
                                       {"Vol  50%", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
                                       {"Vol  25%", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
                                       {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};
  const Fl_Menu_Item* chosen = dialog::popup(menu, Fl::event_x(), Fl::event_y());
  if (!chosen || !chosen->text)
    return;
  float vol = 0.25f;
  if (strcmp(chosen->text, "Vol 100%") == 0)
    vol = 1.0f;
  else if (strcmp(chosen->text, "Vol  75%") == 0)
    vol = 0.75f;
  else if (strcmp(chosen->text, "Vol  50%") == 0)
    vol = 0.5f;
  VESKO_NOTE("metro vol = %f", vol);
  EventMetronomeVolume ev(vol);
  writeToDspRingbuffer(&ev);
}

// Shared by "Tap" (fires on release) and "Metro" (fires on press); the right button opens
// their second function.
static void buttonCallback(Fl_Widget* w, void*)
{
  const char* label = w->label() ? w->label() : "";
  bool right = Fl::event_button() == FL_RIGHT_MOUSE;
  if (strcmp(label, "Tap") == 0) {
    if (right) {
      askTempo();
    } else {
      EventTimeTempoTap ev(false);
      writeToDspRingbuffer(&ev);
    }
  } else if (strcmp(label, "Metro") == 0) {
    if (right) {
      metronomeMenu();
    } else {
      bool active = toggle(w);
      EventMetronomeActive ev(active);
      writeToDspRingbuffer(&ev);
      if (GuiMasterState* s = masterState())
        s->metronomeActive = active;
    }
  } else {
    VESKO_WARN("Error: unknown command string");
  }
}

static void tempoCallback(Fl_Widget* w, void*)
{
  int bpm = (int)(valueOf(w) * 160.f + 60.f);
  EventTimeBPM ev((float)bpm);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->bpm = bpm;
}

static void returnCallback(Fl_Widget* w, void*)
{
  float v = valueOf(w);
  EventMasterReturn ev(1, v);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->returnVolume = v;
}

static void inputVolCallback(Fl_Widget* w, void*)
{
  float v = valueOf(w);
  EventMasterInputVol ev(v);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputVolume = v;
}

static void masterVolCallback(Fl_Widget* w, void*)
{
  float v = valueOf(w);
  EventMasterVol ev(v);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->fader = v;
}

// Input routing: 0 the send, 1 the mix, 2 the side-chain crossfade (level only), 3 the
// side-chain key (switch only).
static void inputToSendCallback(Fl_Widget* w, void*)
{
  float v = valueOf(w);
  EventMasterInputTo ev(0, v);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputToSend = v;
}

static void inputToMixCallback(Fl_Widget* w, void*)
{
  float v = valueOf(w);
  EventMasterInputTo ev(1, v);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputToMix = v;
}

static void inputToXSideCallback(Fl_Widget* w, void*)
{
  float v = valueOf(w);
  EventMasterInputTo ev(2, v);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputToXSide = v;
}

static void inputToSendActiveCallback(Fl_Widget* w, void*)
{
  bool active = toggle(w);
  EventMasterInputToActive ev(0, active);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputToSendActive = active;
}

static void inputToMixActiveCallback(Fl_Widget* w, void*)
{
  bool active = toggle(w);
  EventMasterInputToActive ev(1, active);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputToMixActive = active;
}

static void inputToKeyActiveCallback(Fl_Widget* w, void*)
{
  bool active = toggle(w);
  EventMasterInputToActive ev(3, active);
  writeToDspRingbuffer(&ev);
  if (GuiMasterState* s = masterState())
    s->inputToKeyActive = active;
}

// The transport column sits at c = w/2 - 18; the input section's places follow the width.
GMasterTrack::GMasterTrack(int x, int y, int w, int h, const char* n)
  : Fl_Group(x, y, w, h), name(n ? n : ""), bg(x, y, w, h, name.c_str()),
    clipSel(x + 5, y + 128, 140, 294, "", true), upperBox(x + 5, y + 26, 140, 100),
    lowerBox(x + 5, y + 422, 140, 232), transport(x + w / 2 - 18, y + 436, 44, 28, "Stop"),
    tapButton(x + w / 2 - 18, y + 469, 44, 28, "Tap"),
    metronomeButton(x + w / 2 - 18, y + 502, 44, 28, "Metro"),
    // Inside the lower panel; the return dial sits above it, its name beneath it, so that
    // neither covers the other.
    tempoDial(x + w / 2 - 18, y + 601, 45, 38, "BPM"),
    returnDial(x + w / 2 - 18, y + 543, 45, 38, "Return"),
    inputVolume(x + 9, y + 30, 132, 30),
    inputToSendActive(x + w * 2 / 10 - 20, y + 96, 40, 26, "Snd"),
    inputToSend(x + w * 2 / 10 - 15, y + 64, 30, 30),
    inputToKeyActive(x + w / 2 - 20, y + 96, 40, 26, "Key"),
    inputToXSide(x + w / 2 - 15, y + 64, 30, 30),
    inputToMixActive(x + w * 8 / 10 - 20, y + 96, 40, 26, "Mix"),
    inputToMix(x + w * 8 / 10 - 15, y + 64, 30, 30), masterVol(x + 106, y + 425, 36, 216)
{
  for (int i = 0; i < NSCENES; i++)
    clipSel.setClipName(i, "Scene " + std::to_string(i + 1));

  transport.value(0);
  transport.callback(transportCallback, this);
  tapButton.callback(buttonCallback, this);
  metronomeButton.colour = {1.0f, 0.48f, 0.0f};
  metronomeButton.callback(buttonCallback, this);

  tempoDial.align(FL_ALIGN_CENTER);
  tempoDial.callback(tempoCallback, this);
  returnDial.align(FL_ALIGN_BOTTOM);
  returnDial.value(1.0);
  returnDial.callback(returnCallback, this);

  inputVolume.value(0.5);
  inputVolume.setOrientationHorizontal();
  inputVolume.callback(inputVolCallback, this);

  inputToSendActive.colour = {0, 1, 0};
  inputToSendActive.callback(inputToSendActiveCallback, this);
  inputToSend.value(0);
  inputToSend.callback(inputToSendCallback, this);
  inputToKeyActive.colour = {0, 0.6f, 1};
  inputToKeyActive.callback(inputToKeyActiveCallback, this);
  inputToXSide.value(0);
  inputToXSide.callback(inputToXSideCallback, this);
  inputToMixActive.colour = {1.0f, 0.48f, 0.0f};
  inputToMixActive.callback(inputToMixActiveCallback, this);
  inputToMix.value(0);
  inputToMix.callback(inputToMixCallback, this);

  masterVol.value(0.78);
  masterVol.setAmplitude(0, 0);
  masterVol.callback(masterVolCallback, this);

  // Top to bottom: the light climbs from green to red through a bar.
  const Tovk::Colour beatColours[4] = {{1, 0, 0}, {1.0f, 0.48f, 0.0f}, {1, 1, 0}, {0, 1, 0}};
  for (int i = 0; i < 4; i++) {
    beatLamps[i] = new Tovk::LightButton(x + 10, y + 437 + 54 * i, 40, 42, "");
    beatLamps[i]->colour = beatColours[i];
  }

  // The engine reports its tempo while starting; until then the dial shows the default.
  setBpm(bpm);
  end();
}

GMasterTrack::~GMasterTrack() = default;

void GMasterTrack::setBpm(int b)
{
  bpm = b;
  double v = (b - MIN_BPM) / 160.0;
  tempoDial.value(v < 0 ? 0 : (v > 1 ? 1 : v));
  char text[16];
  snprintf(text, sizeof text, "%d", b);
  tempoDial.copy_label(text);
  tempoDial.redraw();
}

void GMasterTrack::setTapTempo(bool pressed)
{
  tapButton.mouseClicked = pressed;
  tapButton.redraw();
}

void GMasterTrack::setBarBeat(int bar, int beat)
{
  // -1: no beat reported yet.
  int r = beat % 4;
  if (r < 0)
    r += 4;
  for (int i = 0; i < 4; i++)
    beatLamps[i]->value(beat != -1 && i == 3 - r);
}

int GMasterTrack::litBeatLamp() const
{
  for (int i = 0; i < 4; i++)
    if (beatLamps[i]->value())
      return i;
  return -1;
}

void GMasterTrack::setInputVol(float v) { inputVolume.value(v); }

void GMasterTrack::setInputTo(int dest, float v)
{
  switch (dest) {
  case 0:
    inputToSend.value(v);
    break;
  case 1:
    inputToMix.value(v);
    break;
  case 2:
    inputToXSide.value(v);
    break;
  default:
    break;
  }
}

void GMasterTrack::setInputToActive(int dest, bool active)
{
  switch (dest) {
  case 0:
    inputToSendActive.value(active);
    break;
  case 1:
    inputToMixActive.value(active);
    break;
  case 3:
    inputToKeyActive.value(active);
    break;
  default:
    break;
  }
}

void GMasterTrack::setMetronomeActive(bool active) { metronomeButton.value(active); }
bool GMasterTrack::getMetronomeActive() const { return metronomeButton.value() != 0; }

void GMasterTrack::setReturnVol(float v)
{
  VESKO_NOTE(" gmtrck, returnVol %f", v);
  returnDial.value(v);
}

float GMasterTrack::getReturnVol() const { return (float)returnDial.value(); }

float GMasterTrack::getInputToSend() const { return (float)inputToSend.value(); }
float GMasterTrack::getInputToXSide() const { return (float)inputToXSide.value(); }
float GMasterTrack::getInputToMix() const { return (float)inputToMix.value(); }
bool GMasterTrack::getInputToSendActive() const { return inputToSendActive.value() != 0; }
bool GMasterTrack::getInputToKeyActive() const { return inputToKeyActive.value() != 0; }
bool GMasterTrack::getInputToMixActive() const { return inputToMixActive.value() != 0; }
