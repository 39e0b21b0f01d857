#ifndef VESKO_BUFFERS_HXX
#define VESKO_BUFFERS_HXX

#include "config.hxx"

// The buffers every processing unit sees during one piece of a period. The port buffers
// are fetched anew each period and advanced between the pieces of a split period; the
// scratch buses are the engine's own and every piece uses them from sample 0.
class Buffers
{
public:
  enum BufferIndex {
    // Port buffers, in port registration order.
    MASTER_INPUT_L = 0,
    MASTER_INPUT_R,
    MASTER_RETURN_L,
    MASTER_RETURN_R,
    MASTER_OUT_L,
    MASTER_OUT_R,
    HEADPHONES_OUT_L,
    HEADPHONES_OUT_R,
    SEND_L,
    SEND_R,
    SIDECHAIN_KEY_L,
    SIDECHAIN_KEY_R,
    SIDECHAIN_SIGNAL_L,
    SIDECHAIN_SIGNAL_R,
    // Per-track direct outputs, null unless enabled: JACK_TRACK_0_L + 2 * track (+1 for R).
    JACK_TRACK_0_L,
    PORT_BUFFERS_END = JACK_TRACK_0_L + 2 * NTRACKS,

    // Scratch buses owned by the engine.
    MIX_L = PORT_BUFFERS_END,
    MIX_R,
    SEND_ACC_L,
    SEND_ACC_R,
    KEY_ACC_L,
    KEY_ACC_R,
    SIGNAL_ACC_L,
    SIGNAL_ACC_R,
    // The master input times the input gain, for recording and monitoring alike.
    INPUT_GAINED_L,
    INPUT_GAINED_R,
    // What each track's looper plays: LOOPER_OUT_0_L + 2 * track.
    LOOPER_OUT_0_L,
    // Each track's signal after its send/return: TRACK_SIGNAL_0_L + 2 * track.
    TRACK_SIGNAL_0_L = LOOPER_OUT_0_L + 2 * NTRACKS,
    BUFFER_COUNT = TRACK_SIGNAL_0_L + 2 * NTRACKS,
  };

  static constexpr int jackTrackL(int t) { return JACK_TRACK_0_L + 2 * t; }
  static constexpr int jackTrackR(int t) { return JACK_TRACK_0_L + 2 * t + 1; }
  static constexpr int looperOutL(int t) { return LOOPER_OUT_0_L + 2 * t; }
  static constexpr int looperOutR(int t) { return LOOPER_OUT_0_L + 2 * t + 1; }
  static constexpr int trackSignalL(int t) { return TRACK_SIGNAL_0_L + 2 * t; }
  static constexpr int trackSignalR(int t) { return TRACK_SIGNAL_0_L + 2 * t + 1; }

  float* audio[BUFFER_COUNT] = {};

  // The period size read when the engine was built.
  int nframes = 0;
};

#endif
