// RAII owners of the C handles of the dispatch library, so that no path leaks one.
#pragma once

#include <memory>

#include "quarvel.h"

namespace AnalyzerProject {

struct QuarvelModuleDeleter {
    void operator()(Quarvel* m) const { QvrDeleteQuarvel(m); }
};
using QuarvelModule = std::unique_ptr<Quarvel, QuarvelModuleDeleter>;

struct PacketCopyDeleter {
    void operator()(QvrPacket* p) const { QvrDeletePacket(p); }
};
using PacketCopy = std::unique_ptr<QvrPacket, PacketCopyDeleter>;

struct AuthRecordDeleter {
    void operator()(pcap_rmtauth* a) const { QvrDeleteAuthInfo(a); }
};
using AuthRecord = std::unique_ptr<pcap_rmtauth, AuthRecordDeleter>;

struct DeviceListDeleter {
    void operator()(pcap_if* d) const { QvrFreeAllNIC(d); }
};
using DeviceList = std::unique_ptr<pcap_if, DeviceListDeleter>;

// A new module on `source`, or null when it cannot be opened.
inline QuarvelModule OpenModule(const char* source, int32_t promiscuous, pcap_rmtauth* auth)
{
    Quarvel* m = nullptr;
    return QuarvelModule(QvrCreateQuarvel(source, promiscuous, auth, &m) == QVR_OK ? m : nullptr);
}

} // namespace AnalyzerProject
