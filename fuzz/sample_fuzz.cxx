// Sample files through the loader: any bytes as the sound file (with beats given).
#include "diskreader.hxx"
#include "fileutil.hxx"
#include "fuzz_support.hxx"
#include "guistate.hxx"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzzSetUp();
  static std::string dir = fuzzDir() + "/sample";
  static bool once = [] {
    fileutil::makeDirectory(dir);
    fileutil::writeFileAtomically(dir + "/audio.cfg", "{\"in.wav\": {\"beats\": 2}}");
    return true;
  }();
  (void)once;
  writeBytes(dir + "/in.wav", data, size);
  GuiState state;
  DiskReader reader(nullptr);
  reader.setState(&state);
  reader.setSamplerate(48000);
  reader.loadSample(0, 0, dir + "/in.wav");
  drainToEngine();
  return 0;
}
