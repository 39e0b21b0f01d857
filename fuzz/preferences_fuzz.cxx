// The preferences file: any bytes.
#include "diskreader.hxx"
#include "diskwriter.hxx"
#include "fuzz_support.hxx"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzzSetUp();
  static DiskWriter writer; // makes the configuration directories once
  if (size == 0)
    return 0; // an empty file is replaced by the defaults: not a reader path
  writeBytes(veskoPreferencesPath(), data, size);
  DiskReader reader(&writer);
  Preferences prefs;
  reader.loadPreferences(prefs);
  drainToEngine();
  return 0;
}
