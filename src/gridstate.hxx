#ifndef VESKO_GRIDSTATE_HXX
#define VESKO_GRIDSTATE_HXX

// The states a clip can be in. The numbers travel in announcements and event records and
// are stored by nobody, but controller maps and the interface rely on them.
enum GridState {
  STATE_EMPTY = 0,
  STATE_PLAYING = 1,
  STATE_PLAY_QUEUED = 2,
  STATE_STOPPED = 3,
  STATE_STOP_QUEUED = 4,
  STATE_RECORDING = 5,
  STATE_RECORD_QUEUED = 6,
};

// Display names, indexed by state number.
inline const char* const GridStateNames[7] = {
  "Empty", "Playing", "Play queued", "Stopped", "Stop queued", "Recording", "Record queued",
};

#endif
