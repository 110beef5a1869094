// Fuzz target for the header chain decoder: any link type, any bytes. Every node of a
// delivered chain must lie inside the frame; the handler reads each node's bytes so that
// the address sanitizer sees any node that reaches outside.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "quarvel_module.h"

namespace {

int32_t inspect(QvrPacket* packet, void*)
{
    unsigned sum = 0;
    uint32_t nodes = 0;
    for (const HeaderNode* n = packet->head; n; n = n->next) {
        if (++nodes > packet->length + 2 || n->offset > packet->length || n->length > packet->length - n->offset)
            std::abort();
        for (uint32_t i = 0; i < n->length; ++i)
            sum += packet->data[n->offset + i];
        if (!n->next && n != packet->tail)
            std::abort();
    }
    return static_cast<int32_t>(sum & 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int32_t linkTypes[] = {1, 1, 1, 1, 9, 51, 11, 10, 4, 105, 6, 147};
    static Quarvel* module = [] {
        auto* m = new Quarvel;
        QvrRegisterHandler(m, inspect, nullptr);
        return m;
    }();
    if (size < 1)
        return 0;
    module->linkType = linkTypes[data[0] % (sizeof linkTypes / sizeof linkTypes[0])];
    // The frame in a buffer of its exact size, so a read past its end is caught.
    const size_t length = size - 1;
    std::unique_ptr<uint8_t[]> frame(new uint8_t[length ? length : 1]);
    if (length)
        std::memcpy(frame.get(), data + 1, length);
    const TsmTime time{1, 2};
    const uint32_t frameLength = static_cast<uint32_t>(length);
    quarvel::onFrame(&time, &frameLength, frame.get(), module);
    return 0;
}
