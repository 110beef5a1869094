// Hosts of the generated network and the frame helpers the traffic makers share: frames
// between two hosts with their own MAC addresses, and a reusable UDP frame for streams
// that send many payloads of one size.
#pragma once

#include <cstdint>
#include <string>

#include "frame_builder.h"

namespace gencap {

using testsupport::Bytes;
using testsupport::Ipv4;
using testsupport::Ipv6;
using testsupport::Mac;

struct Host {
    bool ipv6 = false;
    Ipv4 v4{};
    Ipv6 v6{};
    Mac mac{};

    static Host fromIpv4(Ipv4 address);
    static Host fromIpv6(Ipv6 address);
    // "192.168.1.10" or "2001:db8:1::a".
    std::string address() const;
    // The address as it stands in a SIP URI or Via: IPv6 in brackets.
    std::string uriHost() const;
    // "IP4 192.168.1.10" or "IP6 2001:db8:1::a", as in SDP o= and c= lines.
    std::string sdpAddress() const;
};

void setMacs(Bytes& frame, const Mac& dst, const Mac& src);

// Internet checksum helpers (RFC 1071 sums, folded by `checksumFold`).
uint32_t checksumAdd(const uint8_t* bytes, size_t count, uint32_t sum = 0);
uint16_t checksumFold(uint32_t sum);

// UDP over IPv4 or IPv6 (after the source host's family) with valid checksums.
Bytes udpBetween(const Host& src, uint16_t srcPort, const Host& dst, uint16_t dstPort, const Bytes& payload);

// One frame buffer reused for every datagram of a flow: the headers are built once per
// payload size, the payload is written in place and the UDP checksum filled at the end.
class UdpFramer {
public:
    UdpFramer(const Host& src, uint16_t srcPort, const Host& dst, uint16_t dstPort);
    // The payload area for a datagram of `size` bytes, to fill before `finish`.
    uint8_t* begin(size_t size);
    const Bytes& finish();

private:
    Host src_, dst_;
    uint16_t srcPort_, dstPort_;
    Bytes frame_;
    size_t udpOffset_;
    size_t payloadSize_ = SIZE_MAX;
    uint32_t addressSum_;
};

} // namespace gencap
