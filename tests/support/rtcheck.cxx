#include "rtcheck.hxx"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <pthread.h>

#if VESKO_NO_RTCHECK
// Under the sanitizers the allocator belongs to their runtime; the counts stay 0 and the
// tests that need them are skipped.
namespace rtcheck
{
ProcessScope::ProcessScope() {}
ProcessScope::~ProcessScope() {}
long allocations() { return 0; }
long frees() { return 0; }
long locks() { return 0; }
void reset() {}
bool counting() { return false; }
} // namespace rtcheck
#else
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
int vesko_real_mutex_lock(pthread_mutex_t*);
}
// glibc keeps the lock under this second, versioned name: bind to it directly so that no
// lookup (which could itself lock or allocate) is needed.
__asm__(".symver vesko_real_mutex_lock,__pthread_mutex_lock@GLIBC_2.2.5");

namespace
{
thread_local bool inProcess = false;
std::atomic<long> allocCount{0};
std::atomic<long> freeCount{0};
std::atomic<long> lockCount{0};

inline void countAlloc()
{
  if (inProcess)
    allocCount.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

namespace rtcheck
{
ProcessScope::ProcessScope() { inProcess = true; }
ProcessScope::~ProcessScope() { inProcess = false; }
long allocations() { return allocCount.load(); }
long frees() { return freeCount.load(); }
long locks() { return lockCount.load(); }
void reset()
{
  allocCount = 0;
  freeCount = 0;
  lockCount = 0;
}
bool counting() { return true; }
} // namespace rtcheck

extern "C" {
void* malloc(size_t n)
{
  countAlloc();
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t s)
{
  countAlloc();
  return __libc_calloc(n, s);
}
void* realloc(void* p, size_t n)
{
  countAlloc();
  return __libc_realloc(p, n);
}
void* memalign(size_t a, size_t n)
{
  countAlloc();
  return __libc_memalign(a, n);
}
void* aligned_alloc(size_t a, size_t n)
{
  countAlloc();
  return __libc_memalign(a, n);
}
int posix_memalign(void** out, size_t a, size_t n)
{
  countAlloc();
  void* p = __libc_memalign(a, n);
  if (!p)
    return 12; // ENOMEM
  *out = p;
  return 0;
}
void free(void* p)
{
  if (inProcess && p)
    freeCount.fetch_add(1, std::memory_order_relaxed);
  __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t* m)
{
  if (inProcess)
    lockCount.fetch_add(1, std::memory_order_relaxed);
  return vesko_real_mutex_lock(m);
}
}

void* operator new(size_t n)
{
  void* p = malloc(n ? n : 1);
  if (!p)
    std::abort();
  return p;
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return malloc(n ? n : 1); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return malloc(n ? n : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
#endif
