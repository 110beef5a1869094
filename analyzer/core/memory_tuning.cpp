#include "memory_tuning.h"

#include <malloc.h>

namespace AnalyzerProject {

namespace {
// A thread arena's heap is 64 MB of address space; with this pad a new heap is made usable
// whole at once. Only touched pages become resident.
constexpr int kTopPad = 64 << 20;
} // namespace

void TuneAllocatorForPacketStore()
{
    mallopt(M_TOP_PAD, kTopPad);
}

void ReleaseFreedMemory() { malloc_trim(0); }

} // namespace AnalyzerProject
