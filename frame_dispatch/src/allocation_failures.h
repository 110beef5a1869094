// Allocation failures on demand, so that tests can reach the out-of-memory paths.
// Not exported from the shared library; tests link the static one.
#pragma once

namespace quarvel::testing {

// After `after` more successful node allocations, the next `count` ones fail.
void failNodeAllocations(int count, int after = 0);
// The next `count` packet copies (QvrPacketDuplicate) fail for lack of memory.
void failPacketCopies(int count);

} // namespace quarvel::testing

namespace quarvel {

// True when an armed failure consumes this allocation.
bool nodeAllocationFails();
bool packetCopyFails();

} // namespace quarvel
