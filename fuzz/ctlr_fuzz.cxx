// A controller map file: any bytes.
#include "controller/genericmidi.hxx"
#include "fuzz_support.hxx"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzzSetUp();
  const std::string path = fuzzDir() + "/fuzz.ctlr";
  writeBytes(path, data, size);
  GenericMIDI c(GenericMIDI::MapFile{path});
  // Feedback walks every output binding the map made; without ports nothing is written.
  c.setSceneState(0, 0, 1);
  c.launchScene(0);
  (void)c.getInputBindings();
  return 0;
}
