// Names of the capture sources on a remote capture server: "rpcap://host/device" when the
// server listens on the default port, "rpcap://host:port/device" otherwise, so that a
// capture opened from the name reaches the server at the port it was scanned on.
#pragma once

#include <string>

namespace AnalyzerProject {

inline constexpr const char* kDefaultCaptureServerPort = "2002";

// The source name of `device` on the server at `host` and `port`. An IPv6 literal host is
// put in brackets ("rpcap://[::1]:2003/eth0"), otherwise its colons would be read as the
// start of a port.
std::string RemoteSourceName(const std::string& host, const std::string& port, const std::string& device);

// The device part of a name from a remote interface listing ("rpcap://host:port/eth0" ->
// "eth0"); a name that is not an "rpcap://" name is returned unchanged.
std::string RemoteDeviceName(const std::string& listedName);

} // namespace AnalyzerProject
