// What the generated capture holds, decided before any frame is built: one plan per call
// (hosts, users, codecs, dialog identifiers, message times, media streams) plus a little
// unrelated traffic beside it. Plans depend only on the seed and the call's index, and
// know exactly how many frames they become, so a packet budget can pick the call count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net.h"

namespace gencap {

constexpr uint16_t kSipPort = 5060;

// Microseconds since the Unix epoch.
using Micros = uint64_t;

struct AudioCodec {
    uint8_t payloadType;
    const char* encoding; // as in a=rtpmap, e.g. "PCMU/8000"
    uint32_t payloadSize; // bytes per 20 ms packet
};

const AudioCodec& audioCodec(uint8_t payloadType);

constexpr uint8_t kPtPcmu = 0;
constexpr uint8_t kPtGsm = 3;
constexpr uint8_t kPtPcma = 8;
constexpr uint8_t kPtG729 = 18;
constexpr uint8_t kPtH263 = 34;

constexpr Micros kAudioInterval = 20'000; // 20 ms of 8 kHz audio per packet
constexpr Micros kVideoInterval = 40'000; // 25 pictures per second
constexpr uint32_t kIntraPeriod = 50;     // an intra picture every two seconds
constexpr uint32_t kIntraPackets = 4;     // an intra picture spans this many packets

struct StreamPlan {
    Host src, dst;
    uint16_t srcPort = 0, dstPort = 0;
    uint8_t payloadType = 0;
    bool video = false;
    uint32_t ssrc = 0;
    uint16_t firstSequence = 0;
    uint32_t firstTimestamp = 0;
    uint32_t toneHz = 0; // audio tone carried by G.711 streams
    Micros start = 0;
    uint32_t units = 0; // audio: packets; video: pictures
    uint64_t randomSeed = 0;

    uint32_t packetCount() const;
};

enum class BackgroundKind { Http, Arp, Icmpv6Echo, NeighborDiscovery };

struct BackgroundPlan {
    BackgroundKind kind = BackgroundKind::Http;
    Micros start = 0;
    Host client;      // a host of the call network that takes part
    Host peer;        // the other side (web server, gateway, IPv6 neighbor)
    uint64_t randomSeed = 0;

    uint32_t packetCount() const;
};

struct CallPlan {
    uint64_t index = 0;
    Host caller, callee;
    std::string callerUser, callerName, calleeUser;
    uint16_t callerAudioPort = 0, calleeAudioPort = 0; // video uses the port above + 2
    uint8_t audioPayloadType = 0;
    bool video = false;
    bool busy = false;          // the callee answers 486 and no media flows
    bool calleeHangsUp = false; // who sends the BYE
    std::string callId, fromTag, toTag;
    std::string inviteBranch, ackBranch, byeBranch;
    uint64_t callerSession = 0, calleeSession = 0;

    Micros invite = 0, trying = 0, ringing = 0, answer = 0, ack = 0, bye = 0, byeOk = 0;
    std::vector<StreamPlan> streams;
    BackgroundPlan background;

    uint32_t signallingCount() const { return busy ? 5 : 7; }
    uint32_t packetCount() const;
};

struct PlanSettings {
    uint64_t seed = 1;
    double mediaSeconds = 6.0; // average media length of an answered call
    bool allIpv6 = false;
    Micros firstCall = 0;
};

// Plans calls one after the other; calls start 0.3 to 1.8 s apart, so several overlap.
class Planner {
public:
    explicit Planner(const PlanSettings& settings) : settings_(settings), nextStart_(settings.firstCall) {}
    CallPlan next();

private:
    PlanSettings settings_;
    uint64_t index_ = 0;
    Micros nextStart_;
};

} // namespace gencap
