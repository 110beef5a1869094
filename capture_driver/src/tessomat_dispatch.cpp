// Frame delivery: the handler walk, the capture thread of live sources and the offline read.
#include <chrono>
#include <system_error>

#include "tessomat_module.h"

namespace tessomat {

void frameEntry(u_char* user, const pcap_pkthdr* header, const u_char* bytes)
{
    auto* m = reinterpret_cast<Tessomat*>(user);
    m->frameTime.sec = static_cast<int32_t>(header->ts.tv_sec);
    m->frameTime.usec = static_cast<int32_t>(header->ts.tv_usec);
    // Handlers get the captured length: a frame cut short by its snapshot length must
    // never be read up to its length on the wire.
    const uint32_t length = header->caplen < header->len ? header->caplen : header->len;
    for (TsmHandlerEntry* e = m->handlerHead; e; e = e->next) {
        if (e->function && e->function(&m->frameTime, &length, bytes, e->user) == 1)
            break;
    }
}

} // namespace tessomat

namespace {

void captureLoop(Tessomat* m)
{
    while (m->dispatching.load(std::memory_order_acquire)) {
        const int result = pcap_dispatch(m->source, 1, tessomat::frameEntry, reinterpret_cast<u_char*>(m));
        // A file at its end or a failing source answers at once; without a pause the
        // loop would spin until the stop request.
        const bool idleAnswer = result == PCAP_ERROR || (m->offline && result == 0);
        if (idleAnswer && m->dispatching.load(std::memory_order_acquire))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

extern "C" {

int32_t TsmStartDispatch(Tessomat* m)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        return TSM_ALREADY_RUNNING;
    m->dispatching.store(true, std::memory_order_release);
    try {
        m->thread = new std::thread(captureLoop, m);
    } catch (const std::exception&) {
        m->dispatching = false;
        return TSM_REFUSED;
    }
    return TSM_OK;
}

int32_t TsmStopDispatch(Tessomat* m)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (!m->dispatching) {
        // An offline read that runs on another thread is asked to end after the frame in
        // progress: a capture file need not be read to its end when nobody wants it any more.
        if (!m->readingOffline.load(std::memory_order_acquire))
            return TSM_NOT_RUNNING;
        pcap_breakloop(m->source);
        return TSM_OK;
    }
    m->dispatching.store(false, std::memory_order_release);
    // Wakes a read that waits for frames, so the stop does not wait for the read timeout.
    pcap_breakloop(m->source);
    m->thread->join();
    delete m->thread;
    m->thread = nullptr;
    return TSM_OK;
}

int32_t TsmStartDispatchOfflinePacket(Tessomat* m)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        return TSM_ALREADY_RUNNING;
    m->readingOffline.store(true, std::memory_order_release);
    pcap_loop(m->source, -1, tessomat::frameEntry, reinterpret_cast<u_char*>(m));
    m->readingOffline.store(false, std::memory_order_release);
    return TSM_OK;
}

} // extern "C"
