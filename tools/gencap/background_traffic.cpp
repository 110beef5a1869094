#include "background_traffic.h"

#include "random.h"

namespace gencap {

namespace {

using testsupport::textBytes;

constexpr uint8_t kFin = 0x01, kSyn = 0x02, kPush = 0x08, kAck = 0x10;
constexpr size_t kIpv6HopLimitAt = 14 + 7;

Bytes tcpBetween(const Host& src, uint16_t srcPort, const Host& dst, uint16_t dstPort, const Bytes& payload,
                 uint8_t flags, uint32_t seq, uint32_t ack)
{
    Bytes frame = testsupport::tcpFrame(src.v4, srcPort, dst.v4, dstPort, payload, flags, seq, ack);
    setMacs(frame, dst.mac, src.mac);
    return frame;
}

std::vector<TimedFrame> http(const BackgroundPlan& b, Random& r)
{
    const Host& c = b.client;
    const Host& s = b.peer;
    const uint16_t port = static_cast<uint16_t>(r.between(49152, 64999));
    const Micros rtt = r.between(8'000, 40'000);
    const uint32_t cs = r.next32(); // initial sequence numbers
    const uint32_t ss = r.next32();

    const std::string request = "GET /status/" + std::to_string(r.between(1, 999)) +
                                ".html HTTP/1.1\r\nHost: " + s.address() +
                                "\r\nUser-Agent: corvane-gencap/1.0\r\nAccept: text/html\r\nConnection: close\r\n\r\n";
    std::string body = "<!DOCTYPE html>\n<html><head><title>Status</title></head><body>\n";
    const uint64_t lines = r.between(3, 20);
    for (uint64_t i = 0; i < lines; ++i)
        body += "<p>line " + std::to_string(i + 1) + ": " + r.hex(32) + "</p>\n";
    body += "</body></html>\n";
    const std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    const uint32_t q = static_cast<uint32_t>(request.size());
    const uint32_t p = static_cast<uint32_t>(response.size());

    std::vector<TimedFrame> f;
    Micros t = b.start;
    f.push_back({t, tcpBetween(c, port, s, 80, {}, kSyn, cs, 0)});
    f.push_back({t += rtt, tcpBetween(s, 80, c, port, {}, kSyn | kAck, ss, cs + 1)});
    f.push_back({t += 120, tcpBetween(c, port, s, 80, {}, kAck, cs + 1, ss + 1)});
    f.push_back({t += 90, tcpBetween(c, port, s, 80, textBytes(request), kPush | kAck, cs + 1, ss + 1)});
    f.push_back({t += rtt + r.between(2'000, 30'000),
                 tcpBetween(s, 80, c, port, textBytes(response), kPush | kAck, ss + 1, cs + 1 + q)});
    f.push_back({t += 150, tcpBetween(c, port, s, 80, {}, kAck, cs + 1 + q, ss + 1 + p)});
    f.push_back({t += r.between(1'000, 5'000), tcpBetween(c, port, s, 80, {}, kFin | kAck, cs + 1 + q, ss + 1 + p)});
    f.push_back({t += rtt, tcpBetween(s, 80, c, port, {}, kFin | kAck, ss + 1 + p, cs + 2 + q)});
    f.push_back({t += 110, tcpBetween(c, port, s, 80, {}, kAck, cs + 2 + q, ss + 2 + p)});
    return f;
}

std::vector<TimedFrame> arp(const BackgroundPlan& b, Random& r)
{
    const Mac broadcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    Bytes reply = testsupport::arpRequest(b.peer.v4, b.client.v4, b.peer.mac);
    reply[7] = 2; // reply
    std::copy(b.client.mac.begin(), b.client.mac.end(), reply.begin() + 18);
    const Micros answer = b.start + r.between(150, 2'000);
    return {{b.start, testsupport::ethernet(testsupport::kEtherArp,
                                            testsupport::arpRequest(b.client.v4, b.peer.v4, b.client.mac),
                                            broadcast, b.client.mac)},
            {answer, testsupport::ethernet(testsupport::kEtherArp, reply, b.client.mac, b.peer.mac)}};
}

// ICMPv6 message with its checksum over the IPv6 pseudo header, in a frame.
Bytes icmpv6Frame(const Host& src, const Ipv6& dstAddress, const Mac& dstMac, Bytes message, uint8_t hopLimit = 64)
{
    message[2] = message[3] = 0;
    uint32_t sum = checksumAdd(src.v6.data(), 16, checksumAdd(dstAddress.data(), 16));
    sum += static_cast<uint32_t>(message.size()) + 58;
    const uint16_t c = checksumFold(checksumAdd(message.data(), message.size(), sum));
    message[2] = static_cast<uint8_t>(c >> 8);
    message[3] = static_cast<uint8_t>(c);
    Bytes frame = testsupport::ethernet(testsupport::kEtherIpv6, testsupport::ipv6(58, message, src.v6, dstAddress),
                                        dstMac, src.mac);
    frame[kIpv6HopLimitAt] = hopLimit;
    return frame;
}

std::vector<TimedFrame> echo(const BackgroundPlan& b, Random& r)
{
    const uint16_t id = static_cast<uint16_t>(r.next());
    const Micros rtt = r.between(300, 3'000);
    std::vector<TimedFrame> f;
    for (uint16_t seq = 1; seq <= 2; ++seq) {
        Bytes request(8 + 56);
        request[0] = 128;
        request[4] = static_cast<uint8_t>(id >> 8);
        request[5] = static_cast<uint8_t>(id);
        request[7] = static_cast<uint8_t>(seq);
        for (size_t i = 8; i < request.size(); ++i)
            request[i] = static_cast<uint8_t>(0x10 + i);
        Bytes reply = request;
        reply[0] = 129;
        const Micros t = b.start + (seq - 1) * 1'000'000;
        f.push_back({t, icmpv6Frame(b.client, b.peer.v6, b.peer.mac, request)});
        f.push_back({t + rtt, icmpv6Frame(b.peer, b.client.v6, b.client.mac, reply)});
    }
    return f;
}

std::vector<TimedFrame> neighborDiscovery(const BackgroundPlan& b, Random& r)
{
    const Ipv6& target = b.peer.v6;
    Ipv6 solicitedNode{0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xff, target[13], target[14], target[15]};
    const Mac multicastMac{0x33, 0x33, 0xff, target[13], target[14], target[15]};

    Bytes solicitation(32);
    solicitation[0] = 135;
    std::copy(target.begin(), target.end(), solicitation.begin() + 8);
    solicitation[24] = 1; // source link-layer address option
    solicitation[25] = 1;
    std::copy(b.client.mac.begin(), b.client.mac.end(), solicitation.begin() + 26);

    Bytes advertisement(32);
    advertisement[0] = 136;
    advertisement[4] = 0x60; // solicited, override
    std::copy(target.begin(), target.end(), advertisement.begin() + 8);
    advertisement[24] = 2; // target link-layer address option
    advertisement[25] = 1;
    std::copy(b.peer.mac.begin(), b.peer.mac.end(), advertisement.begin() + 26);

    return {{b.start, icmpv6Frame(b.client, solicitedNode, multicastMac, solicitation, 255)},
            {b.start + r.between(100, 1'500), icmpv6Frame(b.peer, b.client.v6, b.client.mac, advertisement, 255)}};
}

} // namespace

uint32_t BackgroundPlan::packetCount() const
{
    switch (kind) {
    case BackgroundKind::Http: return 9;
    case BackgroundKind::Arp: return 2;
    case BackgroundKind::Icmpv6Echo: return 4;
    case BackgroundKind::NeighborDiscovery: return 2;
    }
    return 0;
}

std::vector<TimedFrame> backgroundFrames(const BackgroundPlan& b)
{
    Random r(b.randomSeed);
    switch (b.kind) {
    case BackgroundKind::Http: return http(b, r);
    case BackgroundKind::Arp: return arp(b, r);
    case BackgroundKind::Icmpv6Echo: return echo(b, r);
    case BackgroundKind::NeighborDiscovery: return neighborDiscovery(b, r);
    }
    return {};
}

} // namespace gencap
