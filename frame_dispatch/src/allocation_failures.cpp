#include "allocation_failures.h"

#include <atomic>

namespace {

std::atomic<int> nodeSuccessesBeforeFailure{0};
std::atomic<int> nodeFailures{0};
std::atomic<int> copyFailures{0};

bool consume(std::atomic<int>& armed)
{
    int left = armed.load(std::memory_order_relaxed);
    while (left > 0) {
        if (armed.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
            return true;
    }
    return false;
}

} // namespace

namespace quarvel::testing {

void failNodeAllocations(int count, int after)
{
    nodeSuccessesBeforeFailure.store(after);
    nodeFailures.store(count);
}
void failPacketCopies(int count) { copyFailures.store(count); }

} // namespace quarvel::testing

namespace quarvel {

bool nodeAllocationFails()
{
    if (nodeFailures.load(std::memory_order_relaxed) == 0)
        return false; // the common case: nothing armed
    return !consume(nodeSuccessesBeforeFailure) && consume(nodeFailures);
}
bool packetCopyFails() { return consume(copyFailures); }

} // namespace quarvel
