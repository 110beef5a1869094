#include "plan.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "random.h"

namespace gencap {

namespace {

const AudioCodec kCodecs[] = {
    {kPtPcmu, "PCMU/8000", 160},
    {kPtPcma, "PCMA/8000", 160},
    {kPtG729, "G729/8000", 20},
    {kPtGsm, "GSM/8000", 33},
};

const char* const kNames[] = {"Alice", "Bruno", "Chen",  "Dana", "Emil", "Farah", "Gita",  "Hugo",
                              "Ines",  "Jonas", "Kira",  "Liam", "Mona", "Nils",  "Olga",  "Pavel"};

// Caller hosts live in 192.168.1.0/24 or 2001:db8:1::/64, callees in the ".2" networks.
Host poolHost(uint8_t network, uint32_t number, bool ipv6)
{
    if (!ipv6)
        return Host::fromIpv4({192, 168, network, static_cast<uint8_t>(10 + number)});
    Ipv6 a{0x20, 0x01, 0x0d, 0xb8, 0x00, network};
    a[14] = static_cast<uint8_t>((0x10 + number) >> 8);
    a[15] = static_cast<uint8_t>(0x10 + number);
    return Host::fromIpv6(a);
}

const Host& gateway()
{
    static const Host h = Host::fromIpv4({192, 168, 1, 1});
    return h;
}

uint16_t evenPort(Random& r) { return static_cast<uint16_t>(r.between(5000, 9999) * 2); }

BackgroundPlan planBackground(uint64_t index, Random& r, Micros callStart)
{
    BackgroundPlan b;
    b.kind = static_cast<BackgroundKind>(index % 4);
    b.start = callStart + r.between(50'000, 900'000);
    b.randomSeed = r.next();
    const uint32_t a = static_cast<uint32_t>(r.between(0, 199));
    uint32_t c = static_cast<uint32_t>(r.between(0, 198));
    c += c >= a; // a different host of the same network
    switch (b.kind) {
    case BackgroundKind::Http:
        b.client = poolHost(1, a, false);
        b.peer = Host::fromIpv4({203, 0, 113, static_cast<uint8_t>(80 + r.between(0, 15))});
        b.peer.mac = gateway().mac; // off-link: frames go through the router
        break;
    case BackgroundKind::Arp:
        b.client = poolHost(1, a, false);
        b.peer = gateway();
        break;
    case BackgroundKind::Icmpv6Echo:
        b.client = poolHost(1, a, true);
        b.peer = poolHost(2, c, true);
        break;
    case BackgroundKind::NeighborDiscovery:
        b.client = poolHost(1, a, true);
        b.peer = poolHost(1, c, true);
        break;
    }
    return b;
}

StreamPlan stream(const Host& src, uint16_t srcPort, const Host& dst, uint16_t dstPort, uint8_t pt, Micros start,
                  uint32_t units, Random& r)
{
    StreamPlan s;
    s.src = src;
    s.dst = dst;
    s.srcPort = srcPort;
    s.dstPort = dstPort;
    s.payloadType = pt;
    s.video = pt == kPtH263;
    s.ssrc = r.next32();
    s.firstSequence = static_cast<uint16_t>(r.next());
    s.firstTimestamp = r.next32();
    s.toneHz = static_cast<uint32_t>(300 + 25 * r.between(0, 20));
    s.start = start;
    s.units = units;
    s.randomSeed = r.next();
    return s;
}

} // namespace

const AudioCodec& audioCodec(uint8_t payloadType)
{
    for (const AudioCodec& c : kCodecs)
        if (c.payloadType == payloadType)
            return c;
    return kCodecs[0];
}

uint32_t StreamPlan::packetCount() const
{
    if (!video)
        return units;
    const uint32_t intra = (units + kIntraPeriod - 1) / kIntraPeriod;
    return units + intra * (kIntraPackets - 1);
}

uint32_t CallPlan::packetCount() const
{
    uint32_t n = signallingCount() + background.packetCount();
    for (const StreamPlan& s : streams)
        n += s.packetCount();
    return n;
}

CallPlan Planner::next()
{
    const uint64_t i = index_++;
    Random r = Random::forItem(settings_.seed, i);
    CallPlan c;
    c.index = i;

    // Mix of call kinds by index, so that a few calls already show every kind.
    const bool ipv6 = settings_.allIpv6 || i % 5 == 3;
    c.audioPayloadType = kCodecs[i % 4].payloadType;
    c.video = i % 3 == 2;
    c.busy = i % 7 == 5;
    c.calleeHangsUp = r.next() & 1;

    const uint32_t callerNumber = static_cast<uint32_t>(r.between(0, 199));
    const uint32_t calleeNumber = static_cast<uint32_t>(r.between(0, 199));
    c.caller = poolHost(1, callerNumber, ipv6);
    c.callee = poolHost(2, calleeNumber, ipv6);
    c.callerUser = std::to_string(1000 + callerNumber);
    c.calleeUser = std::to_string(2000 + calleeNumber);
    c.callerName = kNames[r.between(0, std::size(kNames) - 1)];
    c.callerAudioPort = evenPort(r);
    c.calleeAudioPort = evenPort(r);

    // One draw per statement: compilers evaluate the operands of one expression in any order.
    const std::string callIdHead = r.hex(16);
    const std::string callIdTail = r.hex(8);
    c.callId = callIdHead + "-" + callIdTail + "@" + c.caller.uriHost();
    c.fromTag = r.hex(10);
    c.toTag = r.hex(10);
    c.inviteBranch = "z9hG4bK" + r.hex(16);
    c.ackBranch = "z9hG4bK" + r.hex(16);
    c.byeBranch = "z9hG4bK" + r.hex(16);
    c.callerSession = r.between(100000, 999999999);
    c.calleeSession = r.between(100000, 999999999);

    c.invite = nextStart_;
    c.trying = c.invite + r.between(1'500, 8'000);
    c.ringing = c.trying + r.between(80'000, 400'000);
    c.answer = c.ringing + r.between(800'000, 3'000'000);
    c.ack = c.answer + r.between(2'000, 12'000);
    if (!c.busy) {
        // Media length: the average from the settings, varied by half either way, in
        // whole video pictures so that audio and video streams end together.
        const double scale = 0.5 + static_cast<double>(r.between(0, 1000)) / 1000.0;
        const Micros media = std::max<Micros>(kVideoInterval, static_cast<Micros>(std::llround(
                                 settings_.mediaSeconds * scale * 1e6 / kVideoInterval)) * kVideoInterval);
        const Micros calleeFirst = c.answer + r.between(5'000, 20'000);
        const Micros callerFirst = c.ack + r.between(1'000, 10'000);
        const uint32_t audioPackets = static_cast<uint32_t>(media / kAudioInterval);
        const uint8_t pt = c.audioPayloadType;
        c.streams.push_back(stream(c.caller, c.callerAudioPort, c.callee, c.calleeAudioPort, pt, callerFirst,
                                   audioPackets, r));
        c.streams.push_back(stream(c.callee, c.calleeAudioPort, c.caller, c.callerAudioPort, pt, calleeFirst,
                                   audioPackets, r));
        if (c.video) {
            const uint32_t pictures = static_cast<uint32_t>(media / kVideoInterval);
            c.streams.push_back(stream(c.caller, c.callerAudioPort + 2, c.callee, c.calleeAudioPort + 2, kPtH263,
                                       callerFirst + r.between(1'000, 15'000), pictures, r));
            c.streams.push_back(stream(c.callee, c.calleeAudioPort + 2, c.caller, c.callerAudioPort + 2, kPtH263,
                                       calleeFirst + r.between(1'000, 15'000), pictures, r));
        }
        c.bye = std::max(callerFirst, calleeFirst) + media + r.between(5'000, 60'000);
        c.byeOk = c.bye + r.between(1'500, 8'000);
    }
    c.background = planBackground(i, r, c.invite);

    nextStart_ += r.between(300'000, 1'800'000);
    return c;
}

} // namespace gencap
