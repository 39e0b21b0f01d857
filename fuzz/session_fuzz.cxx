// The session file: any bytes as session.vesko, with one real clip file beside it.
#include <sndfile.h>

#include "diskreader.hxx"
#include "fileutil.hxx"
#include "fuzz_support.hxx"
#include "guistate.hxx"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzzSetUp();
  static std::string session = fuzzDir() + "/s.vesko";
  static bool once = [] {
    fileutil::makeDirectory(session);
    fileutil::makeDirectory(session + "/audio");
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open((session + "/audio/t_0_s_0.wav").c_str(), SFM_WRITE, &info);
    float frames[64] = {};
    sf_writef_float(f, frames, 32);
    sf_close(f);
    fileutil::writeFileAtomically(session + "/audio/audio.cfg", "{\"t_0_s_0.wav\": {\"beats\": 4}}");
    return true;
  }();
  (void)once;
  writeBytes(session + "/session.vesko", data, size);
  GuiState state;
  DiskReader reader(nullptr);
  reader.setState(&state);
  reader.setSamplerate(48000);
  reader.readSession(session);
  drainToEngine();
  return 0;
}
