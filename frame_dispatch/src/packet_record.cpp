// Packet copies. A copy is one allocation: the record, then its header nodes, then the
// frame bytes. Each part has its own address, and QvrDeletePacket frees them together.
#include <cstdlib>
#include <cstring>

#include "allocation_failures.h"
#include "quarvel.h"

extern "C" {

int32_t QvrPacketDuplicate(QvrPacket** out, const QvrPacket* source)
{
    if (!out || !source || source->length == 0 || !source->data)
        return QVR_INVALID_ARG;
    size_t nodeCount = 0;
    for (const HeaderNode* n = source->head; n; n = n->next)
        ++nodeCount;

    const size_t size = sizeof(QvrPacket) + nodeCount * sizeof(HeaderNode) + source->length;
    auto* block = quarvel::packetCopyFails() ? nullptr : static_cast<unsigned char*>(std::malloc(size));
    if (!block)
        return QVR_NO_MEMORY;

    auto* copy = reinterpret_cast<QvrPacket*>(block);
    auto* nodes = reinterpret_cast<HeaderNode*>(block + sizeof(QvrPacket));
    auto* bytes = block + sizeof(QvrPacket) + nodeCount * sizeof(HeaderNode);

    copy->ts_sec = source->ts_sec;
    copy->ts_usec = source->ts_usec;
    copy->length = source->length;
    copy->data = bytes;
    std::memcpy(bytes, source->data, source->length);

    copy->head = copy->tail = nullptr;
    size_t i = 0;
    for (const HeaderNode* n = source->head; n; n = n->next, ++i) {
        nodes[i] = {n->kind, n->length, n->offset, nullptr};
        if (i > 0)
            nodes[i - 1].next = &nodes[i];
    }
    if (nodeCount > 0) {
        copy->head = &nodes[0];
        copy->tail = &nodes[nodeCount - 1];
    }
    *out = copy;
    return QVR_OK;
}

int32_t QvrDeletePacket(QvrPacket* packet)
{
    if (!packet)
        return QVR_INVALID_ARG;
    std::free(packet);
    return QVR_OK;
}

} // extern "C"
