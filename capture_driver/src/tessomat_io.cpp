// Filters, sending frames and writing capture files.
#include <sys/time.h>

#include "tessomat_module.h"

extern "C" {

int32_t TsmSetFilter(Tessomat* m, const char* expression)
{
    if (!m || !expression)
        return TSM_INVALID_ARG;
    if (m->dispatching)
        return TSM_BUSY;
    // The mask only matters to "broadcast" expressions. Files and remote sources have no
    // local network to look up, and an interface without an IPv4 address has none either:
    // their filters are compiled with an unknown mask rather than refused.
    bpf_u_int32 net = 0, mask = PCAP_NETMASK_UNKNOWN;
    char errbuf[PCAP_ERRBUF_SIZE];
    if (pcap_lookupnet(m->sourceName, &net, &mask, errbuf) != 0)
        mask = PCAP_NETMASK_UNKNOWN;

    bpf_program program{};
    if (pcap_compile(m->source, &program, expression, 1, mask) != 0)
        return TSM_BAD_FILTER;
    if (pcap_setfilter(m->source, &program) != 0) {
        pcap_freecode(&program);
        return TSM_FILTER_REJECTED;
    }
    if (m->filterCompiled)
        pcap_freecode(&m->filterProgram);
    m->filterProgram = program;
    m->filterCompiled = true;
    return TSM_OK;
}

int32_t TsmSendPacket(Tessomat* m, const uint8_t* frame, int32_t length)
{
    if (!m || !frame || length <= 0)
        return TSM_INVALID_ARG;
    // A frame that was not sent (a file source, a link that is down) is reported as such.
    return pcap_sendpacket(m->source, frame, length) == 0 ? TSM_OK : TSM_REFUSED;
}

int32_t TsmGetLinkType(Tessomat* m, int32_t* linkType)
{
    if (!m || !linkType)
        return TSM_INVALID_ARG;
    *linkType = m->linkType;
    return TSM_OK;
}

int32_t TsmOpenDumpFile(Tessomat* m, const char* path)
{
    if (!m || !path)
        return TSM_INVALID_ARG;
    if (m->dumpFile) {
        pcap_dump_close(m->dumpFile);
        m->dumpFile = nullptr;
    }
    m->dumpFile = pcap_dump_open(m->source, path);
    return m->dumpFile ? TSM_OK : TSM_REFUSED;
}

int32_t TsmWriteDumpFile(Tessomat* m, int32_t sec, int32_t usec, uint32_t length, const uint8_t* frame)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (!m->dumpFile || !frame)
        return TSM_REFUSED;
    pcap_pkthdr header{};
    header.ts.tv_sec = sec;
    header.ts.tv_usec = usec;
    header.caplen = length;
    header.len = length;
    pcap_dump(reinterpret_cast<u_char*>(m->dumpFile), &header, frame);
    return TSM_OK;
}

int32_t TsmCloseDumpFile(Tessomat* m)
{
    if (!m)
        return TSM_INVALID_ARG;
    if (!m->dumpFile)
        return TSM_REFUSED;
    pcap_dump_close(m->dumpFile);
    m->dumpFile = nullptr;
    return TSM_OK;
}

} // extern "C"
