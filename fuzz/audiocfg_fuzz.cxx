// audio.cfg beside a sample: any bytes, for a sample of a fixed name.
#include <sndfile.h>

#include "diskreader.hxx"
#include "fileutil.hxx"
#include "fuzz_support.hxx"
#include "guistate.hxx"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzzSetUp();
  static std::string dir = fuzzDir() + "/cfg";
  static bool once = [] {
    fileutil::makeDirectory(dir);
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open((dir + "/loop.wav").c_str(), SFM_WRITE, &info);
    short frames[64] = {};
    sf_writef_short(f, frames, 64);
    sf_close(f);
    return true;
  }();
  (void)once;
  writeBytes(dir + "/audio.cfg", data, size);
  GuiState state;
  DiskReader reader(nullptr);
  reader.setState(&state);
  reader.setSamplerate(48000);
  reader.loadSample(1, 1, dir + "/loop.wav");
  drainToEngine();
  return 0;
}
