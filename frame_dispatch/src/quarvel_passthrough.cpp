// Capture files, device lists and authentication records, handed through to the driver.
// Any non-zero driver status becomes QVR_REFUSED.
#include "quarvel_module.h"

extern "C" {

int32_t QvrOpenDumpFile(Quarvel* m, const char* path)
{
    if (!m || !path)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmOpenDumpFile(m->driver, path));
}

int32_t QvrWriteDumpFile(Quarvel* m, const QvrPacket* packet)
{
    if (!m || !packet)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmWriteDumpFile(m->driver, packet->ts_sec, packet->ts_usec, packet->length, packet->data));
}

int32_t QvrCloseDumpFile(Quarvel* m)
{
    if (!m)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmCloseDumpFile(m->driver));
}

int32_t QvrGetAllNIC(pcap_if** out)
{
    if (!out)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmGetAllNIC(out));
}

int32_t QvrFreeAllNIC(pcap_if* list)
{
    if (!list)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmFreeAllNIC(list));
}

int32_t QvrGetRemoteAllNIC(const char* host, const char* port, pcap_rmtauth* auth, pcap_if** out)
{
    if (!host || !out)
        return QVR_INVALID_ARG;
    return quarvel::fromDriver(TsmGetRemoteAllNIC(host, port, auth, out));
}

int32_t QvrCreateAuthInfo(int32_t type, const char* user, const char* password, pcap_rmtauth** out)
{
    return quarvel::fromDriver(TsmCreateAuthInfo(type, user, password, out));
}

int32_t QvrDeleteAuthInfo(pcap_rmtauth* auth)
{
    return quarvel::fromDriver(TsmDeleteAuthInfo(auth));
}

} // extern "C"
