#include "loopback_net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace testsupport {

namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

uint16_t boundPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// Starts a non-blocking connection to 127.0.0.1:port; -1 when it failed at once.
int startConnect(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in address = loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether the connection started on `fd` is established within `limit`.
bool connectedWithin(int fd, std::chrono::milliseconds limit)
{
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, static_cast<int>(limit.count())) != 1)
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

} // namespace

uint16_t freeLoopbackPort(int socketType)
{
    const int fd = socket(AF_INET, socketType | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    const sockaddr_in address = loopback(0);
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        port = boundPort(fd);
    close(fd);
    return port;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool tcpConnects(uint16_t port, std::chrono::milliseconds limit)
{
    const int fd = startConnect(port);
    if (fd < 0)
        return false;
    const bool connected = connectedWithin(fd, limit);
    close(fd);
    return connected;
}

UdpSink::UdpSink()
{
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        port_ = boundPort(fd_);
}

UdpSink::~UdpSink()
{
    if (fd_ >= 0)
        close(fd_);
}

UdpSender::UdpSender()
{
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        localPort_ = boundPort(fd_);
}

UdpSender::~UdpSender()
{
    if (fd_ >= 0)
        close(fd_);
}

bool UdpSender::send(uint16_t port, const Bytes& payload)
{
    const sockaddr_in address = loopback(port);
    const ssize_t sent = sendto(fd_, payload.data(), payload.size(), 0,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == static_cast<ssize_t>(payload.size());
}

SilentTcpServer::SilentTcpServer()
{
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || listen(listener_, 0) != 0)
        return;
    port_ = boundPort(listener_);
    // Connect until one attempt stays unanswered: from then on the queue is full.
    for (int attempt = 0; attempt < 16 && !silent_; ++attempt) {
        const int fd = startConnect(port_);
        if (fd < 0)
            return;
        clients_.push_back(fd);
        silent_ = !connectedWithin(fd, std::chrono::milliseconds(200));
    }
}

SilentTcpServer::~SilentTcpServer()
{
    for (const int fd : clients_)
        close(fd);
    if (listener_ >= 0)
        close(listener_);
}

} // namespace testsupport
