#include "frame_builder.h"

#include <arpa/inet.h>

#include <stdexcept>

namespace testsupport {

namespace {

void put16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

void put32(Bytes& b, size_t at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v >> 16));
    put16(b, at + 2, static_cast<uint16_t>(v));
}

uint32_t sum16(const uint8_t* p, size_t n, uint32_t sum = 0)
{
    for (size_t i = 0; i + 1 < n; i += 2)
        sum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
    if (n % 2)
        sum += static_cast<uint32_t>(p[n - 1] << 8);
    return sum;
}

uint16_t fold(uint32_t sum)
{
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

// Transport checksum over a pseudo header made of the addresses, protocol and length.
void fillTransportChecksum(Bytes& segment, size_t checksumAt, const uint8_t* src, const uint8_t* dst,
                           size_t addressSize, uint8_t protocol)
{
    uint32_t sum = sum16(src, addressSize) + sum16(dst, addressSize);
    sum += protocol + static_cast<uint32_t>(segment.size());
    put16(segment, checksumAt, 0);
    uint16_t c = fold(sum16(segment.data(), segment.size(), sum));
    if (c == 0 && protocol == 17)
        c = 0xFFFF;
    put16(segment, checksumAt, c);
}

} // namespace

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes filler(size_t count, uint8_t value) { return Bytes(count, value); }

Ipv6 ipv6FromText(const char* text)
{
    Ipv6 a{};
    if (inet_pton(AF_INET6, text, a.data()) != 1)
        throw std::invalid_argument(text);
    return a;
}

Bytes ethernet(uint16_t type, const Bytes& payload, Mac dst, Mac src)
{
    Bytes b(14);
    std::copy(dst.begin(), dst.end(), b.begin());
    std::copy(src.begin(), src.end(), b.begin() + 6);
    put16(b, 12, type);
    return b + payload;
}

Bytes arpRequest(Ipv4 sender, Ipv4 target, Mac senderMac)
{
    Bytes b(28);
    put16(b, 0, 1);      // Ethernet
    put16(b, 2, 0x0800); // IPv4
    b[4] = 6;
    b[5] = 4;
    put16(b, 6, 1); // request
    std::copy(senderMac.begin(), senderMac.end(), b.begin() + 8);
    std::copy(sender.begin(), sender.end(), b.begin() + 14);
    std::copy(target.begin(), target.end(), b.begin() + 24);
    return b;
}

Bytes ipv4(uint8_t protocol, const Bytes& payload, Ipv4 src, Ipv4 dst, uint8_t optionWords, int headerWords)
{
    const size_t headerSize = 20 + 4u * optionWords;
    Bytes b(headerSize);
    b[0] = static_cast<uint8_t>(0x40 | ((headerWords >= 0 ? headerWords : 5 + optionWords) & 0x0F));
    put16(b, 2, static_cast<uint16_t>(headerSize + payload.size()));
    b[8] = 64;
    b[9] = protocol;
    std::copy(src.begin(), src.end(), b.begin() + 12);
    std::copy(dst.begin(), dst.end(), b.begin() + 16);
    put16(b, 10, fold(sum16(b.data(), headerSize)));
    return b + payload;
}

Bytes ipv6(uint8_t nextHeader, const Bytes& payload, Ipv6 src, Ipv6 dst, int payloadLength)
{
    Bytes b(40);
    b[0] = 0x60;
    put16(b, 4, static_cast<uint16_t>(payloadLength >= 0 ? payloadLength : static_cast<int>(payload.size())));
    b[6] = nextHeader;
    b[7] = 64;
    std::copy(src.begin(), src.end(), b.begin() + 8);
    std::copy(dst.begin(), dst.end(), b.begin() + 24);
    return b + payload;
}

Bytes ipv6Extension(uint8_t nextHeader, uint8_t lengthByte)
{
    Bytes b(8u * (1u + lengthByte));
    b[0] = nextHeader;
    b[1] = lengthByte;
    return b;
}

Bytes ipv6Fragment(uint8_t nextHeader, uint16_t fragmentOffset, bool moreFragments)
{
    Bytes b(8);
    b[0] = nextHeader;
    put16(b, 2, static_cast<uint16_t>(fragmentOffset << 3 | (moreFragments ? 1 : 0)));
    put32(b, 4, 0x1234);
    return b;
}

Bytes authenticationHeader(uint8_t nextHeader, uint8_t lengthByte)
{
    Bytes b(4u * (2u + lengthByte));
    b[0] = nextHeader;
    b[1] = lengthByte;
    return b;
}

Bytes udp(uint16_t srcPort, uint16_t dstPort, const Bytes& payload)
{
    Bytes b(8);
    put16(b, 0, srcPort);
    put16(b, 2, dstPort);
    put16(b, 4, static_cast<uint16_t>(8 + payload.size()));
    return b + payload;
}

Bytes tcp(uint16_t srcPort, uint16_t dstPort, const Bytes& payload, uint8_t dataOffsetWords, uint8_t flags,
          uint32_t seq, uint32_t ack)
{
    Bytes b(dataOffsetWords >= 5 ? 4u * dataOffsetWords : 20u);
    put16(b, 0, srcPort);
    put16(b, 2, dstPort);
    put32(b, 4, seq);
    put32(b, 8, ack);
    b[12] = static_cast<uint8_t>(dataOffsetWords << 4);
    b[13] = flags;
    put16(b, 14, 65535);
    for (size_t i = 20; i < b.size(); ++i)
        b[i] = 1; // NOP options
    return b + payload;
}

Bytes udpFrame(Ipv4 src, uint16_t srcPort, Ipv4 dst, uint16_t dstPort, const Bytes& payload)
{
    Bytes segment = udp(srcPort, dstPort, payload);
    fillTransportChecksum(segment, 6, src.data(), dst.data(), 4, 17);
    return ethernet(kEtherIpv4, ipv4(17, segment, src, dst));
}

Bytes udpFrame6(Ipv6 src, uint16_t srcPort, Ipv6 dst, uint16_t dstPort, const Bytes& payload)
{
    Bytes segment = udp(srcPort, dstPort, payload);
    fillTransportChecksum(segment, 6, src.data(), dst.data(), 16, 17);
    return ethernet(kEtherIpv6, ipv6(17, segment, src, dst));
}

Bytes tcpFrame(Ipv4 src, uint16_t srcPort, Ipv4 dst, uint16_t dstPort, const Bytes& payload, uint8_t flags,
               uint32_t seq, uint32_t ack)
{
    Bytes segment = tcp(srcPort, dstPort, payload, 5, flags, seq, ack);
    fillTransportChecksum(segment, 16, src.data(), dst.data(), 4, 6);
    return ethernet(kEtherIpv4, ipv4(6, segment, src, dst));
}

} // namespace testsupport
