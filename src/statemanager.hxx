#ifndef VESKO_STATEMANAGER_HXX
#define VESKO_STATEMANAGER_HXX

#include <vector>

class Stately;

// Broadcasts a save or a reset to every participant (the 80 clips) and notices when the
// last one has answered a save. Registration happens on the interface thread while the
// engine is built; everything else on the JACK thread.
class StateManager
{
public:
  // Frames of clip audio that all saves together may copy per frame of the period: the
  // copies of a long session are spread over many periods, each bounded.
  static const int SAVE_COPY_FRAMES_PER_FRAME = 512;

  StateManager();

  void registerStately(Stately* s);
  void unregisterStately(Stately* s);
  int count() const { return (int)statelys.size(); }

  // Asks every participant to save. Refused while an earlier save is still unanswered:
  // the two would share the answer counts and neither could tell when it is done.
  void save();
  // Empties every participant, then the grid logic shows every clip's state.
  void reset();

  // Once per period, whether or not the transport rolls: lets the save copies go on.
  void process(int nframes);

  bool saving() const { return saveInProgress; }
  // From the completion check: every participant has answered. The save ends when the
  // interface has been told, at once or, when its queue is full, in a later period.
  void allAnswered();

private:
  void finish();

  std::vector<Stately*> statelys;
  bool saveInProgress = false;
  bool finishPending = false;
};

#endif
