// Address texts as the analysis pages show them and use as keys: IPv4 in dotted decimal,
// IPv6 with leading zeros dropped and the first run of zero groups written as "::".
// The functions keep no state and may run on any thread.
#pragma once

#include <cstdint>
#include <string>

namespace AnalyzerProject {

// Buffer sizes the callers provide: the longest text plus its terminator.
constexpr int IPV4_TEXT_SIZE = 16;
constexpr int IPV6_TEXT_SIZE = 40;

// Four bytes in network order as "%u.%u.%u.%u" into `out` (at least 16 bytes).
// Answers -1 (writing nothing) if a pointer is null, 0 otherwise.
int IPv4ToText(const uint8_t* bytes, char* out);

// Sixteen bytes in network order as eight groups of four hex digits, shortened with
// ShortenIPv6Text, into `out` (at least 40 bytes). Answers -1 if a pointer is null.
int IPv6ToText(const uint8_t* bytes, char* out);

// Shortens a full IPv6 text ("xxxx:xxxx:...:xxxx") into `out` (at least 40 bytes):
//  1. leading zeros of each group are dropped, a group of zeros keeps one "0";
//  2. the first run of groups that are exactly "0" is found (a zero group at the very end
//     only extends a run that began earlier);
//  3. the run becomes "::", unless there is none or it is the first group alone.
// `in` may be any zero-terminated text: it is read up to its terminator at most, and the
// result never has more than 39 characters. `in` and `out` may be the same buffer.
// Answers -1 (writing nothing) if a pointer is null, 0 otherwise.
int ShortenIPv6Text(const char* in, char* out);

// The same texts as strings.
std::string IPv4ToString(const uint8_t* bytes);
std::string IPv6ToString(const uint8_t* bytes);

} // namespace AnalyzerProject
