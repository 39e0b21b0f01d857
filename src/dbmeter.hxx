#ifndef VESKO_DBMETER_HXX
#define VESKO_DBMETER_HXX

// Stereo peak meter with a falling display. Runs on the JACK thread; no allocation.
class DBMeter
{
public:
  explicit DBMeter(int samplerate);

  // Meters n samples of each channel.
  void process(int n, const float* left, const float* right);

  // Report values ((peak dB / 96) + 1)^4 since the last report; resets the peaks.
  float getLeftDB();
  float getRightDB();

private:
  // One channel's falling display: its level in dB, and the same level as a magnitude,
  // so that only a sample rising above the display costs a logarithm.
  struct Channel {
    float level = -96.f;
    double threshold;
    float peak = -96.f;
  };
  void meter(int n, const float* samples, Channel& c);

  int samplerate;
  float fallPerSample;
  // The magnitude factor of one sample's fall.
  double fallFactor;
  Channel left, right;
};

#endif
