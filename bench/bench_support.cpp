#include "bench_support.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "memory_tuning.h"

namespace benchsupport {

long ResidentBytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

namespace {
struct Copies {
    std::vector<u_char*> frames;
    size_t extra;
};

void keepCopy(u_char* user, const pcap_pkthdr* h, const u_char* bytes)
{
    auto* copies = reinterpret_cast<Copies*>(user);
    auto* copy = static_cast<u_char*>(std::malloc(h->caplen + copies->extra));
    std::copy(bytes, bytes + h->caplen, copy);
    copies->frames.push_back(copy);
}
} // namespace

double KeepingLoop(const char* path, size_t extra, size_t& frames)
{
    Copies copies{{}, extra};
    char errbuf[PCAP_ERRBUF_SIZE];
    const auto start = std::chrono::steady_clock::now();
    pcap_t* p = pcap_open_offline(path, errbuf);
    if (!p) {
        std::fprintf(stderr, "bench: %s\n", errbuf);
        std::exit(1);
    }
    pcap_loop(p, -1, keepCopy, reinterpret_cast<u_char*>(&copies));
    pcap_close(p);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    frames = copies.frames.size();
    for (u_char* c : copies.frames)
        std::free(c);
    return seconds;
}

void TuneChild() { AnalyzerProject::TuneAllocatorForPacketStore(); }

} // namespace benchsupport
