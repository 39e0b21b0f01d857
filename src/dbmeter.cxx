#include "dbmeter.hxx"

#include <cmath>

namespace
{
const float FLOOR_DB = -96.f;
const float FLOOR = 1.58489e-5f; // about -96 dB
const float CAP_DB = 10.f;
const float CAP = 3.1622777f; // +10 dB
} // namespace

DBMeter::DBMeter(int rate) : samplerate(rate)
{
  int clamped = rate < 1 ? 1 : (rate > 192000 ? 192000 : rate);
  fallPerSample = 96.f / clamped;
  fallFactor = std::pow(10.0, -fallPerSample / 20.0);
  left.threshold = right.threshold = FLOOR;
}

// Per sample: the display falls by fallPerSample dB, or jumps to the sample's level when
// that is higher (floored at -96 dB, capped at +10 dB); the peak keeps the highest level
// shown, which right after a report is the falling display itself. A sample below the
// display changes nothing, so it is compared as a magnitude and only a sample above it
// costs a logarithm.
void DBMeter::meter(int n, const float* samples, Channel& c)
{
  float level = c.level;
  double threshold = c.threshold;
  for (int i = 0; i < n; i++) {
    level -= fallPerSample;
    threshold *= fallFactor;
    float magnitude = std::fabs(samples[i]);
    if (magnitude > threshold) { // false for NaN too
      if (magnitude > CAP)
        magnitude = CAP;
      const float db = magnitude > FLOOR ? 20.f * log10f(magnitude) : FLOOR_DB;
      if (db > level) {
        level = db > CAP_DB ? CAP_DB : db;
        threshold = magnitude;
      }
    }
    if (level < FLOOR_DB) {
      level = FLOOR_DB;
      threshold = FLOOR;
    }
    if (level > c.peak)
      c.peak = level;
  }
  c.level = level;
  c.threshold = threshold;
}

void DBMeter::process(int n, const float* l, const float* r)
{
  meter(n, l, left);
  meter(n, r, right);
}

static float report(float& peak)
{
  float v = powf((peak / 96.f) + 1.f, 4.f);
  peak = -96.f;
  return v;
}

float DBMeter::getLeftDB() { return report(left.peak); }
float DBMeter::getRightDB() { return report(right.peak); }
