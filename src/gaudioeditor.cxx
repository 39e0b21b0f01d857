#include "gaudioeditor.hxx"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "audiobuffer.hxx"
#include "gmastertrack.hxx"
#include "gui.hxx"
#include "logger.hxx"
#include "widgets/button.hxx"
#include "widgets/palette.hxx"
#include "widgets/waveform.hxx"

namespace
{
const Tovk::Colour GREY{0.4f, 0.4f, 0.4f};
const Tovk::Colour GREEN{0.0f, 1.0f, 0.0f};
const Tovk::Colour RED{1.0f, 0.0f, 0.0f};
} // namespace

AudioEditor::AudioEditor()
{
  Fl_Group::current(nullptr);
  window = new Fl_Double_Window(460, 200, "Audio Editor : Beats?");
  window->color(fl_rgb_color(28, 28, 28));
  window->xclass("vesko");
  window->callback(closeCb, this);
  waveform = new Tovk::Waveform(5, 5, 450, 150, "Waveform");
  cancelButton = new Tovk::Button(360, 160, 80, 30, "Cancel");
  cancelButton->callback(cancelCb, this);
  for (int i = 0; i < BUTTONS; i++) {
    beatButtons[i] = new Tovk::Button(5 + 50 * i, 160, 40, 30, std::to_string(1 << i).c_str());
    beatButtons[i]->callback(beatCb, this);
  }
  window->end();
  Fl_Group::current(nullptr);
}

AudioEditor::~AudioEditor() { delete window; }

bool AudioEditor::shown() const { return window->shown() != 0; }
void AudioEditor::hide() { window->hide(); }

AudioEditor::Suggestion AudioEditor::suggest(size_t frames, long samplerate, long bpm)
{
  Suggestion s;
  int first = -1, second = -1;
  for (int i = 0; i < BUTTONS; i++) {
    s.mark[i] = Mark::Plain;
    const long long perBeat = (long long)(frames >> i);
    s.grey[i] = true;
    if (samplerate <= 0 || perBeat <= 0)
      continue;
    const long long q = samplerate / perBeat;
    if (q >= 1 && q <= 3) {
      s.grey[i] = false;
      if (first < 0)
        first = i;
      else
        second = i;
    }
  }
  if (first >= 0 && second < 0) {
    s.mark[first] = Mark::Green;
  } else if (second >= 0 && bpm > 0) {
    const long long now = (long long)samplerate * 60 / bpm;
    const long long d1 = llabs((long long)(frames >> first) - now);
    const long long d2 = llabs((long long)(frames >> second) - now);
    s.mark[first] = d1 <= d2 ? Mark::Green : Mark::Red;
    s.mark[second] = d2 <= d1 ? Mark::Green : Mark::Red;
  }
  return s;
}

void AudioEditor::show(AudioBuffer* ab)
{
  int rate = gui ? gui->samplerate : 0;
  int bpm = gui && gui->getMasterTrack() ? gui->getMasterTrack()->getBpm() : 0;
  show(ab, rate, bpm);
}

void AudioEditor::show(AudioBuffer* ab, int samplerate, int bpm)
{
  audioBuffer = ab;
  if (!ab) {
    VESKO_ERROR("called with ab == 0");
    return;
  }
  waveform->data = ab->getLeft();
  waveform->newWaveform = true;
  waveform->damage(FL_DAMAGE_ALL);
  waveform->redraw();

  const Suggestion s = suggest(ab->getLeft().size(), samplerate, bpm);
  for (int i = 0; i < BUTTONS; i++) {
    Tovk::Button* b = beatButtons[i];
    b->greyOut = s.grey[i];
    // A mark of an earlier sample must not suggest anything for this one.
    if (s.grey[i])
      b->colour = GREY;
    else if (s.mark[i] == Mark::Green)
      b->colour = GREEN;
    else if (s.mark[i] == Mark::Red)
      b->colour = RED;
    else
      b->colour = Tovk::Palette::accent;
    b->redraw();
  }
  window->set_modal();
  window->show();
}

void AudioEditor::beatCb(Fl_Widget* w, void* data)
{
  AudioEditor* self = static_cast<AudioEditor*>(data);
  for (int i = 0; i < BUTTONS; i++)
    if (w == self->beatButtons[i] && self->audioBuffer)
      self->audioBuffer->setBeats(1 << i);
  self->hide();
}

void AudioEditor::cancelCb(Fl_Widget*, void* data)
{
  AudioEditor* self = static_cast<AudioEditor*>(data);
  printf("button, beats = 4\n");
  if (self->audioBuffer)
    self->audioBuffer->setBeats(-1);
  self->hide();
}

void AudioEditor::closeCb(Fl_Widget*, void* data)
{
  // Closed without an answer: the beat count stays 0 and the loader asks again.
  static_cast<AudioEditor*>(data)->hide();
}
