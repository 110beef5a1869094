// Shared pieces of the window tests: recorded message boxes, waiting on the event loop, and
// capture files of numbered UDP packets.
#pragma once

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

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

// Sends `count` small UDP datagrams to 127.0.0.1:port.
inline void sendLoopbackDatagrams(uint16_t port, int count)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < count; ++i)
        sendto(fd, "ping", 4, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
}

} // namespace testsupport
