// Shared pieces of the window tests: recorded message boxes, waiting on the event loop, and
// capture files of numbered UDP packets.
#pragma once

#include <QCoreApplication>
#include <QTest>

#include <string>
#include <vector>

#include "capture_file.h"
#include "message_box.h"

namespace testsupport {

// Records every message box while it lives.
class MessageLog {
public:
    MessageLog()
    {
        AnalyzerProject::SetMessageInterceptor([this](const AnalyzerProject::MessageRecord& m) { messages.push_back(m); });
    }
    ~MessageLog() { AnalyzerProject::SetMessageInterceptor(nullptr); }
    std::vector<AnalyzerProject::MessageRecord> messages;

    QStringList texts() const
    {
        QStringList t;
        for (const auto& m : messages)
            t << m.text;
        return t;
    }
};

// `count` UDP packets; the first `toOtherPort` of them go to port 6000, the rest to 5060.
inline void writeUdpCapture(const std::string& path, int count, int toOtherPort = 0)
{
    CaptureFileWriter writer(path);
    for (int i = 0; i < count; ++i)
        writer.add(udpFrame({10, 0, 0, 1}, 4000, {10, 0, 0, 2}, i < toOtherPort ? 6000 : 5060, textBytes("x")),
                   static_cast<uint32_t>(1000 + i));
}

inline bool waitFor(const std::function<bool()>& done, int ms = 8000) { return QTest::qWaitFor(done, ms); }

} // namespace testsupport
