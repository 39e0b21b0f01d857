#ifndef VESKO_GAUDIOEDITOR_HXX
#define VESKO_GAUDIOEDITOR_HXX

#include <cstddef>

class AudioBuffer;
class Fl_Double_Window;
class Fl_Widget;
namespace Tovk
{
class Button;
class Waveform;
} // namespace Tovk

// The beats dialog: asks how many beats a loaded sample spans, with its waveform in view,
// seven buttons for 1 to 64 beats (the plausible ones picked out in colour) and "Cancel".
// The answer goes into the buffer's beat count: 2^i for button i, -1 for Cancel. Closing
// the window answers nothing, so the loader asks again. Interface thread only.
class AudioEditor
{
public:
  static const int BUTTONS = 7;

  // Builds the window, hidden.
  AudioEditor();
  ~AudioEditor();

  // Shows the question for ab, with the engine's rate and the master strip's tempo.
  void show(AudioBuffer* ab);
  // The same with the rate and tempo given.
  void show(AudioBuffer* ab, int samplerate, int bpm);
  bool shown() const;
  void hide();

  // What the buttons show for a sample of `frames` frames.
  enum class Mark { Plain, Green, Red };
  struct Suggestion {
    bool grey[BUTTONS];
    Mark mark[BUTTONS];
  };
  // Button i reads the sample as 2^i beats; it is a candidate when that gives a tempo from
  // 60 up to (not including) 240 BPM at this rate. One candidate is green; of two, the one
  // nearer the current tempo is green and the other red (both green when equally near).
  // Where a division has no meaning (no frames per beat, no rate, no tempo to compare
  // with) the buttons concerned are grey and nothing is coloured.
  static Suggestion suggest(size_t frames, long samplerate, long bpm);

  Fl_Double_Window* getWindow() { return window; }
  Tovk::Waveform* getWaveform() { return waveform; }
  Tovk::Button* getBeatButton(int i) { return i >= 0 && i < BUTTONS ? beatButtons[i] : nullptr; }
  Tovk::Button* getCancelButton() { return cancelButton; }
  AudioBuffer* getAudioBuffer() { return audioBuffer; }

private:
  static void beatCb(Fl_Widget* w, void* self);
  static void cancelCb(Fl_Widget* w, void* self);
  static void closeCb(Fl_Widget* w, void* self);

  Fl_Double_Window* window = nullptr;
  Tovk::Waveform* waveform = nullptr;
  Tovk::Button* cancelButton = nullptr;
  Tovk::Button* beatButtons[BUTTONS] = {};
  AudioBuffer* audioBuffer = nullptr;
};

#endif
