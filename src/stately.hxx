#ifndef VESKO_STATELY_HXX
#define VESKO_STATELY_HXX

#include <cstdint>

// A participant in session saves and resets: every clip. Made on the interface thread
// while the engine is being built (it registers with the engine's state manager at once);
// everything else runs on the JACK thread.
class Stately
{
public:
  Stately();
  // Interface thread: leaves the state manager's list (only test objects are ever
  // destroyed; the engine's clips live until the process ends).
  virtual ~Stately();

  virtual void reset() {}
  // Starts this participant's part of a save. It answers, now or in a later period, with
  // exactly one success() or error().
  virtual void save() {}
  // Copies at most `budget` frames of a save that is under way; returns how many it
  // copied. Called once per period while a save runs, so that no period copies more than
  // its budget however long the clips are.
  virtual int64_t continueSave(int64_t budget) { return 0; }

  // A participant's answer; the last answer of a save finishes it.
  static void success();
  static void error(const char* message);

  static int getSaveSuccess() { return saveSuccess; }
  static int getSaveErrors() { return saveErrors; }

private:
  friend class StateManager;
  static void checkCompletion();

  static int saveSuccess;
  static int saveErrors;
};

#endif
