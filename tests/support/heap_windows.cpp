#include "tests/support/heap.h"

#include <windows.h>

#include <psapi.h>

namespace kp::test {

namespace {
PROCESS_MEMORY_COUNTERS_EX counters() {
  PROCESS_MEMORY_COUNTERS_EX c{};
  c.cb = sizeof c;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c),
                       sizeof c);
  return c;
}
}  // namespace

// The C runtime's heap cannot be asked for its live bytes cheaply; the
// private memory committed for the process holds them and grows with them.
long heapInUse() { return static_cast<long>(counters().PrivateUsage); }

long residentBytes() { return static_cast<long>(counters().WorkingSetSize); }

}  // namespace kp::test
