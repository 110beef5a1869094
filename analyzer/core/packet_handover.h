// The synchronous hand-over of stored packets from a dispatcher thread to the thread that
// owns the analysis target (the user-interface thread).
//
// The dispatcher posts a request to deliver from a packet index on, and waits until the
// target's thread has served it. That thread delivers the stored packets one by one,
// re-checking the stop flag before every packet, until it has caught up with the store or
// has spent a few milliseconds of page work; a long store takes several requests and the
// user interface stays responsive. A stop request
// wakes the waiting dispatcher at once: whoever waits for the dispatcher's end never waits
// on a hand-over, and a request still queued after its dispatcher stopped delivers nothing.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace AnalyzerProject {

class AnalysisTarget;
class CPacketCapture;

class PacketHandOver {
public:
    PacketHandOver(CPacketCapture* capture, AnalysisTarget* target) : capture_(capture), target_(target) {}

    // Dispatcher side: asks for the packets from packet index `from` on, as many as the
    // store holds while they are served, and waits. Answers how many were delivered, or
    // -1 once a stop was requested.
    int64_t Request(uint32_t from, const std::function<void()>& post);
    // Dispatcher side: sleeps up to `interval`, or less when a stop is requested.
    void Sleep(std::chrono::milliseconds interval);

    // Target side: serves the pending request, if any.
    void Serve();

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }
    // Wakes a sleeping dispatcher (a terminate request).
    void Wake();

    static constexpr std::chrono::milliseconds kServeBudget{8};
    static constexpr uint32_t kGroup = 64;

private:
    enum class State { Idle, Pending, Serving, Done };

    CPacketCapture* const capture_;
    AnalysisTarget* const target_;
    std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = State::Idle;
    uint32_t from_ = 0, delivered_ = 0;
    bool woken_ = false;
    std::atomic<bool> stop_{false};
};

} // namespace AnalyzerProject
