// corvane-capsummary: opens a capture file through the frame decoder and prints what it
// delivers: the packet and miss counts, one line per packet for the first few, and how
// many packets share each header chain. A stand-in for looking at captures until the
// analyzer's windows exist.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "quarvel.h"

namespace {

const char* kindLabel(int32_t kind)
{
    static const char* const kLabels[] = {
        "UNKNOWN_TYPE", "ETH2",   "IEEE 802.3", "PPP",    "PPPoE",    "ATM",     "FDDI",
        "TokenRing",    "802.11", "ARP",        "IPv4",   "IPv4 Opt", "ICMPv4",  "IPv6",
        "HBH Opt",      "RT",     "Fragment",   "DST Opt", "ICMPv6",  "AH",      "ESP",
        "TCP",          "TCP Opt", "Data",      "UDP",    "Data"};
    if (kind < 0 || kind >= static_cast<int32_t>(std::size(kLabels)))
        return "UNKNOWN_TYPE";
    return kLabels[kind];
}

// A chain as the string of its node kinds: short enough to need no allocation.
std::string chainKinds(const QvrPacket* packet)
{
    std::string kinds;
    for (const HeaderNode* n = packet->head; n; n = n->next)
        kinds += static_cast<char>(n->kind);
    return kinds;
}

std::string chainText(const std::string& kinds)
{
    std::string text;
    for (char kind : kinds) {
        if (!text.empty())
            text += " / ";
        text += kindLabel(static_cast<unsigned char>(kind));
    }
    return text.empty() ? "(no headers)" : text;
}

std::string timeText(int32_t sec, int32_t usec)
{
    const std::time_t t = sec;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    char withMicros[80];
    std::snprintf(withMicros, sizeof withMicros, "%s.%06d", text, static_cast<int>(usec));
    return withMicros;
}

struct Summary {
    uint64_t first = 10;
    uint64_t count = 0;
    uint64_t bytes = 0;
    std::vector<std::string> lines; // of the first packets
    std::map<std::string, uint64_t> chains; // by node kinds
    bool failed = false;
};

void record(Summary& s, const QvrPacket* packet)
{
    const std::string kinds = chainKinds(packet);
    ++s.count;
    s.bytes += packet->length;
    ++s.chains[kinds];
    if (s.count <= s.first) {
        char line[256];
        std::snprintf(line, sizeof line, "%8llu  %s  %6u  ", static_cast<unsigned long long>(s.count),
                      timeText(packet->ts_sec, packet->ts_usec).c_str(), packet->length);
        s.lines.push_back(line + chainText(kinds));
    }
}

int32_t onPacket(QvrPacket* packet, void* user)
{
    // No exception may travel back through the decoder.
    auto* s = static_cast<Summary*>(user);
    try {
        record(*s, packet);
    } catch (...) {
        s->failed = true;
        return 1;
    }
    return 0;
}

int usage()
{
    std::fputs("usage: corvane-capsummary FILE [--first N]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    Summary summary;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--first") {
            if (i + 1 >= argc)
                return usage();
            const char* value = argv[++i];
            char* end = nullptr;
            errno = 0;
            const unsigned long long n = std::strtoull(value, &end, 10);
            if (errno || !*value || *end || *value == '-')
                return usage();
            summary.first = n;
        } else if (arg == "-h" || arg == "--help") {
            std::puts("usage: corvane-capsummary FILE [--first N]");
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            return usage();
        } else if (path.empty()) {
            path = arg;
        } else {
            return usage();
        }
    }
    if (path.empty())
        return usage();

    struct stat st{};
    if (stat(path.c_str(), &st) != 0) {
        std::fprintf(stderr, "corvane-capsummary: %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    Quarvel* module = nullptr;
    if (QvrCreateQuarvel(("file://" + path).c_str(), 0, nullptr, &module) != QVR_OK) {
        std::fprintf(stderr, "corvane-capsummary: %s: not a capture file that can be opened\n", path.c_str());
        return 1;
    }
    int32_t linkType = 0;
    QvrGetLinkType(module, &linkType);
    if (QvrRegisterHandler(module, onPacket, &summary) != QVR_OK ||
        QvrStartDispatchOfflinePacket(module) != QVR_OK) {
        std::fprintf(stderr, "corvane-capsummary: %s: reading failed\n", path.c_str());
        QvrDeleteQuarvel(module);
        return 1;
    }
    if (summary.failed) {
        std::fprintf(stderr, "corvane-capsummary: out of memory\n");
        QvrDeleteQuarvel(module);
        return 1;
    }
    int32_t misses = 0;
    QvrGetPacketMissCount(module, &misses);
    QvrDeleteQuarvel(module);

    std::printf("file: %s (link type %d)\n", path.c_str(), static_cast<int>(linkType));
    std::printf("packets: %llu (%llu bytes)\n", static_cast<unsigned long long>(summary.count),
                static_cast<unsigned long long>(summary.bytes));
    std::printf("misses: %d\n", static_cast<int>(misses));
    if (!summary.lines.empty())
        std::printf("   index  time (UTC)                  length  headers\n");
    for (const std::string& line : summary.lines)
        std::printf("%s\n", line.c_str());

    std::vector<std::pair<std::string, uint64_t>> chains(summary.chains.begin(), summary.chains.end());
    std::stable_sort(chains.begin(), chains.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::printf("header chains:\n");
    for (const auto& [chain, count] : chains)
        std::printf("%10llu  %s\n", static_cast<unsigned long long>(count), chainText(chain).c_str());
    return 0;
}
