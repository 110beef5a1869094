// Fuzz target for the address texts. Any text given to ShortenIPv6Text must be read no
// further than its terminator and give at most 39 characters; any 16 bytes given to
// IPv6ToText must give a text that reads back as the same address.
#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "iputil.h"

using namespace AnalyzerProject;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The input as a zero-terminated text in a buffer of its exact size (a NUL inside the
    // input just ends the text early).
    std::unique_ptr<char[]> in(new char[size + 1]);
    std::memcpy(in.get(), data, size);
    in[size] = '\0';
    std::unique_ptr<char[]> out(new char[IPV6_TEXT_SIZE]);
    if (ShortenIPv6Text(in.get(), out.get()) != 0 || std::strlen(out.get()) > IPV6_TEXT_SIZE - 1)
        std::abort();

    // Shortening in place gives the same text, and stays inside the input's own buffer
    // when that is at least as long as the output buffer.
    if (size + 1 >= IPV6_TEXT_SIZE) {
        std::unique_ptr<char[]> same(new char[size + 1]);
        std::memcpy(same.get(), in.get(), size + 1);
        ShortenIPv6Text(same.get(), same.get());
        if (std::strcmp(same.get(), out.get()) != 0)
            std::abort();
    }

    if (size >= 16) {
        if (IPv6ToText(data, out.get()) != 0 || std::strlen(out.get()) > IPV6_TEXT_SIZE - 1)
            std::abort();
        unsigned char back[16];
        if (inet_pton(AF_INET6, out.get(), back) != 1 || std::memcmp(back, data, 16) != 0)
            std::abort();
    }
    if (size >= 4) {
        std::unique_ptr<char[]> v4(new char[IPV4_TEXT_SIZE]);
        if (IPv4ToText(data, v4.get()) != 0)
            std::abort();
        unsigned char back[4];
        if (inet_pton(AF_INET, v4.get(), back) != 1 || std::memcmp(back, data, 4) != 0)
            std::abort();
    }
    return 0;
}
