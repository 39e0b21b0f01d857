#ifndef VESKO_GUISTATE_HXX
#define VESKO_GUISTATE_HXX

#include <string>

#include "config.hxx"

// The interface's copy of what the strips and clip columns show: the engine's announcements
// overwrite it (handleGuiEvents), the session writer reads it and the session reader sets
// the names in it. Interface thread only.
struct GuiTrackState {
  std::string name;
  float fader = 0.78f;
  float pan = 0.5f; // dial value 0..1; the engine's pan is 2 * pan - 1
  float send = 0.f;
  bool sendActive = false;
  float jackSend = 1.f;
  bool jackSendActive = false;
  float xside = 0.f;
  bool keyActive = false;
  bool recordArm = false;
  std::string clipNames[NSCENES];
  int clipStates[NSCENES] = {};
  // Shown only, never saved.
  float levelLeft = 0.f, levelRight = 0.f;
  float progress = 0.f;
  bool recording = false;
};

struct GuiMasterState {
  float fader = 0.78f;
  int bpm = 120;
  float inputVolume = 0.5f;
  bool inputToSendActive = false;
  bool inputToKeyActive = false;
  bool inputToMixActive = false;
  float inputToSend = 0.f;
  float inputToXSide = 0.f;
  float inputToMix = 0.f;
  float returnVolume = 1.f;
  bool metronomeActive = false;
  std::string sceneNames[NSCENES];
  // Shown only, never saved.
  float levelLeft = 0.f, levelRight = 0.f;
  float inputLevelLeft = 0.f, inputLevelRight = 0.f;
  int bar = 0, beat = -1; // -1: no beat reported yet, every lamp dark
  int launchedScene = -1;
};

struct GuiState {
  GuiState();
  // The selection cursor, as the engine last reported it.
  int selectedTrack = 0;
  int selectedScene = 0;
  GuiTrackState tracks[NTRACKS];
  GuiMasterState master;
};

#endif
