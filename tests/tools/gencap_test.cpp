// corvane-gencap writes the same bytes for the same arguments, and what it writes decodes
// through Quarvel into the calls, media and other traffic it stands for; corvane-capsummary
// reports such a file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "capture_file.h"
#include "quarvel.h"

using namespace testsupport;

namespace {

struct Output {
    int status = -1;
    std::string text;
};

// Runs a command through the shell and collects its standard output.
Output run(const std::string& command)
{
    Output out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.text.append(buffer, n);
    const int status = pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

Output gencap(const std::string& output, const std::string& args)
{
    return run(std::string(GENCAP_PATH) + " " + quoted(output) + " " + args + " 2>/dev/null");
}

// The packet count the generator reports: "PATH: N packets, C calls".
uint64_t reportedPackets(const Output& out)
{
    const size_t at = out.text.rfind(": ");
    return at == std::string::npos ? 0 : std::stoull(out.text.substr(at + 2));
}

Bytes fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

struct Contents {
    uint64_t packets = 0;
    int32_t misses = 0;
    bool timeOrdered = true;
    int64_t lastTime = 0;
    uint64_t invites = 0, byes = 0, busy = 0, sipOverIpv6 = 0;
    uint64_t rtp = 0, rtpOverIpv6 = 0;
    std::set<int> payloadTypes;
    uint64_t arp = 0, tcpData = 0, icmpv6 = 0;
};

bool startsWith(const uint8_t* p, uint32_t n, const char* text)
{
    const size_t k = std::strlen(text);
    return n >= k && std::memcmp(p, text, k) == 0;
}

int32_t record(QvrPacket* packet, void* user)
{
    auto& c = *static_cast<Contents*>(user);
    ++c.packets;
    const int64_t t = int64_t{packet->ts_sec} * 1'000'000 + packet->ts_usec;
    c.timeOrdered = c.timeOrdered && t >= c.lastTime;
    c.lastTime = t;
    bool ipv6 = false;
    const HeaderNode* udp = nullptr;
    for (const HeaderNode* n = packet->head; n; n = n->next) {
        switch (n->kind) {
        case HN_IPV6: ipv6 = true; break;
        case HN_ARP: ++c.arp; break;
        case HN_ICMPV6: ++c.icmpv6; break;
        case HN_TCP_DATA: ++c.tcpData; break;
        case HN_UDP: udp = n; break;
        case HN_UDP_DATA: {
            if (!udp)
                break;
            const uint8_t* ports = packet->data + udp->offset;
            const bool sip = (ports[0] << 8 | ports[1]) == 5060 || (ports[2] << 8 | ports[3]) == 5060;
            const uint8_t* p = packet->data + n->offset;
            if (sip) {
                c.invites += startsWith(p, n->length, "INVITE ");
                c.byes += startsWith(p, n->length, "BYE ");
                c.busy += startsWith(p, n->length, "SIP/2.0 486 ");
                c.sipOverIpv6 += ipv6;
            } else if (n->length >= 12 && (p[0] & 0xC0) == 0x80) {
                ++c.rtp;
                c.rtpOverIpv6 += ipv6;
                c.payloadTypes.insert(p[1] & 0x7F);
            }
            break;
        }
        default: break;
        }
    }
    return 0;
}

Contents decode(const std::string& path)
{
    Contents c;
    Quarvel* module = nullptr;
    EXPECT_EQ(QvrCreateQuarvel(("file://" + path).c_str(), 0, nullptr, &module), QVR_OK);
    if (!module)
        return c;
    EXPECT_EQ(QvrRegisterHandler(module, record, &c), QVR_OK);
    EXPECT_EQ(QvrStartDispatchOfflinePacket(module), QVR_OK);
    EXPECT_EQ(QvrGetPacketMissCount(module, &c.misses), QVR_OK);
    QvrDeleteQuarvel(module);
    return c;
}

TEST(Gencap, SameArgumentsGiveTheSameBytes)
{
    TempPath a, b, other;
    ASSERT_EQ(gencap(a.str(), "--calls 5 --seed 42").status, 0);
    ASSERT_EQ(gencap(b.str(), "--calls 5 --seed 42").status, 0);
    ASSERT_EQ(gencap(other.str(), "--calls 5 --seed 43").status, 0);
    const Bytes first = fileBytes(a.str());
    EXPECT_GT(first.size(), 10'000u);
    EXPECT_EQ(first, fileBytes(b.str()));
    EXPECT_NE(first, fileBytes(other.str()));
}

TEST(Gencap, CallsDecodeIntoSignallingMediaAndOtherTraffic)
{
    // Six calls show every kind the generator makes: G.711 both laws, G.729 with H.263
    // video, GSM over IPv6, and a busy callee.
    TempPath file;
    const Output out = gencap(file.str(), "--calls 6 --duration 2 --seed 5");
    ASSERT_EQ(out.status, 0);
    const Contents c = decode(file.str());
    EXPECT_EQ(c.packets, reportedPackets(out));
    EXPECT_EQ(c.misses, 0);
    EXPECT_TRUE(c.timeOrdered);
    EXPECT_EQ(c.invites, 6u);
    EXPECT_EQ(c.busy, 1u);
    EXPECT_EQ(c.byes, 5u);
    EXPECT_GT(c.sipOverIpv6, 0u);
    EXPECT_GT(c.rtp, 500u);
    EXPECT_GT(c.rtpOverIpv6, 0u);
    EXPECT_EQ(c.payloadTypes, (std::set<int>{0, 3, 8, 18, 34}));
    EXPECT_GT(c.arp, 0u);
    EXPECT_GT(c.tcpData, 0u);
    EXPECT_GT(c.icmpv6, 0u);
}

TEST(Gencap, Ipv6OptionPutsEveryCallOnIpv6)
{
    TempPath file;
    ASSERT_EQ(gencap(file.str(), "--calls 3 --ipv6 --duration 1").status, 0);
    const Contents c = decode(file.str());
    EXPECT_EQ(c.invites, 3u);
    EXPECT_EQ(c.sipOverIpv6, 3u * 7u);
    EXPECT_EQ(c.rtpOverIpv6, c.rtp);
}

TEST(Gencap, PacketBudgetSizesTheCapture)
{
    TempPath file;
    const Output out = gencap(file.str(), "--packets 20000 --seed 3");
    ASSERT_EQ(out.status, 0);
    const Contents c = decode(file.str());
    EXPECT_EQ(c.packets, reportedPackets(out));
    // The last call that starts within the budget is written whole.
    EXPECT_GE(c.packets, 20'000u);
    EXPECT_LT(c.packets, 22'000u);
    EXPECT_TRUE(c.timeOrdered);
}

TEST(Gencap, BadArgumentsWriteNothing)
{
    TempPath file;
    ASSERT_EQ(std::remove(file.c_str()), 0);
    for (const char* args : {"--calls", "--calls 0", "--calls x", "--calls 2 --packets 10", "--seed -1",
                             "--duration 0", "--what", "other.pcap"}) {
        EXPECT_NE(gencap(file.str(), args).status, 0) << args;
        EXPECT_FALSE(fileExists(file.str())) << args;
    }
    EXPECT_NE(run(std::string(GENCAP_PATH) + " 2>/dev/null").status, 0);
}

TEST(Capsummary, ReportsCountsAndHeaderChains)
{
    TempPath file;
    const Output generated = gencap(file.str(), "--calls 4 --duration 1");
    ASSERT_EQ(generated.status, 0);
    const Output out = run(std::string(CAPSUMMARY_PATH) + " " + quoted(file.str()) + " --first 3");
    ASSERT_EQ(out.status, 0);
    EXPECT_NE(out.text.find("packets: " + std::to_string(reportedPackets(generated)) + " "), std::string::npos)
        << out.text;
    EXPECT_NE(out.text.find("misses: 0"), std::string::npos);
    EXPECT_NE(out.text.find("       1  2024-06-20 08:00:00.500000"), std::string::npos) << out.text;
    EXPECT_EQ(out.text.find("\n       4  "), std::string::npos);
    EXPECT_NE(out.text.find("ETH2 / IPv4 / UDP / Data"), std::string::npos);
    EXPECT_NE(out.text.find("ETH2 / IPv6 / UDP / Data"), std::string::npos);
    EXPECT_NE(out.text.find("ETH2 / ARP"), std::string::npos);
}

TEST(Capsummary, MissingFileFails)
{
    TempPath file;
    ASSERT_EQ(std::remove(file.c_str()), 0);
    EXPECT_NE(run(std::string(CAPSUMMARY_PATH) + " " + quoted(file.str()) + " 2>/dev/null").status, 0);
}

} // namespace
