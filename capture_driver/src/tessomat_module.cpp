// Module lifecycle and the handler list.
#include <cstdlib>
#include <cstring>
#include <new>

#include "remote_source.h"
#include "tessomat_module.h"

namespace {

pcap_t* openSource(const char* source, int32_t promiscuous, pcap_rmtauth* auth, bool& offline)
{
    char errbuf[PCAP_ERRBUF_SIZE];
    const size_t filePrefix = std::strlen(TSM_FILE_PREFIX);
    offline = std::strncmp(source, TSM_FILE_PREFIX, filePrefix) == 0;
    if (offline)
        return pcap_open_offline(source + filePrefix, errbuf);

    const int flags = promiscuous ? PCAP_OPENFLAG_PROMISCUOUS : 0;
    if (tessomat::isRemoteSource(source)) {
        std::string host, port;
        if (!tessomat::splitRemoteSource(source, host, port)
            || !tessomat::remoteServerReachable(host, port, tessomat::kRemoteConnectTimeoutMs))
            return nullptr;
        // The server must not capture the connection that carries its own capture back
        // to us: on a shared interface that traffic would feed itself.
        return pcap_open(source, tessomat::kSnapLength, flags | PCAP_OPENFLAG_NOCAPTURE_RPCAP,
                         tessomat::kReadTimeoutMs, auth, errbuf);
    }
    return pcap_open_live(source, tessomat::kSnapLength, flags, tessomat::kReadTimeoutMs, errbuf);
}

void freeHandlers(Tessomat* m)
{
    for (TsmHandlerEntry* e = m->handlerHead; e;) {
        TsmHandlerEntry* next = e->next;
        std::free(e);
        e = next;
    }
    m->handlerHead = m->handlerTail = nullptr;
}

} // namespace

extern "C" {

int32_t TsmCreateTessomat(const char* source, int32_t promiscuous, pcap_rmtauth* auth, Tessomat** out)
{
    if (!source || !out)
        return TSM_INVALID_ARG;
    bool offline = false;
    pcap_t* handle = openSource(source, promiscuous, auth, offline);
    if (!handle)
        return TSM_REFUSED;

    auto* m = new (std::nothrow) Tessomat;
    char* name = strdup(source);
    if (!m || !name) {
        delete m;
        std::free(name);
        pcap_close(handle);
        return TSM_NO_MEMORY;
    }
    m->source = handle;
    m->sourceName = name;
    m->offline = offline;
    m->linkType = pcap_datalink(handle);
    TsmSetFilter(m, ""); // matches every frame
    *out = m;
    return TSM_OK;
}

int32_t TsmDeleteTessomat(Tessomat* m)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        TsmStopDispatch(m);
    freeHandlers(m);
    if (m->filterCompiled)
        pcap_freecode(&m->filterProgram);
    if (m->dumpFile)
        pcap_dump_close(m->dumpFile);
    pcap_close(m->source);
    std::free(m->sourceName);
    delete m;
    return TSM_OK;
}

int32_t TsmRegisterHandler(Tessomat* m, TsmHandler function, void* user)
{
    if (!m || !function)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        return TSM_BUSY;
    auto* e = static_cast<TsmHandlerEntry*>(std::malloc(sizeof(TsmHandlerEntry)));
    if (!e)
        return TSM_NO_MEMORY;
    *e = {function, user, nullptr};
    if (m->handlerTail)
        m->handlerTail->next = e;
    else
        m->handlerHead = e;
    m->handlerTail = e;
    return TSM_OK;
}

int32_t TsmUnregisterHandler(Tessomat* m, TsmHandler function)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        return TSM_BUSY;
    if (!m->handlerHead)
        return TSM_REFUSED;
    TsmHandlerEntry* previous = nullptr;
    for (TsmHandlerEntry* e = m->handlerHead; e; previous = e, e = e->next) {
        if (e->function != function)
            continue;
        (previous ? previous->next : m->handlerHead) = e->next;
        if (m->handlerTail == e)
            m->handlerTail = previous;
        std::free(e);
        break;
    }
    return TSM_OK;
}

int32_t TsmCleanHandler(Tessomat* m)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        return TSM_BUSY;
    freeHandlers(m);
    return TSM_OK;
}

} // extern "C"
