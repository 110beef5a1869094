#include "rtpktdispatcher.h"

#include <QMetaObject>

#include "packet_process.h"

namespace AnalyzerProject {

CRealTimePacketDispatcher::CRealTimePacketDispatcher(CPacketCapture* capture, AnalysisTarget* form,
                                                     uint32_t startIndex, int intervalMs, int countdown,
                                                     bool createSuspended)
    : capture_(capture), form_(form), nextIndex_(startIndex), interval_(intervalMs), countdown_(countdown),
      handOver_(std::make_shared<PacketHandOver>(capture, form))
{
    if (!createSuspended)
        start();
}

CRealTimePacketDispatcher::~CRealTimePacketDispatcher()
{
    SetStopNow();
    Terminate();
    WaitFor();
}

void CRealTimePacketDispatcher::SetStopNow() { handOver_->RequestStop(); }

void CRealTimePacketDispatcher::Terminate()
{
    requestInterruption();
    handOver_->Wake();
}

void CRealTimePacketDispatcher::WaitFor()
{
    while (!wait(QDeadlineTimer(5)))
        handOver_->Serve();
}

bool CRealTimePacketDispatcher::HandOver(uint32_t count)
{
    if (!form_) {
        nextIndex_ = count;
        return !handOver_->StopRequested();
    }
    // Queued to this object, which lives on the target's thread; a request queued when
    // the dispatcher is deleted is discarded with it, and the shared hand-over keeps a
    // request that outlives its dispatcher harmless.
    std::weak_ptr<PacketHandOver> weak = handOver_;
    const int64_t delivered = handOver_->Request(nextIndex_, [this, weak] {
        QMetaObject::invokeMethod(
            this, [weak] { if (auto h = weak.lock()) h->Serve(); }, Qt::QueuedConnection);
    });
    if (delivered < 0)
        return false;
    nextIndex_ += static_cast<uint32_t>(delivered);
    return true;
}

void CRealTimePacketDispatcher::run()
{
    while (!isInterruptionRequested()) {
        // Checked before the pass: a reader done by then has stored all this pass will see.
        const bool storeComplete = !capture_->IsReading();
        bool stopped = handOver_->StopRequested();
        while (!stopped) {
            const uint32_t count = capture_->PacketCount();
            if (count <= nextIndex_)
                break;
            stopped = !HandOver(count);
        }
        if (stopped) {
            requestInterruption();
            break; // no sleep: whoever stopped us is waiting
        }
        const int left = countdown_.load();
        if (left > 0 && storeComplete) {
            countdown_.store(left - 1);
            if (left == 1)
                requestInterruption();
        }
        handOver_->Sleep(std::chrono::milliseconds(interval_));
    }
}

} // namespace AnalyzerProject
