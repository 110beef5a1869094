// The header chain decoder, frame by frame: which frames are delivered and with which
// chain, read from capture files through a real module.
#include <gtest/gtest.h>

#include "allocation_failures.h"
#include "decoded_capture.h"

using namespace testsupport;

namespace {

struct DecoderCase {
    const char* name;
    Bytes frame;
    std::vector<NodeView> chain; // empty: the frame is not delivered
    uint32_t linkType = 1;
};

Bytes ipv4Frame(uint8_t protocol, const Bytes& payload) { return ethernet(kEtherIpv4, ipv4(protocol, payload)); }
Bytes ipv6Frame(uint8_t nextHeader, const Bytes& payload) { return ethernet(kEtherIpv6, ipv6(nextHeader, payload)); }
Bytes cut(Bytes b, size_t size)
{
    b.resize(size);
    return b;
}
Bytes withByte(Bytes b, size_t at, uint8_t value)
{
    b[at] = value;
    return b;
}

const Bytes kIpv6ExtensionChain = ipv6Frame(0, ipv6Extension(43, 0) + ipv6Extension(17, 1) + udp(1, 2, {1, 2}));

std::vector<DecoderCase> decoderCases()
{
    return {
        // Link layer.
        {"ethernet_13_bytes", Bytes(13), {}},
        {"ethernet_14_bytes_ipv4_type", ethernet(kEtherIpv4, {}), {}},
        {"ethernet_14_bytes_unknown_type", ethernet(0x1234, {}), {}},
        {"ethernet_15_bytes_unknown_type", ethernet(0x1234, {7}), {{HN_ETHERNET, 0, 15}, {HN_DATA, 14, 1}}},
        {"vlan_tag_is_data", ethernet(0x8100, filler(10)), {{HN_ETHERNET, 0, 24}, {HN_DATA, 14, 10}}},
        {"arp", ethernet(kEtherArp, arpRequest({10, 0, 0, 1}, {10, 0, 0, 2})), {{HN_ETHERNET, 0, 42}, {HN_ARP, 14, 28}}},
        {"ppp", filler(30), {{HN_PPP, 0, 30}}, 9},
        {"pppoe", filler(30), {{HN_PPPOE, 0, 30}}, 51},
        {"atm", filler(30), {{HN_ATM, 0, 30}}, 11},
        {"fddi", filler(30), {{HN_FDDI, 0, 30}}, 10},
        {"tokenring_type_4", filler(30), {{HN_TOKENRING, 0, 30}}, 4},
        {"ieee80211", filler(30), {{HN_IEEE80211, 0, 30}}, 105},
        {"ieee8025_type_6_is_data", filler(30), {{HN_DATA, 0, 30}}, 6},
        {"unknown_link_type", filler(30), {{HN_DATA, 0, 30}}, 147},
        {"empty_frame_on_ppp", {}, {}, 9},
        // IPv4.
        {"udp_without_payload", ipv4Frame(17, udp(1, 2, {})), {{HN_ETHERNET, 0, 42}, {HN_IPV4, 14, 28}, {HN_UDP, 34, 8}}},
        {"udp_one_payload_byte", ipv4Frame(17, udp(1, 2, {9})),
         {{HN_ETHERNET, 0, 43}, {HN_IPV4, 14, 29}, {HN_UDP, 34, 9}, {HN_UDP_DATA, 42, 1}}},
        {"udp_under_8_bytes", ipv4Frame(17, filler(7)), {}},
        {"ipv4_options", ethernet(kEtherIpv4, ipv4(17, udp(1, 2, {1, 2}), {10, 0, 0, 1}, {10, 0, 0, 2}, 1)),
         {{HN_ETHERNET, 0, 48}, {HN_IPV4, 14, 34}, {HN_IPV4_OPTIONS, 34, 4}, {HN_UDP, 38, 10}, {HN_UDP_DATA, 46, 2}}},
        {"ipv4_under_20_bytes", ethernet(kEtherIpv4, withByte(filler(19), 0, 0x45)), {}},
        {"ipv4_wrong_version", withByte(ipv4Frame(17, udp(1, 2, {})), 14, 0x55), {}},
        {"ipv4_header_length_0_ip_in_ip", ethernet(kEtherIpv4, ipv4(4, filler(40), {1, 1, 1, 1}, {2, 2, 2, 2}, 0, 0)), {}},
        {"ipv4_header_length_16", ethernet(kEtherIpv4, ipv4(17, udp(1, 2, {}), {1, 1, 1, 1}, {2, 2, 2, 2}, 0, 4)), {}},
        {"icmpv4", ipv4Frame(1, filler(8)), {{HN_ETHERNET, 0, 42}, {HN_IPV4, 14, 28}, {HN_ICMPV4, 34, 8}}},
        {"unknown_ip_protocol", ipv4Frame(47, filler(4)), {{HN_ETHERNET, 0, 38}, {HN_IPV4, 14, 24}, {HN_DATA, 34, 4}}},
        {"ip_in_ip", ipv4Frame(4, ipv4(17, udp(1, 2, {}))),
         {{HN_ETHERNET, 0, 62}, {HN_IPV4, 14, 48}, {HN_IPV4, 34, 28}, {HN_UDP, 54, 8}}},
        {"ipv6_in_ipv4", ipv4Frame(41, ipv6(17, udp(1, 2, {1}))),
         {{HN_ETHERNET, 0, 83}, {HN_IPV4, 14, 69}, {HN_IPV6, 34, 49}, {HN_UDP, 74, 9}, {HN_UDP_DATA, 82, 1}}},
        // TCP.
        {"tcp_without_payload", ipv4Frame(6, tcp(1, 2, {})), {{HN_ETHERNET, 0, 54}, {HN_IPV4, 14, 40}, {HN_TCP, 34, 20}}},
        {"tcp_options_and_payload", ipv4Frame(6, tcp(1, 2, filler(10), 8)),
         {{HN_ETHERNET, 0, 76}, {HN_IPV4, 14, 62}, {HN_TCP, 34, 42}, {HN_TCP_OPTIONS, 54, 12}, {HN_TCP_DATA, 66, 10}}},
        {"tcp_under_20_bytes", ipv4Frame(6, filler(19)), {}},
        {"tcp_options_cut_short_stay_in_frame", ipv4Frame(6, cut(tcp(1, 2, {}, 15), 24)),
         {{HN_ETHERNET, 0, 58}, {HN_IPV4, 14, 44}, {HN_TCP, 34, 24}, {HN_TCP_OPTIONS, 54, 4}}},
        // IPv6 and its extension headers.
        {"ipv6_extension_chain", kIpv6ExtensionChain,
         {{HN_ETHERNET, 0, 88}, {HN_IPV6, 14, 74}, {HN_IPV6_HOPBYHOP, 54, 8}, {HN_IPV6_ROUTING, 62, 16},
          {HN_UDP, 78, 10}, {HN_UDP_DATA, 86, 2}}},
        {"ipv6_without_payload", ipv6Frame(17, {}), {}},
        {"ipv6_payload_length_mismatch", ipv6Frame(17, udp(1, 2, {})) + filler(4, 0), {}},
        {"ipv6_wrong_version", withByte(ipv6Frame(17, udp(1, 2, {})), 14, 0x40), {}},
        {"ipv6_no_next_header", ipv6Frame(59, {0}), {{HN_ETHERNET, 0, 55}, {HN_IPV6, 14, 41}}},
        {"later_fragment_stops_at_fragment_header", ipv6Frame(44, ipv6Fragment(17, 100, false) + Bytes{0x55}),
         {{HN_ETHERNET, 0, 63}, {HN_IPV6, 14, 49}, {HN_IPV6_FRAGMENT, 54, 8}}},
        {"later_fragment_without_following_byte", ipv6Frame(44, ipv6Fragment(17, 100, false)), {}},
        {"first_fragment_decoded_onwards", ipv6Frame(44, ipv6Fragment(17, 0, true) + udp(1, 2, {})),
         {{HN_ETHERNET, 0, 70}, {HN_IPV6, 14, 56}, {HN_IPV6_FRAGMENT, 54, 8}, {HN_UDP, 62, 8}}},
        {"extension_header_ends_at_frame_end", ipv6Frame(60, ipv6Extension(6, 0)), {}},
        {"esp_covers_rest", ipv6Frame(50, filler(16)), {{HN_ETHERNET, 0, 70}, {HN_IPV6, 14, 56}, {HN_ESP, 54, 16}}},
        {"authentication_header_then_tcp", ipv6Frame(51, authenticationHeader(6, 1) + tcp(1, 2, {})),
         {{HN_ETHERNET, 0, 86}, {HN_IPV6, 14, 72}, {HN_AH, 54, 12}, {HN_TCP, 66, 20}}},
        {"icmpv6", ipv6Frame(58, filler(8)), {{HN_ETHERNET, 0, 62}, {HN_IPV6, 14, 48}, {HN_ICMPV6, 54, 8}}},
        {"ipv6_in_ipv6", ipv6Frame(41, ipv6(17, udp(1, 2, {}))),
         {{HN_ETHERNET, 0, 102}, {HN_IPV6, 14, 88}, {HN_IPV6, 54, 48}, {HN_UDP, 94, 8}}},
        {"ipv6_next_header_4_is_data", ipv6Frame(4, filler(20)), {{HN_ETHERNET, 0, 74}, {HN_IPV6, 14, 60}, {HN_DATA, 54, 20}}},
        {"extension_length_past_frame_end", ipv6Frame(0, Bytes{17, 10, 0, 0, 0, 0, 0, 0}), {}},
        {"extension_fixed_fields_past_frame_end", ipv6Frame(0, Bytes{17}), {}},
        {"fragment_header_past_frame_end", ipv6Frame(44, Bytes{17, 0, 0, 0}), {}},
        {"authentication_header_past_frame_end", ipv6Frame(51, Bytes{6, 4, 0, 0, 0, 0, 0, 0}), {}},
    };
}

void PrintTo(const DecoderCase& c, std::ostream* os) { *os << c.name; }

class DecoderTable : public ::testing::TestWithParam<DecoderCase> {};

TEST_P(DecoderTable, DeliversExactlyTheExpectedChain)
{
    const DecoderCase& c = GetParam();
    const DecodedCapture decoded = decodeFrames({c.frame}, c.linkType);
    EXPECT_EQ(decoded.missCount, 0);
    if (c.chain.empty()) {
        EXPECT_TRUE(decoded.packets.empty()) << "frame was delivered";
        return;
    }
    ASSERT_EQ(decoded.packets.size(), 1u);
    const SeenPacket& p = decoded.packets[0];
    EXPECT_EQ(p.chain, c.chain);
    EXPECT_EQ(p.bytes, c.frame);
    for (const NodeView& n : p.chain)
        EXPECT_LE(uint64_t{n.offset} + n.length, p.bytes.size()) << "node " << n.kind << " reaches past the frame";
}

INSTANTIATE_TEST_SUITE_P(Frames, DecoderTable, ::testing::ValuesIn(decoderCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Decoder, DeliversFramesInFileOrderWithTheirTimestamps)
{
    const std::vector<Bytes> frames = {ipv4Frame(17, udp(1, 2, {1})), ethernet(0x1234, {2, 2}), ipv6Frame(59, {3})};
    const DecodedCapture decoded = decodeFrames(frames);
    ASSERT_EQ(decoded.packets.size(), 3u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(decoded.packets[i].bytes, frames[i]);
        EXPECT_EQ(decoded.packets[i].sec, static_cast<int32_t>(1000 + i));
        EXPECT_EQ(decoded.packets[i].usec, 500);
    }
}

TEST(Decoder, FrameShorterThanOnTheWireUsesTheCapturedBytes)
{
    const Bytes frame = ipv4Frame(17, udp(5060, 5060, filler(18)));
    TempPath file;
    {
        CaptureFileWriter writer(file.str(), 1, 60);
        writer.add(frame, 7, 8, 1500);
    }
    Quarvel* module = nullptr;
    ASSERT_EQ(QvrCreateQuarvel(file.source().c_str(), 0, nullptr, &module), QVR_OK);
    std::vector<NodeView> chain;
    uint32_t length = 0;
    struct Seen {
        std::vector<NodeView>* chain;
        uint32_t* length;
    } seen{&chain, &length};
    QvrRegisterHandler(
        module,
        [](QvrPacket* p, void* user) -> int32_t {
            auto* s = static_cast<Seen*>(user);
            *s->length = p->length;
            *s->chain = chainOf(*p);
            return 0;
        },
        &seen);
    QvrStartDispatchOfflinePacket(module);
    QvrDeleteQuarvel(module);
    EXPECT_EQ(length, frame.size());
    EXPECT_EQ(chain, (std::vector<NodeView>{{HN_ETHERNET, 0, 60}, {HN_IPV4, 14, 46}, {HN_UDP, 34, 26}, {HN_UDP_DATA, 42, 18}}));
}

TEST(Decoder, LongExtensionChainsKeepEveryNode)
{
    // More nodes than one block of the node pool holds, then an ordinary frame.
    Bytes extensions;
    const int count = 40;
    for (int i = 0; i < count; ++i)
        extensions = extensions + ipv6Extension(i + 1 < count ? 0 : 17, 0);
    const Bytes longFrame = ipv6Frame(0, extensions + udp(1, 2, {}));
    const DecodedCapture decoded = decodeFrames({longFrame, kIpv6ExtensionChain, longFrame});
    ASSERT_EQ(decoded.packets.size(), 3u);
    const auto& chain = decoded.packets[0].chain;
    ASSERT_EQ(chain.size(), size_t{count} + 3);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(chain[i + 2], (NodeView{HN_IPV6_HOPBYHOP, 54u + 8u * i, 8}));
    EXPECT_EQ(chain.back(), (NodeView{HN_UDP, 54u + 8u * count, 8}));
    EXPECT_EQ(decoded.packets[1].chain.size(), 6u);
    EXPECT_EQ(decoded.packets[2].chain, chain);
}

// A node that cannot be allocated, at any depth, drops exactly that frame and counts it.
class NodeAllocationFailure : public ::testing::TestWithParam<int> {};

TEST_P(NodeAllocationFailure, CountsOneMissAndDeliversNothingOfThatFrame)
{
    quarvel::testing::failNodeAllocations(1, GetParam());
    const DecodedCapture decoded = decodeFrames({kIpv6ExtensionChain, kIpv6ExtensionChain});
    quarvel::testing::failNodeAllocations(0);
    EXPECT_EQ(decoded.missCount, 1);
    ASSERT_EQ(decoded.packets.size(), 1u);
    EXPECT_EQ(decoded.packets[0].chain.size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(AtEveryNode, NodeAllocationFailure, ::testing::Range(0, 6));

TEST(Decoder, MissCountRisesByOnePerFailedFrame)
{
    quarvel::testing::failNodeAllocations(3);
    const DecodedCapture decoded =
        decodeFrames({kIpv6ExtensionChain, kIpv6ExtensionChain, kIpv6ExtensionChain, kIpv6ExtensionChain});
    quarvel::testing::failNodeAllocations(0);
    EXPECT_EQ(decoded.missCount, 3);
    EXPECT_EQ(decoded.packets.size(), 1u);
}

} // namespace
