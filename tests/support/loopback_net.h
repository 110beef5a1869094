// Loopback sockets for the capture tests: free ports, a UDP sender, polling with a
// deadline, and a TCP endpoint that never answers a connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "frame_builder.h"

namespace testsupport {

// A port on 127.0.0.1 that was free a moment ago, for SOCK_DGRAM or SOCK_STREAM.
uint16_t freeLoopbackPort(int socketType);

// True once `done` holds (checked every few milliseconds), false when `limit` passes first.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// True when a TCP connection to 127.0.0.1:port is accepted within `limit`.
bool tcpConnects(uint16_t port, std::chrono::milliseconds limit);

// A UDP socket bound to a free port of 127.0.0.1 and never read: datagrams sent there are
// captured without drawing "port unreachable" answers, and no one else takes the port.
class UdpSink {
public:
    UdpSink();
    ~UdpSink();
    UdpSink(const UdpSink&) = delete;
    UdpSink& operator=(const UdpSink&) = delete;

    uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// Sends UDP datagrams from an ephemeral port of 127.0.0.1.
class UdpSender {
public:
    UdpSender();
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    bool send(uint16_t port, const Bytes& payload);
    uint16_t localPort() const { return localPort_; }

private:
    int fd_ = -1;
    uint16_t localPort_ = 0;
};

// A listening TCP socket on 127.0.0.1 whose accept queue is full and never drained. The
// kernel drops every further SYN, so a connection attempt neither succeeds nor fails until
// the client gives up: a server behind a silent network, without leaving the machine.
class SilentTcpServer {
public:
    SilentTcpServer();
    ~SilentTcpServer();
    SilentTcpServer(const SilentTcpServer&) = delete;
    SilentTcpServer& operator=(const SilentTcpServer&) = delete;

    // False when the accept queue could not be filled (then connections may be answered).
    bool silent() const { return silent_; }
    uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> clients_;
    uint16_t port_ = 0;
    bool silent_ = false;
};

} // namespace testsupport
