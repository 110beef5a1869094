#include "headless_replay.h"

#include <QEventLoop>

#include "rtpktdispatcher.h"

namespace AnalyzerProject {

ReplayOutcome HeadlessReplay::Run(const std::string& fileName, AnalysisTarget& target, int intervalMs,
                                  const char* filter)
{
    ReplayOutcome outcome;
    if (!session_.Open(fileName.c_str(), filter))
        return outcome;
    outcome.opened = true;

    target.ResetPages();
    CRealTimePacketDispatcher dispatcher(&session_, &target, 0, intervalMs, kReplayCountdown, true);
    QEventLoop loop;
    QObject::connect(&dispatcher, &QThread::finished, &loop, &QEventLoop::quit);
    dispatcher.Resume();
    loop.exec();
    dispatcher.WaitFor();
    outcome.delivered = dispatcher.NextIndex();
    outcome.stored = session_.PacketCount();
    outcome.missCount = session_.MissCount();
    return outcome;
}

} // namespace AnalyzerProject
