// Module lifecycle, handler list, dispatch control and filters.
#include <cstdlib>
#include <new>

#include "quarvel_module.h"

namespace {

void freeHandlers(Quarvel* m)
{
    for (QvrHandlerEntry* e = m->handlerHead; e;) {
        QvrHandlerEntry* next = e->next;
        std::free(e);
        e = next;
    }
    m->handlerHead = m->handlerTail = nullptr;
}

} // namespace

extern "C" {

int32_t QvrCreateQuarvel(const char* source, int32_t promiscuous, pcap_rmtauth* auth, Quarvel** out)
{
    if (!source || !out)
        return QVR_INVALID_ARG;
    auto* m = new (std::nothrow) Quarvel;
    if (!m)
        return QVR_NO_MEMORY;
    if (TsmCreateTessomat(source, promiscuous, auth, &m->driver) != TSM_OK) {
        delete m;
        return QVR_REFUSED;
    }
    if (TsmRegisterHandler(m->driver, quarvel::onFrame, m) != TSM_OK) {
        TsmDeleteTessomat(m->driver);
        delete m;
        return QVR_REFUSED;
    }
    TsmGetLinkType(m->driver, &m->linkType);
    *out = m;
    return QVR_OK;
}

int32_t QvrDeleteQuarvel(Quarvel* m)
{
    if (!m)
        return QVR_INVALID_ARG;
    TsmDeleteTessomat(m->driver); // stops the capture thread first
    freeHandlers(m);
    delete m;
    return QVR_OK;
}

int32_t QvrRegisterHandler(Quarvel* m, QvrHandler function, void* user)
{
    if (!m || !function)
        return QVR_INVALID_ARG;
    if (m->dispatching)
        return QVR_BUSY;
    auto* e = static_cast<QvrHandlerEntry*>(std::malloc(sizeof(QvrHandlerEntry)));
    if (!e)
        return QVR_NO_MEMORY;
    *e = {function, user, nullptr};
    (m->handlerTail ? m->handlerTail->next : m->handlerHead) = e;
    m->handlerTail = e;
    return QVR_OK;
}

int32_t QvrUnregisterHandler(Quarvel* m, QvrHandler function)
{
    if (!m)
        return QVR_INVALID_ARG;
    if (m->dispatching)
        return QVR_BUSY;
    if (!m->handlerHead)
        return QVR_REFUSED;
    QvrHandlerEntry* previous = nullptr;
    for (QvrHandlerEntry* e = m->handlerHead; e; previous = e, e = e->next) {
        if (e->function != function)
            continue;
        (previous ? previous->next : m->handlerHead) = e->next;
        if (m->handlerTail == e)
            m->handlerTail = previous;
        std::free(e);
        break;
    }
    return QVR_OK;
}

int32_t QvrCleanHandler(Quarvel* m)
{
    if (!m)
        return QVR_INVALID_ARG;
    if (m->dispatching)
        return QVR_BUSY;
    freeHandlers(m);
    return QVR_OK;
}

int32_t QvrStartDispatch(Quarvel* m)
{
    if (!m)
        return QVR_INVALID_ARG;
    if (m->dispatching)
        return QVR_ALREADY_RUNNING;
    if (TsmStartDispatch(m->driver) != TSM_OK)
        return QVR_REFUSED;
    m->dispatching = true;
    return QVR_OK;
}

int32_t QvrStopDispatch(Quarvel* m)
{
    if (!m)
        return QVR_INVALID_ARG;
    if (!m->dispatching) // unless an offline read runs on another thread, which this ends early
        return TsmStopDispatch(m->driver) == TSM_OK ? QVR_OK : QVR_NOT_RUNNING;
    if (TsmStopDispatch(m->driver) != TSM_OK)
        return QVR_REFUSED;
    m->dispatching = false;
    return QVR_OK;
}

int32_t QvrStartDispatchOfflinePacket(Quarvel* m)
{
    if (!m)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmStartDispatchOfflinePacket(m->driver));
}

int32_t QvrSetFilter(Quarvel* m, const char* expression)
{
    if (!m || !expression)
        return QVR_INVALID_ARG;
    if (m->dispatching)
        return QVR_BUSY;
    return quarvel::fromDriver(TsmSetFilter(m->driver, expression));
}

int32_t QvrSendPacket(Quarvel* m, const uint8_t* frame, uint32_t length)
{
    if (!m || !frame || length == 0)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmSendPacket(m->driver, frame, static_cast<int32_t>(length)));
}

int32_t QvrGetLinkType(Quarvel* m, int32_t* linkType)
{
    if (!m || !linkType)
        return QVR_INVALID_ARG;
    *linkType = m->linkType;
    return QVR_OK;
}

int32_t QvrGetPacketMissCount(Quarvel* m, int32_t* count)
{
    if (!m || !count)
        return QVR_INVALID_ARG;
    *count = m->missCount;
    return QVR_OK;
}

} // extern "C"
