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
    // Five idle passes normally outlast the reader. Should the reader be slower (a slow
    // disk), another replay goes on from where the last one ended, so that the target
    // sees the whole file.
    uint32_t next = 0;
    do {
        CRealTimePacketDispatcher dispatcher(&session_, &target, next, intervalMs, kReplayCountdown, true);
        QEventLoop loop;
        QObject::connect(&dispatcher, &QThread::finished, &loop, &QEventLoop::quit);
        dispatcher.Resume();
        loop.exec();
        dispatcher.WaitFor();
        next = dispatcher.NextIndex();
    } while (session_.IsReading() || next < session_.PacketCount());

    outcome.delivered = next;
    outcome.stored = session_.PacketCount();
    outcome.missCount = session_.MissCount();
    return outcome;
}

} // namespace AnalyzerProject
