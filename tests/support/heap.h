#pragma once
// What the process holds in memory, for the tests that watch it grow.
namespace kp::test {

// Bytes of heap in use by this process: the live allocations where the
// allocator can tell them (also under AddressSanitizer, whose resident set
// holds a quarantine of freed blocks that grows by design), otherwise the
// process's private memory.
long heapInUse();
// Resident set of this process; printed only.
long residentBytes();

}  // namespace kp::test
