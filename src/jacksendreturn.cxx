#include "jacksendreturn.hxx"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "buffers.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"

JackSendReturn::JackSendReturn(int t, AudioProcessor* prev, jack_client_t* client)
    : track(t), previous(prev)
{
  char name[32];
  auto reg = [&](const char* format, unsigned long flags) {
    snprintf(name, sizeof(name), format, track + 1);
    return jack_port_register(client, name, JACK_DEFAULT_AUDIO_TYPE, flags, 0);
  };
  sendPortL = reg("Send_track_%d_l", JackPortIsOutput);
  sendPortR = reg("Send_track_%d_r", JackPortIsOutput);
  returnPortL = reg("Return_track_%d_l", JackPortIsInput);
  returnPortR = reg("Return_track_%d_r", JackPortIsInput);
}

void JackSendReturn::setActive(bool a) { active = a; }

void JackSendReturn::setSendVolume(float v)
{
  if (!std::isfinite(v)) {
    dspPrint("JackSendReturn: send is not a number");
    return;
  }
  sendVol = v;
}

void JackSendReturn::process(unsigned int nframes, Buffers* buffers)
{
  const unsigned period = (unsigned)buffers->nframes;
  const unsigned offset = period ? (unsigned)(framesProcessed % period) : 0;

  float* loopL = buffers->audio[Buffers::looperOutL(track)];
  float* loopR = buffers->audio[Buffers::looperOutR(track)];
  memset(loopL, 0, sizeof(float) * nframes);
  memset(loopR, 0, sizeof(float) * nframes);

  if (previous)
    previous->process(nframes, buffers);

  float* sendL = (float*)jack_port_get_buffer(sendPortL, period) + offset;
  float* sendR = (float*)jack_port_get_buffer(sendPortR, period) + offset;
  const float* retL = (const float*)jack_port_get_buffer(returnPortL, period) + offset;
  const float* retR = (const float*)jack_port_get_buffer(returnPortR, period) + offset;
  float* sigL = buffers->audio[Buffers::trackSignalL(track)];
  float* sigR = buffers->audio[Buffers::trackSignalR(track)];

  const float s = jack->smoothing();
  const float activeTarget = active ? 1.f : 0.f;
  for (unsigned i = 0; i < nframes; i++) {
    sendVolLag += (sendVol - sendVolLag) * s;
    sendL[i] = sendVolLag * loopL[i];
    sendR[i] = sendVolLag * loopR[i];
    activeLag += (activeTarget - activeLag) * s;
    sigL[i] = (1.f - activeLag) * loopL[i] + activeLag * retL[i];
    sigR[i] = (1.f - activeLag) * loopR[i] + activeLag * retR[i];
  }

  framesProcessed += nframes;
}

void JackSendReturn::silenceSends(unsigned int nframes)
{
  memset(jack_port_get_buffer(sendPortL, nframes), 0, sizeof(float) * nframes);
  memset(jack_port_get_buffer(sendPortR, nframes), 0, sizeof(float) * nframes);
}
