// Address texts: the IPv6 shortening rules with their quirks, IPv4 without padding, null
// pointers, and texts that are not full IPv6 addresses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "iputil.h"

using namespace AnalyzerProject;

namespace {

struct ShortenCase {
    const char* full;
    const char* shortened;
};

const ShortenCase kShortenCases[] = {
    {"fe80:0000:0000:0000:0202:b3ff:fe1e:8329", "fe80::202:b3ff:fe1e:8329"},
    {"0000:0000:0000:0000:0000:0000:0000:0001", "::1"},
    {"0000:0000:0000:0000:0000:0000:0000:0000", "::"},
    {"0001:0000:0000:0000:0000:0000:0000:0000", "1::"},
    {"2001:0db8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
    {"0000:0001:0002:0003:0004:0005:0006:0007", "0:1:2:3:4:5:6:7"},
    {"0001:0000:0002:0003:0004:0005:0006:0007", "1::2:3:4:5:6:7"},
    {"0001:0002:0003:0004:0005:0006:0007:0000", "1:2:3:4:5:6:7:0"},
    {"0001:0002:0003:0004:0005:0006:0000:0000", "1:2:3:4:5:6::"},
    {"0001:0000:0002:0000:0000:0000:0000:0003", "1::2:0:0:0:0:3"},
    {"0001:0000:0000:0002:0003:0004:0005:0000", "1::2:3:4:5:0"},
    // More of the same rules.
    {"0000:0000:0001:0002:0003:0004:0005:0006", "::1:2:3:4:5:6"},
    {"2001:0db8:0a00:00f0:0000:0000:0000:0000", "2001:db8:a00:f0::"},
    {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
};

// Bytes of a full text of eight groups.
std::vector<uint8_t> BytesOf(const char* full)
{
    std::vector<uint8_t> bytes;
    for (const char* p = full; *p; p += 5) {
        const unsigned value = std::stoul(std::string(p, 4), nullptr, 16);
        bytes.push_back(static_cast<uint8_t>(value >> 8));
        bytes.push_back(static_cast<uint8_t>(value & 0xff));
        if (!p[4])
            break;
    }
    return bytes;
}

} // namespace

TEST(IpUtil, ShortensEveryFullTextAndAddress)
{
    for (const ShortenCase& c : kShortenCases) {
        SCOPED_TRACE(c.full);
        char out[IPV6_TEXT_SIZE];
        std::memset(out, 'X', sizeof out);
        ASSERT_EQ(ShortenIPv6Text(c.full, out), 0);
        EXPECT_STREQ(out, c.shortened);

        const std::vector<uint8_t> bytes = BytesOf(c.full);
        ASSERT_EQ(bytes.size(), 16u);
        std::memset(out, 'X', sizeof out);
        ASSERT_EQ(IPv6ToText(bytes.data(), out), 0);
        EXPECT_STREQ(out, c.shortened);
        EXPECT_EQ(IPv6ToString(bytes.data()), c.shortened);

        // In place: the same buffer as input and output.
        char inPlace[IPV6_TEXT_SIZE];
        std::strcpy(inPlace, c.full);
        ASSERT_EQ(ShortenIPv6Text(inPlace, inPlace), 0);
        EXPECT_STREQ(inPlace, c.shortened);
    }
}

TEST(IpUtil, IPv4IsDottedDecimalWithoutPadding)
{
    const struct {
        uint8_t bytes[4];
        const char* text;
    } cases[] = {
        {{10, 0, 0, 255}, "10.0.0.255"},
        {{0, 0, 0, 0}, "0.0.0.0"},
        {{255, 255, 255, 255}, "255.255.255.255"},
        {{192, 168, 1, 2}, "192.168.1.2"},
    };
    for (const auto& c : cases) {
        char out[IPV4_TEXT_SIZE];
        ASSERT_EQ(IPv4ToText(c.bytes, out), 0);
        EXPECT_STREQ(out, c.text);
        EXPECT_EQ(IPv4ToString(c.bytes), c.text);
    }
}

TEST(IpUtil, NullPointersWriteNothing)
{
    const uint8_t bytes[16] = {};
    char out[IPV6_TEXT_SIZE] = "untouched";
    EXPECT_EQ(IPv4ToText(nullptr, out), -1);
    EXPECT_EQ(IPv4ToText(bytes, nullptr), -1);
    EXPECT_EQ(IPv6ToText(nullptr, out), -1);
    EXPECT_EQ(IPv6ToText(bytes, nullptr), -1);
    EXPECT_EQ(ShortenIPv6Text(nullptr, out), -1);
    EXPECT_EQ(ShortenIPv6Text("0000:0000", nullptr), -1);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(IPv4ToString(nullptr), "");
    EXPECT_EQ(IPv6ToString(nullptr), "");
}

TEST(IpUtil, OtherTextsStayWithinTheBuffer)
{
    const ShortenCase cases[] = {
        {"", ""},
        {"0", "0"},
        {"0000", "0"},
        {"0:0", "::"},
        {"0:1", "0:1"},
        {"1:0", "1:0"},
        {"::", "::"},
        {"1::2", "1::2"},
        {"0:", "0:"},
        {"00:00:00:", "::"},
        {"fe80::1", "fe80::1"},
        {"0001:0000:0000", "1::"},
    };
    for (const ShortenCase& c : cases) {
        SCOPED_TRACE(c.full);
        char out[IPV6_TEXT_SIZE];
        ASSERT_EQ(ShortenIPv6Text(c.full, out), 0);
        EXPECT_STREQ(out, c.shortened);
    }

    // Longer texts are cut at 39 characters; the bytes after the terminator stay as they were.
    const std::string longTexts[] = {std::string(200, 'a'), std::string(200, ':'), "1:" + std::string(100, '0'),
                                     "0:" + std::string(100, '1'), std::string(30, '0') + ":" + std::string(30, 'f')};
    for (const std::string& text : longTexts) {
        char out[IPV6_TEXT_SIZE + 8];
        std::memset(out, 'Z', sizeof out);
        ASSERT_EQ(ShortenIPv6Text(text.c_str(), out), 0);
        EXPECT_LE(std::strlen(out), 39u);
        for (size_t i = IPV6_TEXT_SIZE; i < sizeof out; ++i)
            EXPECT_EQ(out[i], 'Z');
    }
}

TEST(IpUtil, SameAddressSameText)
{
    const uint8_t a[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    uint8_t b[16];
    std::memcpy(b, a, sizeof b);
    EXPECT_EQ(IPv6ToString(a), IPv6ToString(b));
    EXPECT_EQ(IPv6ToString(a), "2001:db8::1");
}
