#ifndef VESKO_SESSIONRESCUE_HXX
#define VESKO_SESSIONRESCUE_HXX

#include <string>

class DiskWriter;

// What saves the performance when the JACK server dies under it. Once the engine can never
// run again, its clips are nobody else's: the interface takes their audio directly (no
// save protocol can run without the process thread), offers to save the session and writes
// it through the usual session writer. Interface thread only.
class SessionRescue
{
public:
  explicit SessionRescue(DiskWriter* writer);

  // From an interface timer, after the server went away. Waits (returns false) until the
  // engine has provably stopped; then takes what the engine sent last, asks whether to save
  // when any clip holds audio, and saves when asked. True once that is over; from then on
  // it does nothing.
  bool poll(const std::string& projectsDir);

  // Writes every clip that holds audio, and the session file, as session `name` in
  // `parent`: 0 or 2. Only once the engine has stopped.
  int save(const std::string& parent, const std::string& name);

  // Clips holding audio, once the engine has stopped.
  int clipsWithAudio() const;

private:
  DiskWriter* writer;
  bool finished = false;
};

#endif
