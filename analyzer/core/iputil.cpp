#include "iputil.h"

#include <cstdio>
#include <cstring>

namespace AnalyzerProject {

int IPv4ToText(const uint8_t* bytes, char* out)
{
    if (!bytes || !out)
        return -1;
    std::snprintf(out, IPV4_TEXT_SIZE, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return 0;
}

int IPv6ToText(const uint8_t* bytes, char* out)
{
    if (!bytes || !out)
        return -1;
    char full[IPV6_TEXT_SIZE];
    char* p = full;
    for (int g = 0; g < 8; ++g) {
        const int written = std::snprintf(p, static_cast<size_t>(full + sizeof full - p), g < 7 ? "%02x%02x:" : "%02x%02x",
                                          bytes[2 * g], bytes[2 * g + 1]);
        p += written;
    }
    return ShortenIPv6Text(full, out);
}

int ShortenIPv6Text(const char* in, char* out)
{
    if (!in || !out)
        return -1;
    constexpr size_t kMaxLength = IPV6_TEXT_SIZE - 1;

    // Pass 1: leading zeros of each group go, a group of zeros keeps one "0". Nothing is
    // written to `out` before `in` has been read, so the two may share a buffer.
    char text[IPV6_TEXT_SIZE];
    size_t n = 0;
    bool groupStart = true;
    for (size_t i = 0; in[i] != '\0' && n < kMaxLength; ++i) {
        const char c = in[i];
        if (groupStart && c == '0' && in[i + 1] != ':' && in[i + 1] != '\0')
            continue;
        text[n++] = c;
        groupStart = c == ':';
    }
    text[n] = '\0';

    // Pass 2: the first run of groups that are exactly "0". It starts at a zero group that
    // has a ":" after it and ends at the ":" after the last zero group of the run; a zero
    // group at the very end (no ":" after it) only extends a run that began earlier.
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t runStart = kNone;
    size_t runEnd = kNone;
    bool reachesLast = false;
    for (size_t pos = 0;;) {
        size_t end = pos;
        while (end < n && text[end] != ':')
            ++end;
        const bool zero = end - pos == 1 && text[pos] == '0';
        const bool colonAfter = end < n;
        if (runStart == kNone) {
            if (zero && colonAfter) {
                runStart = pos;
                runEnd = end;
            }
        } else {
            if (!zero)
                break;
            if (colonAfter)
                runEnd = end;
            else
                reachesLast = true;
        }
        if (!colonAfter)
            break;
        pos = end + 1;
    }

    // Pass 3: no run, or the first group alone, keeps the text of pass 1.
    if (runStart == kNone || (runStart == 0 && runEnd == 1 && !reachesLast)) {
        std::memcpy(out, text, n + 1);
        return 0;
    }
    // The run becomes "::": its characters up to the ":" that ends it go, with one ":" put
    // in front when it starts at the first group. At least its first "0" goes, so the text
    // never grows.
    char result[IPV6_TEXT_SIZE];
    size_t m = 0;
    if (runStart == 0)
        result[m++] = ':';
    std::memcpy(result + m, text, runStart);
    m += runStart;
    std::memcpy(result + m, text + runEnd, n - runEnd);
    m += n - runEnd;
    // A run that reaches the last group leaves ":0" at the end; its "0" goes too.
    if (reachesLast && m > 0 && result[m - 1] == '0')
        --m;
    result[m] = '\0';
    std::memcpy(out, result, m + 1);
    return 0;
}

std::string IPv4ToString(const uint8_t* bytes)
{
    char text[IPV4_TEXT_SIZE];
    return IPv4ToText(bytes, text) == 0 ? std::string(text) : std::string();
}

std::string IPv6ToString(const uint8_t* bytes)
{
    char text[IPV6_TEXT_SIZE];
    return IPv6ToText(bytes, text) == 0 ? std::string(text) : std::string();
}

} // namespace AnalyzerProject
