#include "headless_replay.h"

#include <QEventLoop>

#include <mutex>

#include "packet_process.h"
#include "rtpktdispatcher.h"

namespace AnalyzerProject {

ReplayOutcome ReplayCaptureFile(const std::string& fileName, AnalysisTarget& target, int intervalMs,
                                const char* filter)
{
    ReplayOutcome outcome;
    std::mutex storeLock;
    CPacketCapture session;
    session.SetLock(&storeLock);
    if (!session.Open(fileName.c_str(), filter))
        return outcome;
    outcome.opened = true;

    target.ResetPages();
    CRealTimePacketDispatcher dispatcher(&session, &target, 0, intervalMs, kReplayCountdown, true);
    QEventLoop loop;
    QObject::connect(&dispatcher, &QThread::finished, &loop, &QEventLoop::quit);
    dispatcher.Resume();
    loop.exec();
    dispatcher.WaitFor();

    outcome.delivered = dispatcher.NextIndex();
    while (session.IsReading()) // a file longer than the replay's patience: let it finish
        QThread::msleep(1);
    outcome.stored = session.PacketCount();
    outcome.missCount = session.MissCount();
    return outcome;
}

} // namespace AnalyzerProject
