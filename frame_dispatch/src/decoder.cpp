// The header chain decoder: walks a frame from the link layer inwards, appending one node
// per header, and hands the packet to the handlers once the innermost known header is
// reached. A frame that fails a bounds check at any depth is not delivered; one whose node
// cannot be allocated is counted as a miss.
#include "quarvel_module.h"

namespace quarvel {

namespace {

enum class Step { Ethernet, IPv4, IPv6, Tcp, Udp, Leaf, Data };
enum class Outcome { Deliver, Drop, Miss, GoOn };

// Link types of the capture library.
constexpr int32_t kLinkEthernet = 1;

struct Decoding {
    QvrPacket* packet;
    NodePool& pool;

    const uint8_t* bytes() const { return packet->data; }
    uint32_t length() const { return packet->length; }
    uint16_t be16(uint32_t at) const { return static_cast<uint16_t>(bytes()[at] << 8 | bytes()[at + 1]); }

    bool append(int32_t kind, uint32_t offset, uint32_t length)
    {
        HeaderNode* node = pool.take();
        if (!node)
            return false;
        *node = {kind, length, offset, nullptr};
        (packet->tail ? packet->tail->next : packet->head) = node;
        packet->tail = node;
        return true;
    }
};

Step stepForLinkType(int32_t linkType, int32_t& leafKind)
{
    switch (linkType) {
    case kLinkEthernet: return Step::Ethernet;
    case 9: leafKind = HN_PPP; return Step::Leaf;
    case 51: leafKind = HN_PPPOE; return Step::Leaf;
    case 11: leafKind = HN_ATM; return Step::Leaf;
    case 10: leafKind = HN_FDDI; return Step::Leaf;
    case 4: leafKind = HN_TOKENRING; return Step::Leaf;
    case 105: leafKind = HN_IEEE80211; return Step::Leaf;
    default: return Step::Data;
    }
}

Step stepForIpProtocol(uint8_t protocol, int32_t& leafKind)
{
    switch (protocol) {
    case 1: leafKind = HN_ICMPV4; return Step::Leaf;
    case 4: return Step::IPv4;
    case 6: return Step::Tcp;
    case 17: return Step::Udp;
    case 41: return Step::IPv6;
    default: return Step::Data;
    }
}

// IPv6 extension header loop, entered with the cursor just behind the fixed header and
// its next header value. Delivers the chain as it stands (no next header), or answers
// GoOn with the step that decodes what follows at the cursor, or drops the frame.
Outcome walkIpv6Extensions(Decoding& d, uint8_t nh, uint32_t& c, Step& step, int32_t& leafKind)
{
    const uint32_t end = d.length();
    while (c < end) {
        uint32_t size = 0;
        int32_t kind = -1;
        switch (nh) {
        case 0: kind = HN_IPV6_HOPBYHOP; break;
        case 43: kind = HN_IPV6_ROUTING; break;
        case 60: kind = HN_IPV6_DSTOPTS; break;
        case 44: kind = HN_IPV6_FRAGMENT; break;
        case 51: kind = HN_AH; break;
        case 50:
            if (!d.append(HN_ESP, c, end - c))
                return Outcome::Miss;
            nh = 59; // the ESP payload is opaque
            continue;
        case 59: return Outcome::Deliver;
        case 6: step = Step::Tcp; return Outcome::GoOn;
        case 17: step = Step::Udp; return Outcome::GoOn;
        case 58: step = Step::Leaf; leafKind = HN_ICMPV6; return Outcome::GoOn;
        case 41: step = Step::IPv6; return Outcome::GoOn;
        default: step = Step::Data; return Outcome::GoOn;
        }
        // An extension header whose fields or length run past the frame is not delivered.
        const uint32_t fixed = kind == HN_IPV6_FRAGMENT ? 8 : 2;
        if (end - c < fixed)
            return Outcome::Drop;
        if (kind == HN_IPV6_FRAGMENT)
            size = 8;
        else if (kind == HN_AH)
            size = 4u * (2u + d.bytes()[c + 1]);
        else
            size = 8u * (1u + d.bytes()[c + 1]);
        if (size > end - c)
            return Outcome::Drop;
        if (!d.append(kind, c, size))
            return Outcome::Miss;
        const uint8_t following = d.bytes()[c];
        if (kind == HN_IPV6_FRAGMENT && (d.be16(c + 2) & 0xFFF8) != 0)
            nh = 59; // a later fragment: its payload cannot be decoded
        else
            nh = following;
        c += size;
    }
    return Outcome::Drop;
}

Outcome walk(Decoding& d, int32_t linkType)
{
    int32_t leafKind = HN_DATA;
    Step step = stepForLinkType(linkType, leafKind);
    uint32_t off = 0;
    const uint32_t end = d.length();
    const uint8_t* b = d.bytes();

    for (;;) {
        if (off >= end)
            return Outcome::Drop;
        const uint32_t rest = end - off;
        switch (step) {
        case Step::Leaf:
        case Step::Data:
            return d.append(step == Step::Leaf ? leafKind : HN_DATA, off, rest) ? Outcome::Deliver
                                                                                : Outcome::Miss;
        case Step::Ethernet: {
            if (rest < 14)
                return Outcome::Drop;
            if (!d.append(HN_ETHERNET, off, rest))
                return Outcome::Miss;
            const uint16_t type = d.be16(off + 12);
            off += 14;
            step = type == 0x0800 ? Step::IPv4 : type == 0x86DD ? Step::IPv6 : Step::Data;
            if (type == 0x0806) {
                step = Step::Leaf;
                leafKind = HN_ARP;
            }
            break;
        }
        case Step::IPv4: {
            if (rest < 20 || b[off] >> 4 != 4)
                return Outcome::Drop;
            const uint32_t headerLength = 4u * (b[off] & 0x0F);
            // A header length below 20 would start the next step inside this header
            // (and with protocol 4 decode it again without end).
            if (headerLength < 20)
                return Outcome::Drop;
            if (!d.append(HN_IPV4, off, rest))
                return Outcome::Miss;
            if (headerLength > 20 && !d.append(HN_IPV4_OPTIONS, off + 20, headerLength - 20))
                return Outcome::Miss;
            step = stepForIpProtocol(b[off + 9], leafKind);
            off += headerLength;
            break;
        }
        case Step::IPv6: {
            if (rest < 40 || b[off] >> 4 != 6 || d.be16(off + 4) != rest - 40)
                return Outcome::Drop;
            if (!d.append(HN_IPV6, off, rest))
                return Outcome::Miss;
            const uint8_t nextHeader = b[off + 6];
            off += 40;
            const Outcome o = walkIpv6Extensions(d, nextHeader, off, step, leafKind);
            if (o != Outcome::GoOn)
                return o;
            break;
        }
        case Step::Tcp: {
            if (rest < 20)
                return Outcome::Drop;
            const uint32_t dataOffset = 4u * (b[off + 12] >> 4);
            if (!d.append(HN_TCP, off, rest))
                return Outcome::Miss;
            // Options of a header cut short by the snapshot length are clamped to the
            // bytes present: no node reaches beyond the frame.
            if (dataOffset > 20) {
                const uint32_t options = dataOffset - 20 < rest - 20 ? dataOffset - 20 : rest - 20;
                if (options > 0 && !d.append(HN_TCP_OPTIONS, off + 20, options))
                    return Outcome::Miss;
            }
            if (dataOffset < rest && !d.append(HN_TCP_DATA, off + dataOffset, rest - dataOffset))
                return Outcome::Miss;
            return Outcome::Deliver;
        }
        case Step::Udp:
            if (rest < 8)
                return Outcome::Drop;
            if (!d.append(HN_UDP, off, rest))
                return Outcome::Miss;
            if (rest > 8 && !d.append(HN_UDP_DATA, off + 8, rest - 8))
                return Outcome::Miss;
            return Outcome::Deliver;
        }
    }
}

} // namespace

void callHandlers(Quarvel* module, QvrPacket* packet)
{
    for (QvrHandlerEntry* e = module->handlerHead; e; e = e->next) {
        if (e->function && e->function(packet, e->user) == 1)
            break;
    }
}

void decodeFrame(Quarvel* module, QvrPacket* packet)
{
    const NodePool::Mark start = module->nodes.mark();
    Decoding d{packet, module->nodes};
    switch (walk(d, module->linkType)) {
    case Outcome::Deliver: callHandlers(module, packet); break;
    case Outcome::Miss: ++module->missCount; break;
    case Outcome::Drop:
    case Outcome::GoOn: break;
    }
    module->nodes.release(start);
    packet->head = packet->tail = nullptr;
}

int32_t onFrame(const TsmTime* time, const uint32_t* length, const uint8_t* frame, void* user)
{
    QvrPacket packet{time->sec, time->usec, const_cast<uint8_t*>(frame), *length, nullptr, nullptr};
    decodeFrame(static_cast<Quarvel*>(user), &packet);
    return 1;
}

} // namespace quarvel
