#include "trackoutput.hxx"

#include <cmath>
#include <cstring>

#include "buffers.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"

namespace
{
bool usable(float v, const char* what)
{
  if (std::isfinite(v))
    return true;
  dspPrint("TrackOutput: %s is not a number", what);
  return false;
}
} // namespace

TrackOutput::TrackOutput(int t, AudioProcessor* prev)
    : track(t), previous(prev), uiUpdateCounter(jack->getSamplerate() / 30),
      uiUpdateConstant(jack->getSamplerate() / 30), meter(jack->getSamplerate())
{
}

void TrackOutput::setMaster(float v)
{
  if (!usable(v, "volume"))
    return;
  volume = v < 0.01f ? 0.f : v;
}

void TrackOutput::setPan(float p)
{
  if (!usable(p, "pan"))
    return;
  panL = p > 0.f ? 1.f - p : 1.f;
  panR = p <= 0.f ? 1.f + p : 1.f;
}

void TrackOutput::setSend(int which, float v)
{
  if (!usable(v, "send"))
    return;
  if (which == 0)
    send = v;
  else if (which == 2)
    xfade = v;
}

void TrackOutput::setSendActive(int which, bool on)
{
  if (which == 0)
    sendActive = on;
  else if (which == 1)
    keyActive = on;
}

void TrackOutput::process(unsigned int nframes, Buffers* buffers)
{
  const float s = jack->smoothing();
  volumeLag += (volume - volumeLag) * s;

  float** a = buffers->audio;
  float* sigL = a[Buffers::trackSignalL(track)];
  float* sigR = a[Buffers::trackSignalR(track)];
  memset(sigL, 0, sizeof(float) * nframes);
  memset(sigR, 0, sizeof(float) * nframes);

  if (previous)
    previous->process(nframes, buffers);

  meter.process((int)nframes, sigL, sigR);

  if (uiUpdateCounter > uiUpdateConstant) {
    EventTrackSignalLevel e(track, meter.getLeftDB() * volumeLag, meter.getRightDB() * volumeLag);
    writeToGuiRingbuffer(&e);
    uiUpdateCounter = 0;
  }
  uiUpdateCounter += nframes;

  float* mixL = a[Buffers::MIX_L];
  float* mixR = a[Buffers::MIX_R];
  float* sendAccL = a[Buffers::SEND_ACC_L];
  float* sendAccR = a[Buffers::SEND_ACC_R];
  float* keyAccL = a[Buffers::KEY_ACC_L];
  float* keyAccR = a[Buffers::KEY_ACC_R];
  float* sigAccL = a[Buffers::SIGNAL_ACC_L];
  float* sigAccR = a[Buffers::SIGNAL_ACC_R];
  // Null unless per-track outputs are enabled.
  float* directL = a[Buffers::jackTrackL(track)];
  float* directR = a[Buffers::jackTrackR(track)];

  const float sendOn = sendActive ? 1.f : 0.f;
  const float keyOn = keyActive ? 1.f : 0.f;
  for (unsigned i = 0; i < nframes; i++) {
    volumeLag += (volume - volumeLag) * s;
    panLLag += (panL - panLLag) * s;
    panRLag += (panR - panRLag) * s;
    sendLag += (send - sendLag) * s;
    xfadeLag += (xfade - xfadeLag) * s;
    sendActiveLag += (sendOn - sendActiveLag) * s;
    keyActiveLag += (keyOn - keyActiveLag) * s;

    const float l = sigL[i] * volumeLag;
    const float r = sigR[i] * volumeLag;
    const float toMix = 1.f - xfadeLag;
    mixL[i] += toMix * l * panLLag;
    mixR[i] += toMix * r * panRLag;
    if (directL) {
      directL[i] = toMix * l;
      directR[i] = toMix * r;
    }
    sendAccL[i] += sendLag * l * sendActiveLag;
    sendAccR[i] += sendLag * r * sendActiveLag;
    sigAccL[i] += xfadeLag * l;
    sigAccR[i] += xfadeLag * r;
    // The key is taken before the fader.
    keyAccL[i] += sigL[i] * keyActiveLag;
    keyAccR[i] += sigR[i] * keyActiveLag;
  }
}
