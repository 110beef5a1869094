// Allocator settings for a process that keeps millions of packet copies.
#pragma once

namespace AnalyzerProject {

// Every stored packet is one allocation made on a capture or file reader thread. In a
// thread's own malloc arena the heap grows a page at a time, one system call per page;
// in the main arena it grows by a generous top pad. One arena with a large pad lets a
// million copies grow the heap a few dozen times instead of ninety thousand. Call once,
// before any thread starts.
void TuneAllocatorForPacketStore();

// Gives memory freed in the middle of the heap back to the system (after a large
// temporary, such as the keys of a sorted list).
void ReleaseFreedMemory();

} // namespace AnalyzerProject
