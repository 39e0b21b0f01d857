#include "jack.hxx"

#include <cstdio>
#include <cstring>

#include "controller/veskogui.hxx"
#include "controllerupdater.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "gridlogic.hxx"
#include "gui.hxx"
#include "jacksendreturn.hxx"
#include "logger.hxx"
#include "logic.hxx"
#include "looper.hxx"
#include "metronome.hxx"
#include "observer/midi.hxx"
#include "statemanager.hxx"
#include "timemanager.hxx"
#include "trackoutput.hxx"

Jack* jack = nullptr;
bool Jack::perTrackOutputs = false;

static const char* const AUDIO_TYPE = JACK_DEFAULT_AUDIO_TYPE;

bool Jack::setup(const std::string& name)
{
  if (jack) {
    VESKO_WARN("JACK instance already exists!");
    return true;
  }
  // No automatic server start: a server started behind the user's back with unknown
  // settings is worse on stage than a clear message.
  jack_status_t status;
  // libjack's own lines about a missing server would bury the one line that matters.
  jack_set_error_function([](const char*) {});
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  jack_set_error_function([](const char* msg) { fprintf(stderr, "JACK: %s\n", msg); });
  if (!client) {
    const char* server = getenv("JACK_DEFAULT_SERVER");
    VESKO_ERROR("Cannot reach the JACK server \"%s\" (status 0x%x). Start one first, for "
                "example \"jackd -d alsa\" for a sound card or \"jackd -d dummy\" without one, "
                "or use scripts/run.sh, which starts one for you.",
                server && *server ? server : "default", (unsigned)status);
    return false;
  }
  new Jack(name, client);
  // A port can be refused by a full server or by one that is going away while the engine
  // is built; either way the window stays, and the process callback never runs on the
  // missing port (it looks at the flag, set before activation).
  if (jack->portRefused)
    VESKO_ERROR("The JACK server refused some of Vesko's ports (too many ports on it, or it "
                "is going away): audio stays off.");
  jack_activate(jack->client);
  return true;
}

Jack::Jack(const std::string& name, jack_client_t* c) : client(c)
{
  // The state manager is made first, then the controller updater; the objects made after
  // them find the engine through the global pointer.
  stateManager = new StateManager();
  controllerUpdater = new ControllerUpdater();
  jack = this;

  samplerate = jack_get_sample_rate(client);
  smoothingValue = (44100.f / samplerate) * 0.005f;

  // The metronome and the grid logic register with the time manager as they are built.
  timeManager = new TimeManager(samplerate);
  metronome = new Metronome(samplerate);
  logic = new Logic();
  gridLogic = new GridLogic();

  resetLearnRecord();

  buffersize = jack_get_buffer_size(client);
  samplerate = jack_get_sample_rate(client);
  buffers.nframes = buffersize;
  EventSamplerate es(samplerate);
  writeToGuiRingbuffer(&es);
  uiUpdateConstant = samplerate / 30;
  uiUpdateCounter = samplerate / 30;

  // Before any port exists: whoever sees the client's ports may stop the server, and the
  // loss must be noticed from then on.
  jack_on_info_shutdown(client, static_shutdown, this);

  auto reg = [this](const char* portName, unsigned long flags) {
    jack_port_t* port = jack_port_register(client, portName, AUDIO_TYPE, flags, 0);
    if (!port)
      portRefused = true;
    return port;
  };
  masterInputL = reg("master_in_left", JackPortIsInput);
  masterInputR = reg("master_in_right", JackPortIsInput);
  masterReturnL = reg("master_return_left", JackPortIsInput);
  masterReturnR = reg("master_return_right", JackPortIsInput);
  masterOutputL = reg("master_left", JackPortIsOutput);
  masterOutputR = reg("master_right", JackPortIsOutput);
  headphonesPortL = reg("headphone_out_l", JackPortIsOutput);
  headphonesPortR = reg("headphone_out_r", JackPortIsOutput);
  sendOutputL = reg("send_out_l", JackPortIsOutput);
  sendOutputR = reg("send_out_r", JackPortIsOutput);
  sidechainKeyOutputL = reg("sidechain_key_l", JackPortIsOutput);
  sidechainKeyOutputR = reg("sidechain_key_r", JackPortIsOutput);
  sidechainSignalOutputL = reg("sidechain_signal_l", JackPortIsOutput);
  sidechainSignalOutputR = reg("sidechain_signal_r", JackPortIsOutput);

  for (int b = Buffers::MIX_L; b < Buffers::BUFFER_COUNT; b++)
    buffers.audio[b] = new float[buffersize]();

  for (int t = 0; t < NTRACKS; t++) {
    loopers[t] = new Looper(t);
    jackSendReturns[t] = new JackSendReturn(t, loopers[t], client);
    if (!jackSendReturns[t]->portsRegistered())
      portRefused = true;
    trackOutputs[t] = new TrackOutput(t, jackSendReturns[t]);
    // A second registration: the first, from the observer base, could not hand the
    // fully built looper the starting tempo.
    timeManager->registerObserver(loopers[t]);
    if (perTrackOutputs) {
      char portName[32];
      snprintf(portName, sizeof(portName), "track_%d_l", t + 1);
      trackJackOutputPorts[2 * t] = reg(portName, JackPortIsOutput);
      snprintf(portName, sizeof(portName), "track_%d_r", t + 1);
      trackJackOutputPorts[2 * t + 1] = reg(portName, JackPortIsOutput);
    }
  }

  inputMeter = new DBMeter(samplerate);
  masterMeter = new DBMeter(samplerate);

  if (jack_set_process_callback(client, static_process, this))
    VESKO_ERROR("%s", "Error setting process callback");
  // Always take over as timebase master: the engine owns musical time.
  if (jack_set_timebase_callback(client, 0, static_timebase, this))
    VESKO_ERROR("%s", "Error setting timebase callback");

  // The window's controller comes first, so it has ID 0 and hears every announcement
  // before any MIDI controller. The MIDI controllers of the preferences follow it.
  controllerUpdater->registerController(new VeskoGUI());
  if (gui)
    gui->loadSetupControllers();
  (void)name;
}

void Jack::quit()
{
  if (client && !serverShutdown.load())
    jack_client_close(client);
  client = nullptr;
  VESKO_NOTE("Quit JACK.");
}

int Jack::getBufferSize() { return client ? (int)jack_get_buffer_size(client) : buffersize; }

void Jack::transportRolling(bool rolling)
{
  if (!client)
    return;
  if (rolling)
    jack_transport_start(client);
  else
    jack_transport_stop(client);
}

Looper* Jack::getLooper(unsigned int track) { return track < NTRACKS ? loopers[track] : nullptr; }

TrackOutput* Jack::getTrackOutput(unsigned int track)
{
  return track < NTRACKS ? trackOutputs[track] : nullptr;
}

JackSendReturn* Jack::getJackSendReturn(unsigned int track)
{
  return track < NTRACKS ? jackSendReturns[track] : nullptr;
}

void Jack::inputTo(int place, float value)
{
  switch (place) {
  case 0: inputToSendVol = value; break;
  case 1: inputToMixVol = value; break;
  case 2: inputToXSideVol = value; break;
  default: break;
  }
}

void Jack::inputToActive(int place, bool active)
{
  switch (place) {
  case 0: inputToSend = active; break;
  case 1: inputToMix = active; break;
  case 3: inputToKey = active; break;
  default: break;
  }
}

void Jack::resetLearnRecord()
{
  learnEnable = false;
  learnType = 0;
  learnTrack = -2;
  learnScene = -1;
  learnSend = -1;
  learnActive = 1;
}

void Jack::registerMidiIO(MidiIO* mo)
{
  if (!mo || mo->listed.load(std::memory_order_relaxed))
    return;
  if (midiIOUsed == MAX_MIDI_IO) {
    dspPrint("No room for the MIDI ports of %s", mo->getName());
    return;
  }
  midiIO[midiIOUsed++] = mo;
  mo->listed.store(true, std::memory_order_release);
  mo->clearMidiOut(buffers.nframes);
}

void Jack::unregisterMidiIO(MidiIO* mo)
{
  for (int i = 0; i < midiIOUsed; i++) {
    if (midiIO[i] != mo)
      continue;
    dspPrint("Jack::unregisterMidiIO() removing mo at %d", i);
    for (int j = i; j + 1 < midiIOUsed; j++)
      midiIO[j] = midiIO[j + 1];
    midiIO[--midiIOUsed] = nullptr;
    mo->listed.store(false, std::memory_order_release);
    return;
  }
}

void Jack::fetchPortBuffers(jack_nframes_t nframes)
{
  float** a = buffers.audio;
  a[Buffers::MASTER_INPUT_L] = (float*)jack_port_get_buffer(masterInputL, nframes);
  a[Buffers::MASTER_INPUT_R] = (float*)jack_port_get_buffer(masterInputR, nframes);
  a[Buffers::MASTER_RETURN_L] = (float*)jack_port_get_buffer(masterReturnL, nframes);
  a[Buffers::MASTER_RETURN_R] = (float*)jack_port_get_buffer(masterReturnR, nframes);
  a[Buffers::MASTER_OUT_L] = (float*)jack_port_get_buffer(masterOutputL, nframes);
  a[Buffers::MASTER_OUT_R] = (float*)jack_port_get_buffer(masterOutputR, nframes);
  a[Buffers::HEADPHONES_OUT_L] = (float*)jack_port_get_buffer(headphonesPortL, nframes);
  a[Buffers::HEADPHONES_OUT_R] = (float*)jack_port_get_buffer(headphonesPortR, nframes);
  a[Buffers::SEND_L] = (float*)jack_port_get_buffer(sendOutputL, nframes);
  a[Buffers::SEND_R] = (float*)jack_port_get_buffer(sendOutputR, nframes);
  a[Buffers::SIDECHAIN_KEY_L] = (float*)jack_port_get_buffer(sidechainKeyOutputL, nframes);
  a[Buffers::SIDECHAIN_KEY_R] = (float*)jack_port_get_buffer(sidechainKeyOutputR, nframes);
  a[Buffers::SIDECHAIN_SIGNAL_L] = (float*)jack_port_get_buffer(sidechainSignalOutputL, nframes);
  a[Buffers::SIDECHAIN_SIGNAL_R] = (float*)jack_port_get_buffer(sidechainSignalOutputR, nframes);
  if (perTrackOutputs)
    for (int i = 0; i < 2 * NTRACKS; i++)
      a[Buffers::JACK_TRACK_0_L + i] = (float*)jack_port_get_buffer(trackJackOutputPorts[i], nframes);
}

int Jack::process(jack_nframes_t nframes)
{
  fetchPortBuffers(nframes);

  const size_t bytes = sizeof(float) * nframes;
  float** a = buffers.audio;
  memset(a[Buffers::MASTER_OUT_L], 0, bytes);
  memset(a[Buffers::MASTER_OUT_R], 0, bytes);
  memset(a[Buffers::MIX_L], 0, bytes);
  memset(a[Buffers::MIX_R], 0, bytes);
  memset(a[Buffers::HEADPHONES_OUT_L], 0, bytes);
  memset(a[Buffers::HEADPHONES_OUT_R], 0, bytes);
  // Overwritten while the transport rolls; silent, not last period's audio, when stopped.
  for (int b = Buffers::SEND_L; b <= Buffers::SIDECHAIN_SIGNAL_R; b++)
    memset(a[b], 0, bytes);
  for (int b = Buffers::SEND_ACC_L; b <= Buffers::SIGNAL_ACC_R; b++)
    memset(a[b], 0, bytes);
  if (perTrackOutputs)
    for (int i = 0; i < 2 * NTRACKS; i++)
      memset(a[Buffers::JACK_TRACK_0_L + i], 0, bytes);

  for (int i = 0; i < midiIOUsed; i++)
    midiIO[i]->clearMidiOut(nframes);

  handleDspEvents();
  if (!client) // an EventQuit closed the client
    return 0;
  // Save copies go on whether or not the transport rolls.
  stateManager->process(nframes);

  if (!timeManager->rolling()) {
    // Nothing but the event drain runs while stopped; the track sends stay silent too.
    for (int t = 0; t < NTRACKS; t++)
      jackSendReturns[t]->silenceSends(nframes);
    return 0;
  }
  // Musical time decides how the period is cut.
  timeManager->process(&buffers);
  return 0;
}

void Jack::processFrames(int nframes)
{
  if (nframes < 0) {
    dspPrint("Jack processFrames got nframes < 0");
    return;
  }

  // MIDI input is read once per period, on its first piece.
  if (frameOffset == 0)
    for (int i = 0; i < midiIOUsed; i++)
      midiIO[i]->processMidiIn(buffers.nframes);

  float** a = buffers.audio;
  const float s = smoothingValue;
  // The input gain is applied here, once: recording clips and the monitored input both
  // take this scaled copy, however many clips record.
  for (int i = 0; i < nframes; i++) {
    inputVolLag += (inputVol - inputVolLag) * s;
    a[Buffers::INPUT_GAINED_L][i] = a[Buffers::MASTER_INPUT_L][i] * inputVolLag;
    a[Buffers::INPUT_GAINED_R][i] = a[Buffers::MASTER_INPUT_R][i] * inputVolLag;
  }

  // Each track output runs its send/return and looper first; all add into the buses.
  for (int t = 0; t < NTRACKS; t++)
    trackOutputs[t]->process(nframes, &buffers);
  metronome->process(nframes, &buffers);

  for (int i = 0; i < nframes; i++) {
    masterVolLag += (masterVol - masterVolLag) * s;
    returnVolLag += (returnVol - returnVolLag) * s;
    inputToMixVolLag += (inputToMixVol - inputToMixVolLag) * s;
    inputToSendVolLag += (inputToSendVol - inputToSendVolLag) * s;
    inputToXSideVolLag += (inputToXSideVol - inputToXSideVolLag) * s;
    inputToKeyLag += ((inputToKey ? 1.f : 0.f) - inputToKeyLag) * s;
    inputToMixLag += ((inputToMix ? 1.f : 0.f) - inputToMixLag) * s;
    inputToSendLag += ((inputToSend ? 1.f : 0.f) - inputToSendLag) * s;

    const float inL = a[Buffers::INPUT_GAINED_L][i];
    const float inR = a[Buffers::INPUT_GAINED_R][i];

    const float toMix = inputToMixVolLag * inputToMixLag;
    const float mixL = a[Buffers::MIX_L][i] + toMix * (1.f - inputToXSideVolLag) * inL;
    const float mixR = a[Buffers::MIX_R][i] + toMix * (1.f - inputToXSideVolLag) * inR;

    const float toSend = inputToSendVolLag * toMix * inputToSendLag;
    a[Buffers::SEND_ACC_L][i] += toSend * inL;
    a[Buffers::SEND_ACC_R][i] += toSend * inR;
    a[Buffers::KEY_ACC_L][i] += inputToKeyLag * inL;
    a[Buffers::KEY_ACC_R][i] += inputToKeyLag * inR;
    a[Buffers::SIGNAL_ACC_L][i] += inputToXSideVolLag * inL;
    a[Buffers::SIGNAL_ACC_R][i] += inputToXSideVolLag * inR;

    a[Buffers::MASTER_OUT_L][i] = (a[Buffers::MASTER_RETURN_L][i] * returnVolLag + mixL) * masterVolLag;
    a[Buffers::MASTER_OUT_R][i] = (a[Buffers::MASTER_RETURN_R][i] * returnVolLag + mixR) * masterVolLag;

    a[Buffers::SEND_L][i] = a[Buffers::SEND_ACC_L][i];
    a[Buffers::SEND_R][i] = a[Buffers::SEND_ACC_R][i];
    a[Buffers::SIDECHAIN_KEY_L][i] = a[Buffers::KEY_ACC_L][i];
    a[Buffers::SIDECHAIN_KEY_R][i] = a[Buffers::KEY_ACC_R][i];
    a[Buffers::SIDECHAIN_SIGNAL_L][i] = a[Buffers::SIGNAL_ACC_L][i];
    a[Buffers::SIDECHAIN_SIGNAL_R][i] = a[Buffers::SIGNAL_ACC_R][i];
  }

  inputMeter->process(nframes, a[Buffers::MASTER_INPUT_L], a[Buffers::MASTER_INPUT_R]);
  masterMeter->process(nframes, a[Buffers::MASTER_OUT_L], a[Buffers::MASTER_OUT_R]);

  if (uiUpdateCounter > uiUpdateConstant) {
    reportLevels();
    uiUpdateCounter = 0;
  }
  uiUpdateCounter += nframes;

  if (frameOffset + nframes >= buffers.nframes) {
    frameOffset = 0;
  } else {
    frameOffset += nframes;
    advancePortBuffers(nframes);
  }
}

void Jack::reportLevels()
{
  EventTrackSignalLevel out(-1, masterMeter->getLeftDB(), masterMeter->getRightDB());
  writeToGuiRingbuffer(&out);
  EventTrackSignalLevel in(-2, inputMeter->getLeftDB() * inputVolLag,
                           inputMeter->getRightDB() * inputVolLag);
  writeToGuiRingbuffer(&in);
}

void Jack::advancePortBuffers(int n)
{
  const int end = perTrackOutputs ? Buffers::PORT_BUFFERS_END : Buffers::JACK_TRACK_0_L;
  for (int b = 0; b < end; b++)
    buffers.audio[b] += n;
}

void Jack::clearScratch(int n)
{
  const size_t bytes = sizeof(float) * n;
  for (int b = Buffers::MIX_L; b < Buffers::BUFFER_COUNT; b++)
    memset(buffers.audio[b], 0, bytes);
}

// A server killed mid-period may leave the JACK thread inside a callback while its
// shutdown notice already runs on another thread, and libjack promises nothing about a
// callback after it. So the engine fences itself off: each callback counts itself running
// and only then looks at the shutdown flag; the interface reads the flag and only then the
// count (all sequentially consistent). Either the interface sees a callback still running,
// or that callback sees the flag and leaves without touching the engine.
bool Jack::enterCallback()
{
  callbacksRunning.fetch_add(1);
  if (serverShutdown.load()) {
    callbacksRunning.fetch_sub(1);
    return false;
  }
  return true;
}

bool Jack::processStopped() const { return serverShutdown.load() && callbacksRunning.load() == 0; }

int Jack::static_process(jack_nframes_t nframes, void* instance)
{
  Jack* self = static_cast<Jack*>(instance);
  if (self->portRefused || !self->enterCallback())
    return 0;
  int r = self->process(nframes);
  self->leaveCallback();
  return r;
}

void Jack::static_timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* pos,
                           int, void* instance)
{
  Jack* self = static_cast<Jack*>(instance);
  if (!self->enterCallback())
    return;
  // JACK guarantees the record only during this call: fill it here, from the state the
  // last process callback left, rather than keep the pointer.
  self->timeManager->writePosition(pos);
  self->leaveCallback();
}

void Jack::static_shutdown(jack_status_t, const char* reason, void* instance)
{
  // Only record it: the interface thread reports it and decides what to do.
  Jack* self = static_cast<Jack*>(instance);
  snprintf(self->shutdownReason, sizeof(self->shutdownReason), "%s", reason ? reason : "");
  self->serverShutdown.store(true);
}
