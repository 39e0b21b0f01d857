#ifndef VESKO_TEST_RTCHECK_HXX
#define VESKO_TEST_RTCHECK_HXX

// Counts calls to malloc, calloc, realloc, free, the aligned allocators, operator new and
// delete, and pthread_mutex_lock made while the calling thread is inside the engine's
// process callback. Linked into the cycle-by-cycle test executable only.
namespace rtcheck
{
// Marks the calling thread as the JACK process thread while alive.
class ProcessScope
{
public:
  ProcessScope();
  ~ProcessScope();
};

// Calls counted since the last reset, over all threads.
long allocations();
long frees();
long locks();
void reset();
// False in sanitizer builds, where the allocator cannot be replaced.
bool counting();
} // namespace rtcheck

#endif
