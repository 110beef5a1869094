// Decoding a capture file against the floor of reading it: (a) a bare pcap_loop that
// copies every frame into a malloc'd buffer and frees it, (b) the offline dispatch of
// Quarvel with a handler that duplicates and deletes every packet. Prints both times and,
// last, "decode: <b/a ratio>".
#include <pcap/pcap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quarvel.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Totals {
    uint64_t frames = 0;
    uint64_t bytes = 0;
};

void copyFrame(u_char* user, const pcap_pkthdr* h, const u_char* bytes)
{
    auto* t = reinterpret_cast<Totals*>(user);
    auto* copy = static_cast<u_char*>(std::malloc(h->caplen));
    std::memcpy(copy, bytes, h->caplen);
    t->bytes += copy[h->caplen / 2];
    ++t->frames;
    std::free(copy);
}

double bareLoop(const std::string& path, Totals& t)
{
    char errbuf[PCAP_ERRBUF_SIZE];
    const auto start = Clock::now();
    pcap_t* p = pcap_open_offline(path.c_str(), errbuf);
    if (!p) {
        std::fprintf(stderr, "decode: %s\n", errbuf);
        std::exit(1);
    }
    pcap_loop(p, -1, copyFrame, reinterpret_cast<u_char*>(&t));
    pcap_close(p);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int32_t duplicateAndDelete(QvrPacket* packet, void* user)
{
    auto* t = static_cast<Totals*>(user);
    QvrPacket* copy = nullptr;
    if (QvrPacketDuplicate(&copy, packet) == QVR_OK) {
        t->bytes += copy->data[copy->length / 2];
        ++t->frames;
        QvrDeletePacket(copy);
    }
    return 0;
}

double quarvelDispatch(const std::string& path, Totals& t, int32_t& misses)
{
    const auto start = Clock::now();
    Quarvel* m = nullptr;
    if (QvrCreateQuarvel(("file://" + path).c_str(), 0, nullptr, &m) != QVR_OK) {
        std::fprintf(stderr, "decode: cannot open %s\n", path.c_str());
        std::exit(1);
    }
    QvrRegisterHandler(m, duplicateAndDelete, &t);
    QvrStartDispatchOfflinePacket(m);
    QvrGetPacketMissCount(m, &misses);
    QvrDeleteQuarvel(m);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: decode_bench CAPTURE.pcap [rounds]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    double bestBare = 1e9, bestQuarvel = 1e9;
    Totals bare, decoded;
    int32_t misses = 0;
    Totals warm;
    bareLoop(path, warm); // the file into the page cache
    for (int i = 0; i < rounds; ++i) {
        bare = {};
        decoded = {};
        bestBare = std::min(bestBare, bareLoop(path, bare));
        bestQuarvel = std::min(bestQuarvel, quarvelDispatch(path, decoded, misses));
    }
    std::printf("frames in file:          %llu\n", static_cast<unsigned long long>(bare.frames));
    std::printf("frames delivered:        %llu (misses %d)\n", static_cast<unsigned long long>(decoded.frames), misses);
    std::printf("(a) pcap_loop + copy:    %.3f s (best of %d)\n", bestBare, rounds);
    std::printf("(b) decode + duplicate:  %.3f s (best of %d)\n", bestQuarvel, rounds);
    std::printf("decode: %.2f\n", bestQuarvel / bestBare);
    return 0;
}
