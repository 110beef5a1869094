#include "memory_tuning.h"

#include <malloc.h>

namespace AnalyzerProject {

void TuneAllocatorForPacketStore()
{
    constexpr int kTopPad = 32 << 20; // reserved address space: only touched pages are resident
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TOP_PAD, kTopPad);
}

void ReleaseFreedMemory() { malloc_trim(0); }

} // namespace AnalyzerProject
