#include "packet_row_text.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <utility>

namespace AnalyzerProject {

namespace {

constexpr const char* kNodeLabels[] = {
    UNKNOWN_NODE_TEXT, // HN_DATA
    "ETH2",            // HN_ETHERNET
    "IEEE 802.3",      // HN_IEEE8023
    "PPP",             // HN_PPP
    "PPPoE",           // HN_PPPOE
    "ATM",             // HN_ATM
    "FDDI",            // HN_FDDI
    "TokenRing",       // HN_TOKENRING
    "802.11",          // HN_IEEE80211
    "ARP",             // HN_ARP
    "IPv4",            // HN_IPV4
    "IPv4 Opt",        // HN_IPV4_OPTIONS
    "ICMPv4",          // HN_ICMPV4
    "IPv6",            // HN_IPV6
    "HBH Opt",         // HN_IPV6_HOPBYHOP
    "RT",              // HN_IPV6_ROUTING
    "Fragment",        // HN_IPV6_FRAGMENT
    "DST Opt",         // HN_IPV6_DSTOPTS
    "ICMPv6",          // HN_ICMPV6
    "AH",              // HN_AH
    "ESP",             // HN_ESP
    "TCP",             // HN_TCP
    "TCP Opt",         // HN_TCP_OPTIONS
    "Data",            // HN_TCP_DATA
    "UDP",             // HN_UDP
    "Data",            // HN_UDP_DATA
};
static_assert(sizeof kNodeLabels / sizeof kNodeLabels[0] == HN_UDP_DATA + 1);

constexpr char kHexDigits[] = "0123456789abcdef";

// The `size` bytes at `offset` of the frame, or null when they do not all lie inside it.
const uint8_t* FieldBytes(const QvrPacket& packet, uint32_t offset, uint32_t size)
{
    if (!packet.data || offset > packet.length || size > packet.length - offset)
        return nullptr;
    return packet.data + offset;
}

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

void AppendNumber(std::string& out, uint32_t value)
{
    char buffer[10];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendField(std::string& out, const char* name, uint32_t value)
{
    out += name;
    AppendNumber(out, value);
}

void AppendNodeText(std::string& out, const QvrPacket& packet, const HeaderNode& node)
{
    out += NodeKindLabel(node.kind);
    switch (node.kind) {
    case HN_ETHERNET:
    case HN_TCP_DATA:
    case HN_UDP_DATA:
        AppendField(out, ",len:", node.length);
        break;
    case HN_IPV4:
        if (const uint8_t* p = FieldBytes(packet, node.offset, 6))
            AppendField(out, ",id:", Read16(p + 4));
        break;
    case HN_TCP:
        if (const uint8_t* p = FieldBytes(packet, node.offset, 12)) {
            AppendField(out, ",sport:", Read16(p));
            AppendField(out, ",dport:", Read16(p + 2));
            AppendField(out, ",seq:", Read32(p + 4));
            AppendField(out, ",ack:", Read32(p + 8));
        }
        break;
    case HN_UDP:
        if (const uint8_t* p = FieldBytes(packet, node.offset, 4)) {
            AppendField(out, ",sport:", Read16(p));
            AppendField(out, ",dport:", Read16(p + 2));
        }
        break;
    default:
        break;
    }
}

std::string MacText(const uint8_t* p)
{
    std::string text(17, ':');
    for (size_t i = 0; i < 6; ++i) {
        text[3 * i] = kHexDigits[p[i] >> 4];
        text[3 * i + 1] = kHexDigits[p[i] & 0x0F];
    }
    return text;
}

std::string Ipv4Text(const uint8_t* p)
{
    std::string text;
    text.reserve(15);
    for (size_t i = 0; i < 4; ++i) {
        if (i)
            text += '.';
        AppendNumber(text, p[i]);
    }
    return text;
}

// Eight groups of four lower-case hex digits, never shortened.
std::string Ipv6Text(const uint8_t* p)
{
    std::string text(39, ':');
    for (size_t g = 0; g < 8; ++g) {
        for (size_t i = 0; i < 2; ++i) {
            const uint8_t byte = p[2 * g + i];
            text[5 * g + 2 * i] = kHexDigits[byte >> 4];
            text[5 * g + 2 * i + 1] = kHexDigits[byte & 0x0F];
        }
    }
    return text;
}

enum class AddressKind { None, Link, IPv4, IPv6 };

// Follows the address kinds through the chain: the Ethernet node makes the kind "link",
// and the first IPv4 or IPv6 node after it fixes the IP kind; the latest node of each
// kind is kept, so IP addresses come from the innermost header of the fixed kind.
class AddressWalk {
public:
    void visit(const HeaderNode& node)
    {
        switch (node.kind) {
        case HN_ETHERNET:
            ethernet_ = &node;
            if (kind_ == AddressKind::None)
                kind_ = AddressKind::Link;
            break;
        case HN_IPV4:
            ipv4_ = &node;
            if (kind_ == AddressKind::Link)
                kind_ = AddressKind::IPv4;
            break;
        case HN_IPV6:
            ipv6_ = &node;
            if (kind_ == AddressKind::Link)
                kind_ = AddressKind::IPv6;
            break;
        default:
            break;
        }
    }

    PacketAddresses texts(const QvrPacket& packet) const
    {
        PacketAddresses a{NO_ADDRESS_TEXT, NO_ADDRESS_TEXT};
        switch (kind_) {
        case AddressKind::None:
            break;
        case AddressKind::Link:
            if (const uint8_t* p = FieldBytes(packet, ethernet_->offset, 12)) {
                a.source = MacText(p + 6);
                a.destination = MacText(p);
            }
            break;
        case AddressKind::IPv4:
            if (const uint8_t* p = FieldBytes(packet, ipv4_->offset, 20)) {
                a.source = Ipv4Text(p + 12);
                a.destination = Ipv4Text(p + 16);
            }
            break;
        case AddressKind::IPv6:
            if (const uint8_t* p = FieldBytes(packet, ipv6_->offset, 40)) {
                a.source = Ipv6Text(p + 8);
                a.destination = Ipv6Text(p + 24);
            }
            break;
        }
        return a;
    }

private:
    AddressKind kind_ = AddressKind::None;
    const HeaderNode* ethernet_ = nullptr;
    const HeaderNode* ipv4_ = nullptr;
    const HeaderNode* ipv6_ = nullptr;
};

} // namespace

std::string RowNumberText(uint32_t row)
{
    std::string text;
    AppendNumber(text, row);
    return text;
}

std::string PacketTimeText(int32_t sec, int32_t usec)
{
    char date[32] = "";
    const std::time_t seconds = sec;
    std::tm local{};
    if (localtime_r(&seconds, &local))
        std::strftime(date, sizeof date, "%Y/%m/%d %H:%M:%S.", &local);
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%s%.6d \n", date, usec);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

const char* NodeKindLabel(int32_t kind)
{
    if (kind < 0 || kind > HN_UDP_DATA)
        return UNKNOWN_NODE_TEXT;
    return kNodeLabels[kind];
}

PacketAddresses PacketAddressTexts(const QvrPacket& packet)
{
    AddressWalk walk;
    for (const HeaderNode* n = packet.head; n; n = n->next)
        walk.visit(*n);
    return walk.texts(packet);
}

std::string EncapsulationText(const QvrPacket& packet)
{
    std::string text;
    text.reserve(96);
    for (const HeaderNode* n = packet.head; n; n = n->next) {
        if (!text.empty())
            text += ';';
        AppendNodeText(text, packet, *n);
    }
    return text;
}

PacketRowTexts MakeRowTexts(uint32_t row, const QvrPacket& packet)
{
    PacketRowTexts texts;
    texts.number = RowNumberText(row);
    texts.time = PacketTimeText(packet.ts_sec, packet.ts_usec);
    texts.encapsulation.reserve(96);
    AddressWalk walk;
    for (const HeaderNode* n = packet.head; n; n = n->next) {
        if (!texts.encapsulation.empty())
            texts.encapsulation += ';';
        AppendNodeText(texts.encapsulation, packet, *n);
        walk.visit(*n);
    }
    PacketAddresses addresses = walk.texts(packet);
    texts.source = std::move(addresses.source);
    texts.destination = std::move(addresses.destination);
    return texts;
}

} // namespace AnalyzerProject
