#include "decoded_capture.h"

#include <stdexcept>

namespace testsupport {

std::vector<NodeView> chainOf(const QvrPacket& packet)
{
    std::vector<NodeView> chain;
    for (const HeaderNode* n = packet.head; n; n = n->next)
        chain.push_back({n->kind, n->offset, n->length});
    return chain;
}

static int32_t keep(QvrPacket* packet, void* user)
{
    auto* seen = static_cast<std::vector<SeenPacket>*>(user);
    seen->push_back({packet->ts_sec, packet->ts_usec, Bytes(packet->data, packet->data + packet->length),
                     chainOf(*packet)});
    return 0;
}

DecodedCapture decodeFrames(const std::vector<Bytes>& frames, uint32_t linkType)
{
    TempPath file;
    {
        CaptureFileWriter writer(file.str(), linkType);
        uint32_t second = 1000;
        for (const Bytes& frame : frames)
            writer.add(frame, second++, 500);
    }
    Quarvel* module = nullptr;
    if (QvrCreateQuarvel(file.source().c_str(), 0, nullptr, &module) != QVR_OK)
        throw std::runtime_error("cannot open " + file.str());
    DecodedCapture result;
    QvrRegisterHandler(module, keep, &result.packets);
    QvrStartDispatchOfflinePacket(module);
    QvrGetPacketMissCount(module, &result.missCount);
    QvrDeleteQuarvel(module);
    return result;
}

} // namespace testsupport
