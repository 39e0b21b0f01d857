#ifndef VESKO_TEST_WAVFILE_HXX
#define VESKO_TEST_WAVFILE_HXX

// Reading back what a test had written to disk.

#include <string>
#include <vector>

#include <sndfile.h>

// One channel of a sound file, or nothing when there is no such file.
inline std::vector<float> wavChannel(const std::string& path, int channel)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
    return {};
  std::vector<float> frames((size_t)info.frames * info.channels);
  sf_readf_float(f, frames.data(), info.frames);
  sf_close(f);
  std::vector<float> out;
  if (channel < 0 || channel >= info.channels)
    return out;
  for (sf_count_t i = 0; i < info.frames; i++)
    out.push_back(frames[(size_t)i * info.channels + channel]);
  return out;
}

#endif
