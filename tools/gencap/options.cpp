#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace gencap {

namespace {

bool parseCount(const char* text, uint64_t lo, uint64_t hi, uint64_t& out)
{
    if (!*text || std::strspn(text, "0123456789") != std::strlen(text))
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text, nullptr, 10);
    if (errno || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool parseSeconds(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno || end == text || *end || !std::isfinite(v) || v < 0.1 || v > 3600)
        return false;
    out = v;
    return true;
}

} // namespace

const char* usageText()
{
    return "usage: corvane-gencap OUTPUT.pcap [--calls N | --packets N] [--seed S] [--duration SECONDS] [--ipv6]\n"
           "Writes a capture file (Ethernet) of SIP calls with their RTP media and a little other traffic.\n"
           "  --calls N           number of calls (default 4)\n"
           "  --packets N         about N packets in all: as many calls as that takes\n"
           "  --seed S            seed of every choice (default 1); same arguments give the same bytes\n"
           "  --duration SECONDS  average media length of an answered call (default 6)\n"
           "  --ipv6              every call over IPv6 (default: one call in five)\n";
}

std::optional<Options> parseOptions(int argc, char** argv, std::string& error)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&]() {
            if (!value)
                error = arg + " needs a value";
            return value != nullptr;
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return o;
        } else if (arg == "--ipv6") {
            o.allIpv6 = true;
        } else if (arg == "--calls") {
            if (!needValue())
                return std::nullopt;
            if (!parseCount(value, 1, 10'000'000, o.calls)) {
                error = "--calls wants a number from 1 to 10000000";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--packets") {
            if (!needValue())
                return std::nullopt;
            if (!parseCount(value, 1, 4'000'000'000ull, o.packets)) {
                error = "--packets wants a number from 1 to 4000000000";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--seed") {
            if (!needValue())
                return std::nullopt;
            if (!parseCount(value, 0, UINT64_MAX, o.seed)) {
                error = "--seed wants a whole number";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--duration") {
            if (!needValue())
                return std::nullopt;
            if (!parseSeconds(value, o.mediaSeconds)) {
                error = "--duration wants seconds from 0.1 to 3600";
                return std::nullopt;
            }
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (o.output.empty()) {
            o.output = arg;
        } else {
            error = "more than one output file";
            return std::nullopt;
        }
    }
    if (o.output.empty()) {
        error = "no output file";
        return std::nullopt;
    }
    if (o.calls && o.packets) {
        error = "--calls and --packets exclude each other";
        return std::nullopt;
    }
    if (!o.calls && !o.packets)
        o.calls = kDefaultCalls;
    return o;
}

} // namespace gencap
