#include "packet_handover.h"

#include "analysis_target.h"
#include "packet_process.h"

namespace AnalyzerProject {

int64_t PacketHandOver::Request(uint32_t from, uint32_t to, const std::function<void()>& post)
{
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return -1;
        state_ = State::Pending;
        from_ = from;
        to_ = to;
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
    uint32_t index, end;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Pending || stop_)
            return;
        state_ = State::Serving;
        index = from_;
        end = to_;
    }
    const auto deadline = std::chrono::steady_clock::now() + kServeBudget;
    const uint32_t first = index;
    while (index < end && !stop_.load(std::memory_order_acquire)) {
        target_->DeliverPacket(capture_->GetPacket(index));
        ++index;
        if ((index - first) % 32 == 0 && std::chrono::steady_clock::now() >= deadline)
            break;
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
