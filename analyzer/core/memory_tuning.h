// Allocator settings for a process that keeps millions of packet copies.
#pragma once

namespace AnalyzerProject {

// Every stored packet is one allocation made on a capture or file reader thread, in that
// thread's own malloc arena (one arena shared with the user-interface thread would have the
// reader, a million allocations a second, starve the window of the arena's lock). A thread
// arena's heap otherwise grows a page at a time, one system call per page; a top pad as
// large as a heap makes each new heap usable at once, so a million copies grow the heaps a
// few times instead of ninety thousand. Call once, before any thread starts.
void TuneAllocatorForPacketStore();

// Gives memory freed in the middle of the heap back to the system (after a large
// temporary, such as the keys of a sorted list).
void ReleaseFreedMemory();

} // namespace AnalyzerProject
