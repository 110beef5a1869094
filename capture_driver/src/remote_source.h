// Remote capture server addresses: "rpcap://" names and a bounded reachability check.
#pragma once

#include <string>

namespace tessomat {

constexpr const char* kRemotePrefix = "rpcap://";
constexpr const char* kDefaultRemotePort = "2002";

bool isRemoteSource(const char* source);

// Host and port of an "rpcap://host[:port]/device" name ("[v6addr]:port" for IPv6
// literals); the port is the default one when the name has none. False if malformed.
bool splitRemoteSource(const std::string& source, std::string& host, std::string& port);

// "rpcap://host:port/", the form the capture library lists a server's devices by.
std::string remoteServerSource(const std::string& host, const std::string& port);

// The capture library connects without a time limit; a server behind a silent network
// would block the caller for minutes. This checks the TCP endpoint within timeoutMs.
bool remoteServerReachable(const std::string& host, const std::string& port, int timeoutMs);

constexpr int kRemoteConnectTimeoutMs = 4000;

} // namespace tessomat
