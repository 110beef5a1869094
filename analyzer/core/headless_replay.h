// Replays a capture file without any window: a session reads the file, and a dispatcher
// (countdown 5, as a file window replays) delivers every stored packet to a target on the
// calling thread, which runs an event loop until the dispatcher ends. The session stays
// open afterwards, since what the pages hold refers to its packets. The calling thread
// needs a QCoreApplication.
#pragma once

#include <mutex>
#include <string>

#include "analysis_target.h"
#include "packet_process.h"

namespace AnalyzerProject {

struct ReplayOutcome {
    bool opened = false;
    uint32_t stored = 0;    // packets in the session's store at the end
    uint32_t delivered = 0; // packets the dispatcher handed to the target
    int32_t missCount = 0;  // frames the decoder dropped for lack of memory
};

constexpr int kReplayCountdown = 5;

class HeadlessReplay {
public:
    HeadlessReplay() { session_.SetLock(&storeLock_); }

    ReplayOutcome Run(const std::string& fileName, AnalysisTarget& target, int intervalMs,
                      const char* filter = nullptr);
    const CPacketCapture& Session() const { return session_; }

private:
    std::mutex storeLock_;
    CPacketCapture session_;
};

} // namespace AnalyzerProject
