#include "dbmeter.hxx"

#include <cmath>

DBMeter::DBMeter(int rate) : samplerate(rate)
{
  int clamped = rate < 1 ? 1 : (rate > 192000 ? 192000 : rate);
  fallPerSample = 96.f / clamped;
}

float DBMeter::meterSample(float sample, float& level, float& falling, float& peak)
{
  float magnitude = std::fabs(sample);
  if (!(magnitude > 1.58489e-5f)) // also catches NaN
    magnitude = 1.58489e-5f;
  float db = 20.f * log10f(magnitude);
  if (db > 10.f)
    db = 10.f;
  falling -= fallPerSample;
  level = db > falling ? db : falling;
  falling = level;
  if (level > peak)
    peak = level;
  return level;
}

void DBMeter::process(int n, const float* left, const float* right)
{
  for (int i = 0; i < n; i++) {
    meterSample(left[i], levelL, fallingL, peakL);
    meterSample(right[i], levelR, fallingR, peakR);
  }
}

static float report(float& peak)
{
  float v = powf((peak / 96.f) + 1.f, 4.f);
  peak = -96.f;
  return v;
}

float DBMeter::getLeftDB() { return report(peakL); }
float DBMeter::getRightDB() { return report(peakR); }
