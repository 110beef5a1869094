// Fuzz target for the packet list row texts: any chain over any frame. The input gives a
// node count, the nodes (kind, offset, length) and a timestamp; the rest is the frame, in
// a buffer of its exact size so that the address sanitizer sees any read past its end.
// Node kinds reach past both ends of the known codes, and offsets reach near the top of
// the 32-bit range.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "packet_row_text.h"

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t word() { return static_cast<uint16_t>(byte() | byte() << 8); }
    const uint8_t* rest() const { return data_ + at_; }
    size_t restSize() const { return size_ - (at_ < size_ ? at_ : size_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace AnalyzerProject;
    Reader in(data, size);
    const size_t count = in.byte() % 10;
    std::vector<HeaderNode> nodes(count);
    for (HeaderNode& n : nodes) {
        n.kind = static_cast<int8_t>(in.byte());
        uint32_t offset = in.word();
        if (offset & 0x8000)
            offset |= 0xFFFF0000u;
        n.offset = offset;
        n.length = in.word();
    }
    for (size_t i = 0; i + 1 < count; ++i)
        nodes[i].next = &nodes[i + 1];
    if (count)
        nodes.back().next = nullptr;

    QvrPacket packet{};
    packet.ts_sec = static_cast<int32_t>(in.word() | static_cast<uint32_t>(in.word()) << 16);
    packet.ts_usec = static_cast<int32_t>(in.word() | static_cast<uint32_t>(in.word()) << 16);
    const size_t length = in.restSize();
    std::unique_ptr<uint8_t[]> frame(length ? new uint8_t[length] : nullptr);
    if (length)
        std::memcpy(frame.get(), in.rest(), length);
    packet.data = frame.get();
    packet.length = static_cast<uint32_t>(length);
    packet.head = count ? &nodes.front() : nullptr;
    packet.tail = count ? &nodes.back() : nullptr;

    const PacketRowTexts row = MakeRowTexts(static_cast<uint32_t>(size), packet);
    const PacketAddresses addresses = PacketAddressTexts(packet);
    if (row.encapsulation != EncapsulationText(packet) || row.source != addresses.source ||
        row.destination != addresses.destination)
        std::abort();
    // One text per node, and labels hold no ";".
    size_t separators = 0;
    for (char c : row.encapsulation)
        separators += c == ';';
    if (count ? separators != count - 1 : !row.encapsulation.empty())
        std::abort();
    // Both addresses come from the same header, so both are there or neither is.
    if ((row.source == NO_ADDRESS_TEXT) != (row.destination == NO_ADDRESS_TEXT))
        std::abort();
    if (row.time.size() < 2 || row.time.compare(row.time.size() - 2, 2, " \n") != 0)
        std::abort();
    return 0;
}
