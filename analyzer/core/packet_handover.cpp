#include "packet_handover.h"

#include <algorithm>

#include "analysis_target.h"
#include "packet_process.h"

namespace AnalyzerProject {

int64_t PacketHandOver::Request(uint32_t from, const std::function<void()>& post)
{
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return -1;
        state_ = State::Pending;
        from_ = from;
    }
    post();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return state_ == State::Done || stop_; });
    if (state_ == State::Done) {
        state_ = State::Idle;
        return stop_ ? -1 : delivered_;
    }
    if (state_ == State::Pending)
        state_ = State::Idle; // never served: the queued request finds nothing to do
    return -1;
}

void PacketHandOver::Sleep(std::chrono::milliseconds interval)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, interval, [this] { return stop_ || woken_; });
    woken_ = false;
}

void PacketHandOver::Serve()
{
    uint32_t index;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Pending || stop_)
            return;
        state_ = State::Serving;
        index = from_;
    }
    // Packets are fetched a group at a time, so the store lock is not taken per packet
    // while a reader keeps appending. Packets stored meanwhile are served too: fewer
    // round trips between the threads while a capture or a file reader fills the store.
    const auto deadline = std::chrono::steady_clock::now() + kServeBudget;
    const uint32_t first = index;
    QvrPacket* group[kGroup];
    bool budgetLeft = true;
    while (budgetLeft) {
        const uint32_t fetched = capture_->GetPackets(index, kGroup, group);
        if (fetched == 0)
            break;
        for (uint32_t k = 0; k < fetched; ++k) {
            if (stop_.load(std::memory_order_acquire)) {
                budgetLeft = false;
                break;
            }
            target_->DeliverPacket(group[k]);
            ++index;
        }
        budgetLeft = budgetLeft && std::chrono::steady_clock::now() < deadline;
    }
    std::lock_guard lock(mutex_);
    if (state_ == State::Serving) {
        delivered_ = index - first;
        state_ = State::Done;
    }
    changed_.notify_all();
}

void PacketHandOver::RequestStop()
{
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
}

void PacketHandOver::Wake()
{
    std::lock_guard lock(mutex_);
    woken_ = true;
    changed_.notify_all();
}

} // namespace AnalyzerProject
