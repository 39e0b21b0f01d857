#include "timemanager.hxx"

#include <climits>
#include <cmath>

#include "buffers.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "timeobserver.hxx"

namespace
{
// Integer part for a message; a nonsense value must not be undefined behaviour.
int messageInt(double v)
{
  if (!(v > (double)INT_MIN && v < (double)INT_MAX))
    return v > 0 ? INT_MAX : INT_MIN;
  return (int)v;
}

const float TICKS_PER_BEAT = 1920.f;
} // namespace

TimeManager::TimeManager(int rate) : samplerate(rate), fpb(rate / 2) {}

int TimeManager::wholeBpm(double bpm) { return messageInt(bpm + 1e-6); }

int64_t TimeManager::beatFrame(int beat) const
{
  return gridOrigin + (int64_t)std::floor(beat * fpb);
}

void TimeManager::setBpm(float bpm) { queueFpb(samplerate * 60.0 / bpm); }

void TimeManager::setBpmZeroOne(float zeroOne) { setBpm(zeroOne * 160.f + 60.f); }

void TimeManager::queueFpb(double f)
{
  const float bpm = (float)((double)((float)samplerate * 60.0f) / f);
  // Written so that NaN fails too.
  if (!(bpm >= 60.0f && bpm <= 220.0f)) {
    dspPrint("drop TM::qfpb() %d bpm = %d", messageInt(f), messageInt(bpm));
    return;
  }
  queuedFpb = f;
  fpbChangeQueued = true;
}

void TimeManager::setFpb(double f)
{
  barCounter = 0;
  beatCounter = 0;
  beatCountdown = -1;
  gridOrigin = totalFrames + pieceOffset;
  fpb = f;

  const double bpm = (samplerate * 60) / fpb;
  dspPrint("TM, setFpb() %i, bpm = %i", messageInt(fpb), wholeBpm(bpm));
  EventTimeBPM e((float)wholeBpm(bpm));
  writeToGuiRingbuffer(&e);

  for (int i = 0; i < observerCount; i++)
    observers[i]->setFpb(fpb);
}

void TimeManager::registerObserver(TimeObserver* o)
{
  if (observerCount >= MAX_OBSERVERS) {
    VESKO_ERROR("No room for another time observer (%d)", MAX_OBSERVERS);
    return;
  }
  observers[observerCount++] = o;
  o->setFpb(fpb);
  EventTimeBPM e((float)wholeBpm(samplerate * 60.0 / fpb));
  writeToGuiRingbuffer(&e);
}

void TimeManager::tap()
{
  const int64_t now = totalFrames;
  if (tapTimes[0] < now - 5 * (int64_t)samplerate)
    tapCount = 0;

  if (tapCount < 3) {
    tapTimes[tapCount++] = now;
    return;
  }

  const int d = (int)(now - tapTimes[0]);
  if (d <= 38999) {
    // Keep the taps: a later fourth tap can still complete the measurement.
    dspPrint("TM, tap() average too slow! quitting");
    return;
  }
  const unsigned average = (unsigned)d / 3;
  dspPrint("TM, tap() average = %i", (int)average);
  queueFpb(average);
  tapCount = 0;
}

void TimeManager::setTransportState(int state)
{
  rollingState = state;
  if (state) {
    if (jack)
      jack->transportRolling(true);
    barCounter = 0;
    beatCounter = 0;
    beatCountdown = -1;
    gridOrigin = totalFrames;
    for (int i = 0; i < observerCount; i++)
      observers[i]->transportRestart();
  } else if (jack) {
    jack->transportRolling(false);
  }
}

void TimeManager::process(Buffers* buffers)
{
  if (!rollingState)
    return;

  const int n = buffers->nframes;
  if (beatCountdown < n) {
    // The beat lies on the grid, at this frame of the period.
    int64_t at = beatCountdown < 0 ? 0 : beatCountdown;
    int before = (int)at;
    int after = n - before;
    if (n < 0 || before < 0 || after < 0) {
      dspPrint("Timing Error: before: %i, after %i", before, after);
      // Never hand the engine more frames than the period holds.
      before = before < 0 ? 0 : (before > n ? n : before);
      after = n - before;
    }

    if (before)
      jack->processFrames(before);

    for (int i = 0; i < observerCount; i++)
      observers[i]->beat();

    if (beatCounter % 4 == 0) {
      for (int i = 0; i < observerCount; i++)
        observers[i]->bar();
      barCounter++;
      if (fpbChangeQueued) {
        pieceOffset = before;
        setFpb(queuedFpb);
        pieceOffset = 0;
        fpbChangeQueued = false;
      }
    }

    jack->clearScratch(n);
    jack->processFrames(after);

    EventTimeBarBeat e(barCounter, beatCounter);
    writeToGuiRingbuffer(&e);

    beatCounter++;
    beatCountdown = beatFrame(beatCounter) - (totalFrames + n);
  } else {
    jack->processFrames(n);
    beatCountdown -= n;
  }

  totalFrames += n;
}

void TimeManager::writePosition(jack_position_t* pos) const
{
  // Describes the first frame of the next period. A beat due exactly there is that beat
  // at tick 0; otherwise the period lies in the beat passed last, beatCounter - 1.
  int beatIndex = beatCounter;
  int tick = 0;
  if (beatCountdown > 0 && beatCounter > 0) {
    beatIndex = beatCounter - 1;
    const float r = (float)(fpb - beatCountdown) / (float)fpb;
    tick = r >= 1.0f ? (int)TICKS_PER_BEAT - 1 : (int)(r * TICKS_PER_BEAT);
    if (tick < 0)
      tick = 0;
  }

  pos->valid = (jack_position_bits_t)(JackPositionBBT | 0x02);
  pos->bar = beatIndex / 4 + 1;
  pos->beat = beatIndex % 4 + 1;
  pos->tick = tick;
  pos->frame = (jack_nframes_t)totalFrames;
  pos->ticks_per_beat = TICKS_PER_BEAT;
  pos->beats_per_bar = 4.0f;
  pos->beat_type = 4.0f;
  pos->beats_per_minute = wholeBpm(samplerate * 60.0 / fpb);
}
