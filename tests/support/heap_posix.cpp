#include "tests/support/heap.h"

#include <cstddef>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__)
#define KP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KP_ASAN 1
#endif
#endif
#if KP_ASAN
// From the sanitizer runtime (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace kp::test {

long heapInUse() {
#if KP_ASAN
  return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
  return static_cast<long>(mallinfo2().uordblks);
#endif
}

long residentBytes() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  in >> size >> resident;
  return resident * 4096L;
}

}  // namespace kp::test
