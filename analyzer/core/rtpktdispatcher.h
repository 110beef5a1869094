// The real-time dispatcher: a thread that walks a capture session's store in order and
// hands every packet synchronously to the analysis target on the thread that created the
// dispatcher (the user-interface thread), sleeping one interval between passes. With a
// countdown of N it ends by itself after the Nth pass that caught up with the store (the
// replays); with 0 it runs until stopped (live capture). Passes made while the session's
// file reader is still reading do not count down: a replay never ends before the file does.
#pragma once

#include <QThread>

#include <atomic>
#include <memory>

#include "packet_handover.h"

namespace AnalyzerProject {

class AnalysisTarget;
class CPacketCapture;

class CRealTimePacketDispatcher final : public QThread {
public:
    // `form` may be null: the store is then walked without handing packets to anyone.
    CRealTimePacketDispatcher(CPacketCapture* capture, AnalysisTarget* form, uint32_t startIndex, int intervalMs,
                              int countdown, bool createSuspended);
    // Stops the thread and waits for its end.
    ~CRealTimePacketDispatcher() override;

    void SetCountdown(int countdown) { countdown_.store(countdown); }
    // Ends the dispatcher after the packet in hand; wakes it from a hand-over or a sleep.
    void SetStopNow();
    // Asks the thread to end after its current pass.
    void Terminate();
    void Resume() { start(); }
    // Waits for the end on the target's thread, serving hand-overs meanwhile, so that a
    // replay running out its countdown can end while its owner waits.
    void WaitFor();

    // The thread was asked to end (or has ended): QThread's own interruption flag reads
    // false again once the thread has finished.
    bool Ending() const { return isInterruptionRequested() || isFinished(); }

    uint32_t NextIndex() const { return nextIndex_.load(); }
    int Interval() const { return interval_; }

protected:
    void run() override;

private:
    // Delivers stored packets from nextIndex_ on; false once stopped.
    bool HandOver(uint32_t count);

    CPacketCapture* const capture_;
    AnalysisTarget* const form_;
    std::atomic<uint32_t> nextIndex_;
    const int interval_;
    std::atomic<int> countdown_;
    std::shared_ptr<PacketHandOver> handOver_;
};

} // namespace AnalyzerProject
