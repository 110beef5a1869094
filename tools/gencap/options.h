// Command line of corvane-gencap.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace gencap {

struct Options {
    std::string output;
    uint64_t calls = 0;   // 0: decided by `packets`, or the default count
    uint64_t packets = 0; // 0: no packet budget
    uint64_t seed = 1;
    double mediaSeconds = 6.0;
    bool allIpv6 = false;
    bool help = false;
};

constexpr uint64_t kDefaultCalls = 4;

// The options, or nothing with `error` set.
std::optional<Options> parseOptions(int argc, char** argv, std::string& error);
const char* usageText();

} // namespace gencap
