#include "net.h"

#include <arpa/inet.h>

namespace gencap {

namespace {

Mac macFor(const uint8_t* lastFour)
{
    // Locally administered unicast addresses, one per host.
    return {0x02, 0x42, lastFour[0], lastFour[1], lastFour[2], lastFour[3]};
}

} // namespace

Host Host::fromIpv4(Ipv4 address)
{
    Host h;
    h.v4 = address;
    h.mac = macFor(address.data());
    return h;
}

Host Host::fromIpv6(Ipv6 address)
{
    Host h;
    h.ipv6 = true;
    h.v6 = address;
    h.mac = macFor(address.data() + 12);
    return h;
}

std::string Host::address() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (ipv6)
        inet_ntop(AF_INET6, v6.data(), text, sizeof text);
    else
        inet_ntop(AF_INET, v4.data(), text, sizeof text);
    return text;
}

std::string Host::uriHost() const { return ipv6 ? "[" + address() + "]" : address(); }

std::string Host::sdpAddress() const { return (ipv6 ? "IP6 " : "IP4 ") + address(); }

void setMacs(Bytes& frame, const Mac& dst, const Mac& src)
{
    std::copy(dst.begin(), dst.end(), frame.begin());
    std::copy(src.begin(), src.end(), frame.begin() + 6);
}

uint32_t checksumAdd(const uint8_t* p, size_t n, uint32_t sum)
{
    // Sums 16-bit words in a 64-bit accumulator; folded back to 32 bits for the caller.
    uint64_t s = sum;
    size_t i = 0;
    for (; i + 1 < n; i += 2)
        s += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
    if (n % 2)
        s += static_cast<uint32_t>(p[n - 1] << 8);
    while (s >> 32)
        s = (s & 0xFFFFFFFFu) + (s >> 32);
    return static_cast<uint32_t>(s);
}

uint16_t checksumFold(uint32_t sum)
{
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

Bytes udpBetween(const Host& src, uint16_t srcPort, const Host& dst, uint16_t dstPort, const Bytes& payload)
{
    Bytes frame = src.ipv6 ? testsupport::udpFrame6(src.v6, srcPort, dst.v6, dstPort, payload)
                           : testsupport::udpFrame(src.v4, srcPort, dst.v4, dstPort, payload);
    setMacs(frame, dst.mac, src.mac);
    return frame;
}

UdpFramer::UdpFramer(const Host& src, uint16_t srcPort, const Host& dst, uint16_t dstPort)
    : src_(src), dst_(dst), srcPort_(srcPort), dstPort_(dstPort), udpOffset_(src.ipv6 ? 14 + 40 : 14 + 20)
{
    addressSum_ = src.ipv6 ? checksumAdd(dst.v6.data(), 16, checksumAdd(src.v6.data(), 16))
                           : checksumAdd(dst.v4.data(), 4, checksumAdd(src.v4.data(), 4));
}

uint8_t* UdpFramer::begin(size_t size)
{
    if (size != payloadSize_) {
        frame_ = udpBetween(src_, srcPort_, dst_, dstPort_, Bytes(size));
        payloadSize_ = size;
    }
    return frame_.data() + udpOffset_ + 8;
}

const Bytes& UdpFramer::finish()
{
    uint8_t* udp = frame_.data() + udpOffset_;
    const size_t length = 8 + payloadSize_;
    udp[6] = udp[7] = 0;
    uint16_t c = checksumFold(checksumAdd(udp, length, addressSum_ + 17 + static_cast<uint32_t>(length)));
    if (c == 0)
        c = 0xFFFF;
    udp[6] = static_cast<uint8_t>(c >> 8);
    udp[7] = static_cast<uint8_t>(c);
    return frame_;
}

} // namespace gencap
