#include "remote_source_name.h"

#include <string_view>

namespace AnalyzerProject {

namespace {
constexpr std::string_view kRemotePrefix = "rpcap://";
}

std::string RemoteSourceName(const std::string& host, const std::string& port, const std::string& device)
{
    const bool bareIpv6 = host.find(':') != std::string::npos && host.front() != '[';
    std::string name(kRemotePrefix);
    name += bareIpv6 ? "[" + host + "]" : host;
    if (port != kDefaultCaptureServerPort)
        name += ":" + port;
    name += "/";
    name += device;
    return name;
}

std::string RemoteDeviceName(const std::string& listedName)
{
    if (listedName.compare(0, kRemotePrefix.size(), kRemotePrefix) != 0)
        return listedName;
    // The authority may be a bracketed IPv6 literal; the device starts after the first '/'
    // that follows it (device names may themselves hold a '/').
    size_t authorityEnd = kRemotePrefix.size();
    if (authorityEnd < listedName.size() && listedName[authorityEnd] == '[') {
        const size_t close = listedName.find(']', authorityEnd);
        if (close != std::string::npos)
            authorityEnd = close;
    }
    const size_t slash = listedName.find('/', authorityEnd);
    return slash == std::string::npos ? std::string() : listedName.substr(slash + 1);
}

} // namespace AnalyzerProject
