// Builds frames byte by byte for tests and the sample generator: Ethernet, ARP, IPv4,
// IPv6 with extension headers, TCP and UDP, with correct lengths and checksums unless a
// test asks for something else.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;
using Ipv4 = std::array<uint8_t, 4>;
using Ipv6 = std::array<uint8_t, 16>;
using Mac = std::array<uint8_t, 6>;

Bytes operator+(Bytes a, const Bytes& b);
Bytes textBytes(const std::string& text);
Bytes filler(size_t count, uint8_t value = 0xAB);

Ipv6 ipv6FromText(const char* text);

constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint16_t kEtherArp = 0x0806;
constexpr uint16_t kEtherIpv6 = 0x86DD;

Bytes ethernet(uint16_t type, const Bytes& payload,
               Mac dst = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
               Mac src = {0x00, 0x66, 0x77, 0x88, 0x99, 0xaa});
Bytes arpRequest(Ipv4 sender, Ipv4 target, Mac senderMac = {0x00, 0x66, 0x77, 0x88, 0x99, 0xaa});

// IPv4 header (with `optionWords` 32-bit words of options) in front of `payload`.
// `headerWords` overrides the IHL field as written (to build broken headers).
Bytes ipv4(uint8_t protocol, const Bytes& payload, Ipv4 src = {10, 0, 0, 1}, Ipv4 dst = {10, 0, 0, 2},
           uint8_t optionWords = 0, int headerWords = -1);

// IPv6 fixed header in front of `payload` (extension headers and transport together).
// `payloadLength` overrides the length field as written.
Bytes ipv6(uint8_t nextHeader, const Bytes& payload, Ipv6 src = ipv6FromText("2001:db8::1"),
           Ipv6 dst = ipv6FromText("2001:db8::2"), int payloadLength = -1);
// Hop-by-hop, routing or destination options header: 8 * (1 + lengthByte) bytes.
Bytes ipv6Extension(uint8_t nextHeader, uint8_t lengthByte);
Bytes ipv6Fragment(uint8_t nextHeader, uint16_t fragmentOffset, bool moreFragments);
// Authentication header: 4 * (2 + lengthByte) bytes.
Bytes authenticationHeader(uint8_t nextHeader, uint8_t lengthByte);

// Transport headers. Checksums are left 0; `withChecksum` fills them for a given network.
Bytes udp(uint16_t srcPort, uint16_t dstPort, const Bytes& payload);
Bytes tcp(uint16_t srcPort, uint16_t dstPort, const Bytes& payload, uint8_t dataOffsetWords = 5,
          uint8_t flags = 0x18, uint32_t seq = 1, uint32_t ack = 1);

// Ready-made frames with valid checksums.
Bytes udpFrame(Ipv4 src, uint16_t srcPort, Ipv4 dst, uint16_t dstPort, const Bytes& payload);
Bytes udpFrame6(Ipv6 src, uint16_t srcPort, Ipv6 dst, uint16_t dstPort, const Bytes& payload);
Bytes tcpFrame(Ipv4 src, uint16_t srcPort, Ipv4 dst, uint16_t dstPort, const Bytes& payload,
               uint8_t flags = 0x18, uint32_t seq = 1, uint32_t ack = 1);

} // namespace testsupport
