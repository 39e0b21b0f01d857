#ifndef VESKO_FUZZ_SUPPORT_HXX
#define VESKO_FUZZ_SUPPORT_HXX

#include <cstddef>
#include <cstdint>
#include <string>

// A private HOME with the queues made, once per fuzzing process; stdout silenced so the
// readers' log lines do not drown libFuzzer's.
void fuzzSetUp();
// A scratch directory inside that HOME.
const std::string& fuzzDir();
void writeBytes(const std::string& path, const uint8_t* data, size_t size);
// Throws away what the readers queued toward the engine, freeing handed-over buffers.
void drainToEngine();

#endif
