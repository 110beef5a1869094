// Packet list row texts: frames are written to a capture file and read back through the
// dispatch library, so the texts are made from chains of the real decoder (and from the
// store copies the list shows later). Hand-made chains only stand for what the decoder
// never produces: unknown kind codes and nodes whose fields lie outside the frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "capture_file.h"
#include "frame_builder.h"
#include "packet_row_text.h"
#include "quarvel.h"
#include "quarvel_handles.h"

using namespace AnalyzerProject;
using namespace testsupport;

namespace {

struct TimedFrame {
    Bytes bytes;
    uint32_t sec = 0;
    uint32_t usec = 0;
};

struct Handled {
    uint32_t nextRow = 0;
    std::vector<PacketRowTexts> rows;
};

void ExpectSameTexts(const PacketRowTexts& a, const PacketRowTexts& b)
{
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.source, b.source);
    EXPECT_EQ(a.destination, b.destination);
    EXPECT_EQ(a.encapsulation, b.encapsulation);
}

// Makes the row texts of a delivered packet, checks that the single functions agree with
// them, and that a store copy of the packet gives the same texts.
int32_t MakeRow(QvrPacket* packet, void* user)
{
    auto* handled = static_cast<Handled*>(user);
    const uint32_t row = handled->nextRow++;
    PacketRowTexts texts = MakeRowTexts(row, *packet);

    EXPECT_EQ(texts.number, RowNumberText(row));
    EXPECT_EQ(texts.time, PacketTimeText(packet->ts_sec, packet->ts_usec));
    EXPECT_EQ(texts.encapsulation, EncapsulationText(*packet));
    const PacketAddresses addresses = PacketAddressTexts(*packet);
    EXPECT_EQ(texts.source, addresses.source);
    EXPECT_EQ(texts.destination, addresses.destination);

    QvrPacket* raw = nullptr;
    EXPECT_EQ(QvrPacketDuplicate(&raw, packet), QVR_OK);
    const PacketCopy copy(raw);
    if (copy)
        ExpectSameTexts(MakeRowTexts(row, *copy), texts);

    handled->rows.push_back(std::move(texts));
    return 0;
}

// The row texts of every packet delivered from a capture file of `linkType` holding `frames`.
std::vector<PacketRowTexts> DecodeRows(const std::vector<TimedFrame>& frames, uint32_t linkType = 1)
{
    TempPath file;
    {
        CaptureFileWriter writer(file.str(), linkType);
        for (const TimedFrame& f : frames)
            writer.add(f.bytes, f.sec, f.usec);
    }
    const QuarvelModule module = OpenModule(file.source().c_str(), 0, nullptr);
    if (!module) {
        ADD_FAILURE() << "cannot open " << file.str();
        return {};
    }
    Handled handled;
    EXPECT_EQ(QvrRegisterHandler(module.get(), MakeRow, &handled), QVR_OK);
    EXPECT_EQ(QvrStartDispatchOfflinePacket(module.get()), QVR_OK);
    return handled.rows;
}

std::optional<PacketRowTexts> DecodeRow(const Bytes& frame, uint32_t linkType = 1)
{
    std::vector<PacketRowTexts> rows = DecodeRows({{frame}}, linkType);
    if (rows.size() != 1)
        return std::nullopt;
    return rows.front();
}

uint16_t HeaderChecksum(const Bytes& b, size_t at, size_t size)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<uint32_t>(b[at + i] << 8 | b[at + i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

// Writes the identification of the IPv4 header at `at` and its checksum again.
Bytes WithIpv4Id(Bytes frame, size_t at, uint16_t id)
{
    frame[at + 4] = static_cast<uint8_t>(id >> 8);
    frame[at + 5] = static_cast<uint8_t>(id);
    const size_t headerSize = 4u * (frame[at] & 0x0F);
    frame[at + 10] = frame[at + 11] = 0;
    const uint16_t checksum = HeaderChecksum(frame, at, headerSize);
    frame[at + 10] = static_cast<uint8_t>(checksum >> 8);
    frame[at + 11] = static_cast<uint8_t>(checksum);
    return frame;
}

// Sets TZ for one test and restores it afterwards.
class ZoneOverride {
public:
    explicit ZoneOverride(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneOverride()
    {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

struct RowCase {
    const char* name;
    Bytes frame;
    uint32_t linkType;
    std::string encapsulation;
    std::string source;
    std::string destination;
};

const char* const kNone = " * ";
const Ipv6 kLinkLocal = ipv6FromText("fe80::1");
const Ipv6 kDocumentation = ipv6FromText("2001:db8::abcd");
const char* const kLinkLocalText = "fe80:0000:0000:0000:0000:0000:0000:0001";
const char* const kDocumentationText = "2001:0db8:0000:0000:0000:0000:0000:abcd";

std::vector<RowCase> DecodedCases()
{
    const Mac broadcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const Mac upperMac{0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xEF};
    std::vector<RowCase> cases;

    cases.push_back({"SIP over UDP, 214 bytes",
                     WithIpv4Id(udpFrame({192, 168, 1, 10}, 5060, {192, 168, 1, 20}, 5060, filler(172)), 14, 0x1234),
                     1, "ETH2,len:214;IPv4,id:4660;UDP,sport:5060,dport:5060;Data,len:172", "192.168.1.10",
                     "192.168.1.20"});
    cases.push_back({"TCP with 8 option bytes, no payload",
                     WithIpv4Id(ethernet(kEtherIpv4, ipv4(6, tcp(1025, 80, {}, 7, 0x02, 7, 0))), 14, 1), 1,
                     "ETH2,len:62;IPv4,id:1;TCP,sport:1025,dport:80,seq:7,ack:0;TCP Opt", "10.0.0.1", "10.0.0.2"});
    cases.push_back({"fields at their maximum print unsigned",
                     WithIpv4Id(ethernet(kEtherIpv4, ipv4(6, tcp(65535, 65535, textBytes("x"), 5, 0x10, 0xFFFFFFFF,
                                                                 0xFFFFFFFF),
                                                          {255, 255, 255, 255}, {0, 0, 0, 0})),
                                14, 0xFFFF),
                     1,
                     "ETH2,len:55;IPv4,id:65535;TCP,sport:65535,dport:65535,seq:4294967295,ack:4294967295;Data,len:1",
                     "255.255.255.255", "0.0.0.0"});
    cases.push_back({"ARP shows MAC addresses in lower case",
                     ethernet(kEtherArp, arpRequest({10, 0, 0, 1}, {10, 0, 0, 2}, upperMac), broadcast, upperMac), 1,
                     "ETH2,len:42;ARP", "00:1a:2b:c3:d4:ef", "ff:ff:ff:ff:ff:ff"});
    cases.push_back({"unknown ethertype", ethernet(0x88B5, filler(46)), 1, "ETH2,len:60;UNKNOWN_TYPE",
                     "00:66:77:88:99:aa", "00:11:22:33:44:55"});
    cases.push_back({"IPv4 with an unknown protocol keeps IPv4 addresses",
                     ethernet(kEtherIpv4, ipv4(47, filler(12), {192, 0, 2, 7}, {192, 0, 2, 8})), 1,
                     "ETH2,len:46;IPv4,id:0;UNKNOWN_TYPE", "192.0.2.7", "192.0.2.8"});
    cases.push_back({"UDP without payload has no Data node", ethernet(kEtherIpv4, ipv4(17, udp(53, 53, {}))), 1,
                     "ETH2,len:42;IPv4,id:0;UDP,sport:53,dport:53", "10.0.0.1", "10.0.0.2"});
    cases.push_back({"IPv4 options and ICMP", ethernet(kEtherIpv4, ipv4(1, filler(8), {10, 0, 0, 1}, {10, 0, 0, 2}, 1)),
                     1, "ETH2,len:46;IPv4,id:0;IPv4 Opt;ICMPv4", "10.0.0.1", "10.0.0.2"});
    cases.push_back({"IPv6 in IPv4 shows the IPv4 addresses",
                     ethernet(kEtherIpv4, ipv4(41, ipv6(17, udp(1000, 2000, filler(4)), kLinkLocal, kDocumentation),
                                               {192, 0, 2, 1}, {198, 51, 100, 2})),
                     1, "ETH2,len:86;IPv4,id:0;IPv6;UDP,sport:1000,dport:2000;Data,len:4", "192.0.2.1",
                     "198.51.100.2"});
    {
        const Bytes inner = ipv4(17, udp(5060, 5062, filler(10)), {10, 1, 1, 1}, {10, 2, 2, 2});
        const Bytes frame = ethernet(kEtherIpv4, ipv4(4, inner, {172, 16, 0, 1}, {172, 16, 0, 2}));
        cases.push_back({"IPv4 in IPv4 shows the inner addresses and both headers",
                         WithIpv4Id(WithIpv4Id(frame, 14, 0x0102), 34, 0x0304), 1,
                         "ETH2,len:72;IPv4,id:258;IPv4,id:772;UDP,sport:5060,dport:5062;Data,len:10", "10.1.1.1",
                         "10.2.2.2"});
    }
    cases.push_back({"IPv6 addresses are never shortened",
                     udpFrame6(kLinkLocal, 5060, kDocumentation, 5060, filler(20)), 1,
                     "ETH2,len:82;IPv6;UDP,sport:5060,dport:5060;Data,len:20", kLinkLocalText, kDocumentationText});
    cases.push_back({"IPv6 in IPv6 shows the inner addresses",
                     ethernet(kEtherIpv6, ipv6(41, ipv6(58, filler(8), kLinkLocal, kDocumentation))), 1,
                     "ETH2,len:102;IPv6;IPv6;ICMPv6", kLinkLocalText, kDocumentationText});
    cases.push_back({"IPv4 in IPv6 is undecoded and keeps IPv6 addresses",
                     ethernet(kEtherIpv6, ipv6(4, ipv4(17, udp(1, 2, {})))), 1, "ETH2,len:82;IPv6;UNKNOWN_TYPE",
                     "2001:0db8:0000:0000:0000:0000:0000:0001", "2001:0db8:0000:0000:0000:0000:0000:0002"});
    cases.push_back({"IPv6 extension headers",
                     ethernet(kEtherIpv6, ipv6(0, ipv6Extension(43, 0) + ipv6Extension(60, 1) + ipv6Extension(44, 0) +
                                                      ipv6Fragment(51, 0, true) + authenticationHeader(50, 1) +
                                                      filler(16))),
                     1, "ETH2,len:122;IPv6;HBH Opt;RT;DST Opt;Fragment;AH;ESP",
                     "2001:0db8:0000:0000:0000:0000:0000:0001", "2001:0db8:0000:0000:0000:0000:0000:0002"});
    cases.push_back({"TCP payload over IPv6",
                     ethernet(kEtherIpv6, ipv6(6, tcp(5060, 5061, textBytes("SIP/2.0"), 5, 0x18, 100, 200),
                                               kDocumentation, kLinkLocal)),
                     1, "ETH2,len:81;IPv6;TCP,sport:5060,dport:5061,seq:100,ack:200;Data,len:7", kDocumentationText,
                     kLinkLocalText});

    // Links other than Ethernet: one node, no addresses, whatever the frame holds.
    const Bytes ipPacket = ipv4(17, udp(5060, 5060, filler(20)));
    cases.push_back({"PPP link", Bytes{0xff, 0x03, 0x00, 0x21} + ipPacket, 9, "PPP", kNone, kNone});
    cases.push_back({"PPPoE link", ipPacket, 51, "PPPoE", kNone, kNone});
    cases.push_back({"ATM link", ipPacket, 11, "ATM", kNone, kNone});
    cases.push_back({"FDDI link", ipPacket, 10, "FDDI", kNone, kNone});
    cases.push_back({"Token Ring link", ipPacket, 4, "TokenRing", kNone, kNone});
    cases.push_back({"802.11 link", ipPacket, 105, "802.11", kNone, kNone});
    cases.push_back({"unknown link type", ipPacket, 147, "UNKNOWN_TYPE", kNone, kNone});
    return cases;
}

// A chain built by hand over `frame`, for what the decoder never produces.
struct HandChain {
    Bytes frame;
    std::vector<HeaderNode> nodes;
    QvrPacket packet{};

    HandChain(Bytes bytes, std::vector<HeaderNode> chain) : frame(std::move(bytes)), nodes(std::move(chain))
    {
        for (size_t i = 0; i + 1 < nodes.size(); ++i)
            nodes[i].next = &nodes[i + 1];
        if (!nodes.empty())
            nodes.back().next = nullptr;
        packet.data = frame.empty() ? nullptr : frame.data();
        packet.length = static_cast<uint32_t>(frame.size());
        packet.head = nodes.empty() ? nullptr : &nodes.front();
        packet.tail = nodes.empty() ? nullptr : &nodes.back();
    }
    HandChain(const HandChain&) = delete;
    HandChain& operator=(const HandChain&) = delete;
};

} // namespace

TEST(PacketRowText, DecodedFramesGiveTheirRowTexts)
{
    for (const RowCase& c : DecodedCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<PacketRowTexts> row = DecodeRow(c.frame, c.linkType);
        ASSERT_TRUE(row) << "frame not delivered";
        EXPECT_EQ(row->number, "0");
        EXPECT_EQ(row->encapsulation, c.encapsulation);
        EXPECT_EQ(row->source, c.source);
        EXPECT_EQ(row->destination, c.destination);
    }
}

TEST(PacketRowText, RowNumbersFollowDeliveryAndTimesAreLocal)
{
    const ZoneOverride zone("UTC");
    const Bytes frame = udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060, filler(4));
    const std::vector<PacketRowTexts> rows =
        DecodeRows({{frame, 1083414896, 123}, {frame, 0, 0}, {frame, 1083414896, 999999}});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].number, "0");
    EXPECT_EQ(rows[1].number, "1");
    EXPECT_EQ(rows[2].number, "2");
    EXPECT_EQ(rows[0].time, "2004/05/01 12:34:56.000123 \n");
    EXPECT_EQ(rows[1].time, "1970/01/01 00:00:00.000000 \n");
    EXPECT_EQ(rows[2].time, "2004/05/01 12:34:56.999999 \n");
}

TEST(PacketRowText, TimeTextFollowsTheLocalZone)
{
    struct TimeCase {
        const char* zone;
        int32_t sec;
        int32_t usec;
        const char* text;
    };
    // A POSIX zone rule needs no zone database: central Europe, summer time from the last
    // Sunday of March to the last Sunday of October.
    const char* const europe = "CET-1CEST,M3.5.0,M10.5.0/3";
    const TimeCase cases[] = {
        {"UTC", 1083414896, 123, "2004/05/01 12:34:56.000123 \n"},
        {europe, 1083407696, 123, "2004/05/01 12:34:56.000123 \n"}, // summer, UTC+2
        {europe, 1074164400, 5, "2004/01/15 12:00:00.000005 \n"},   // winter, UTC+1
        {"UTC", -1, 0, "1969/12/31 23:59:59.000000 \n"},
        {"UTC", 2147483647, 0, "2038/01/19 03:14:07.000000 \n"},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.sec));
        const ZoneOverride zone(c.zone);
        EXPECT_EQ(PacketTimeText(c.sec, c.usec), c.text);
    }
}

TEST(PacketRowText, RowNumbersAreUnsignedDecimal)
{
    EXPECT_EQ(RowNumberText(0), "0");
    EXPECT_EQ(RowNumberText(10), "10");
    EXPECT_EQ(RowNumberText(2147483648u), "2147483648");
    EXPECT_EQ(RowNumberText(4294967295u), "4294967295");
}

TEST(PacketRowText, KindsTheDecoderNeverMakesHaveTheirLabels)
{
    const HandChain chain(filler(64), {{HN_IEEE8023, 64, 0, nullptr},
                                       {26, 64, 0, nullptr},
                                       {1000, 64, 0, nullptr},
                                       {-1, 64, 0, nullptr},
                                       {HN_DATA, 64, 0, nullptr}});
    const PacketRowTexts row = MakeRowTexts(3, chain.packet);
    EXPECT_EQ(row.encapsulation, "IEEE 802.3;UNKNOWN_TYPE;UNKNOWN_TYPE;UNKNOWN_TYPE;UNKNOWN_TYPE");
    EXPECT_EQ(row.source, " * ");
    EXPECT_EQ(row.destination, " * ");
    EXPECT_EQ(row.number, "3");
}

TEST(PacketRowText, FieldsOutsideTheFrameAreLeftOut)
{
    struct OutsideCase {
        const char* name;
        Bytes frame;
        std::vector<HeaderNode> nodes;
        const char* encapsulation;
        const char* source;
        const char* destination;
    };
    Bytes shortIp = ethernet(kEtherIpv4, filler(6, 0));
    shortIp[18] = 0x12;
    shortIp[19] = 0x34;
    const OutsideCase cases[] = {
        {"empty chain", filler(60), {}, "", " * ", " * "},
        // The identification fits, the addresses do not; nodes after it start past the end
        // or reach past it; lengths are printed as the nodes carry them.
        {"cut IPv4 header",
         shortIp,
         {{HN_ETHERNET, 20, 0, nullptr},
          {HN_IPV4, 6, 14, nullptr},
          {HN_TCP, 0, 34, nullptr},
          {HN_UDP, 2, 18, nullptr},
          {HN_UDP_DATA, 999, 4000000000u, nullptr}},
         "ETH2,len:20;IPv4,id:4660;TCP;UDP;Data,len:999",
         " * ",
         " * "},
        {"offsets near the top of the range",
         filler(64),
         {{HN_ETHERNET, 64, 0, nullptr}, {HN_IPV4, 1, 0xFFFFFFFFu, nullptr}, {HN_TCP, 1, 0xFFFFFFF8u, nullptr}},
         "ETH2,len:64;IPv4;TCP",
         " * ",
         " * "},
        {"Ethernet header cut before the source address",
         filler(10),
         {{HN_ETHERNET, 10, 0, nullptr}},
         "ETH2,len:10",
         " * ",
         " * "},
        {"IPv6 addresses past the end", filler(50), {{HN_ETHERNET, 50, 0, nullptr}, {HN_IPV6, 36, 14, nullptr}},
         "ETH2,len:50;IPv6", " * ", " * "},
        {"no frame bytes at all", {}, {{HN_ETHERNET, 0, 0, nullptr}, {HN_UDP, 0, 0, nullptr}}, "ETH2,len:0;UDP",
         " * ", " * "},
    };
    for (const OutsideCase& c : cases) {
        SCOPED_TRACE(c.name);
        const HandChain chain(c.frame, c.nodes);
        const PacketRowTexts row = MakeRowTexts(0, chain.packet);
        EXPECT_EQ(row.encapsulation, c.encapsulation);
        EXPECT_EQ(row.source, c.source);
        EXPECT_EQ(row.destination, c.destination);
        EXPECT_EQ(EncapsulationText(chain.packet), c.encapsulation);
    }
}
