#ifndef VESKO_DISKREADER_HXX
#define VESKO_DISKREADER_HXX

#include "preferences.hxx"

class DiskWriter;

// Reads what the interface keeps on disk: the preferences (sessions and samples arrive
// later). Interface thread only.
class DiskReader
{
public:
  explicit DiskReader(DiskWriter* writer) : writer(writer) {}

  // Reads the preferences file into prefs and sends the metronome settings to the engine.
  // A missing file gets the defaults written (and applied); returns 0, or 2 for a file that
  // is not valid JSON, in which case nothing is applied.
  int loadPreferences(Preferences& prefs);

  int getResampleQuality() const { return resampleQuality; }

private:
  DiskWriter* writer;
  int resampleQuality = 1;
};

#endif
