#include "remote_source.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tessomat {

bool isRemoteSource(const char* source)
{
    return std::strncmp(source, kRemotePrefix, std::strlen(kRemotePrefix)) == 0;
}

bool splitRemoteSource(const std::string& source, std::string& host, std::string& port)
{
    std::string rest = source.substr(std::strlen(kRemotePrefix));
    std::string authority = rest.substr(0, rest.find('/'));
    port = kDefaultRemotePort;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string::npos)
            return false;
        host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return false;
            port = authority.substr(close + 2);
        }
    } else {
        const auto colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string::npos)
            port = authority.substr(colon + 1);
    }
    return !host.empty() && !port.empty();
}

std::string remoteServerSource(const std::string& host, const std::string& port)
{
    const bool ipv6Literal = host.find(':') != std::string::npos;
    return std::string(kRemotePrefix) + (ipv6Literal ? "[" + host + "]" : host) + ":" + port + "/";
}

static bool connectWithin(const addrinfo* ai, int timeoutMs)
{
    const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0)
        return false;
    bool connected = connect(fd, ai->ai_addr, ai->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&p, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t len = sizeof error;
        connected = ready == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
    }
    close(fd);
    return connected;
}

bool remoteServerReachable(const std::string& host, const std::string& port, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0)
        return false;
    bool reachable = false;
    for (const addrinfo* ai = list; ai && !reachable; ai = ai->ai_next)
        reachable = connectWithin(ai, timeoutMs);
    freeaddrinfo(list);
    return reachable;
}

} // namespace tessomat
