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
  float meterSample(float sample, float& level, float& falling, float& peak);

  float levelL = -96.f, fallingL = -96.f;
  float levelR = -96.f, fallingR = -96.f;
  int samplerate;
  float fallPerSample;
  float peakL = -96.f, peakR = -96.f;
};

#endif
