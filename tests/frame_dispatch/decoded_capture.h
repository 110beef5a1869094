// Reads a capture file through a Quarvel module and keeps what the handlers saw.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "capture_file.h"
#include "quarvel.h"

namespace testsupport {

struct NodeView {
    int32_t kind;
    uint32_t offset;
    uint32_t length;
    bool operator==(const NodeView&) const = default;
};

inline void PrintTo(const NodeView& n, std::ostream* os)
{
    *os << "{kind " << n.kind << ", offset " << n.offset << ", length " << n.length << "}";
}

struct SeenPacket {
    int32_t sec;
    int32_t usec;
    Bytes bytes;
    std::vector<NodeView> chain;
};

std::vector<NodeView> chainOf(const QvrPacket& packet);

// Every packet delivered while reading `frames` (as a capture file of `linkType`), plus
// the module's miss count at the end.
struct DecodedCapture {
    std::vector<SeenPacket> packets;
    int32_t missCount = -1;
};
DecodedCapture decodeFrames(const std::vector<Bytes>& frames, uint32_t linkType = 1);

} // namespace testsupport
