// The Quarvel module record, shared by the files of the library.
#pragma once

#include "node_pool.h"
#include "quarvel.h"
#include "tessomat.h"

struct QvrHandlerEntry {
    QvrHandler function;
    void* user;
    QvrHandlerEntry* next;
};

struct Quarvel {
    Tessomat* driver = nullptr;
    int32_t linkType = 0;
    int32_t missCount = 0;     // written only by the delivering thread
    bool dispatching = false;  // written only by the controlling thread
    QvrHandlerEntry* handlerHead = nullptr;
    QvrHandlerEntry* handlerTail = nullptr;
    quarvel::NodePool nodes;   // the header nodes of the frame being decoded
};

namespace quarvel {

// Frame entry registered on the module's driver: decodes the frame and walks the handlers.
int32_t onFrame(const TsmTime* time, const uint32_t* length, const uint8_t* frame, void* user);

// Decodes one frame into `packet` (whose chain is empty) and, when it decodes, hands it to
// the module's handlers. The chain is empty again on return.
void decodeFrame(Quarvel* module, QvrPacket* packet);

void callHandlers(Quarvel* module, QvrPacket* packet);

// The driver's own status codes do not reach our callers: any failure is QVR_REFUSED.
inline int32_t fromDriver(int32_t driverStatus) { return driverStatus == TSM_OK ? QVR_OK : QVR_REFUSED; }

} // namespace quarvel
