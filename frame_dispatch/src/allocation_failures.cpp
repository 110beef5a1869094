#include "allocation_failures.h"

#include <atomic>

namespace {

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

void failNodeAllocations(int count) { nodeFailures.store(count); }
void failPacketCopies(int count) { copyFailures.store(count); }

} // namespace quarvel::testing

namespace quarvel {

bool nodeAllocationFails() { return consume(nodeFailures); }
bool packetCopyFails() { return consume(copyFailures); }

} // namespace quarvel
