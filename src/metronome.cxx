#include "metronome.hxx"

#include <cmath>

#include "buffers.hxx"
#include "eventhandler.hxx"

Metronome::Metronome(int samplerate)
    : clickLength(samplerate / 10), playPoint(clickLength + 1)
{
  barClick = new float[clickLength];
  beatClick = new float[clickLength];

  // 5529.04 = 880 x 6.283: the beat click at about 880 Hz, the bar click an octave up.
  const float step = (float)(5529.04 / samplerate);
  for (int i = 0; i < clickLength; i++) {
    beatClick[i] = sinf(i * step);
    barClick[i] = sinf(2 * i * step);
  }

  // Cubic fade over the first and last tenth, so neither end of a click snaps.
  const int m = (int)(clickLength / 10.0);
  for (int i = 0; i < m; i++) {
    const float x = (float)i / m;
    const float f = x * x * x;
    beatClick[i] *= f;
    barClick[i] *= f;
    beatClick[clickLength - 1 - i] *= f;
    barClick[clickLength - 1 - i] *= f;
  }
}

Metronome::~Metronome()
{
  delete[] barClick;
  delete[] beatClick;
}

void Metronome::setFpb(double f)
{
  fpb = f;
  stopClick();
}

void Metronome::bar()
{
  playPoint = 0;
  playBar = true;
}

void Metronome::beat()
{
  playPoint = 0;
  playBar = false;
}

void Metronome::setActive(bool a)
{
  active = a;
  stopClick();
}

void Metronome::setVolume(float v)
{
  if (!std::isfinite(v)) {
    dspPrint("Metronome: volume is not a number");
    return;
  }
  volume = v * 0.5f;
}

void Metronome::process(int nframes, Buffers* buffers)
{
  if (!active || nframes <= 0)
    return;
  const float* click = playBar ? barClick : beatClick;
  float* l = buffers->audio[Buffers::HEADPHONES_OUT_L];
  float* r = buffers->audio[Buffers::HEADPHONES_OUT_R];
  for (int i = 0; i < nframes && playPoint < clickLength; i++) {
    const float s = click[playPoint++] * volume;
    l[i] += s;
    r[i] += s;
  }
}
