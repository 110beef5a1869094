// A small deterministic random source: the same seed gives the same numbers on every
// machine and compiler (no <random> distributions, whose results vary by library).
#pragma once

#include <cstdint>
#include <string>

namespace gencap {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    // A source for one item (a call, a stream) that depends only on the seed and the item.
    static Random forItem(uint64_t seed, uint64_t item, uint64_t salt = 0)
    {
        Random r(seed ^ (item * 0x9E3779B97F4A7C15ull) ^ (salt * 0xD1B54A32D192ED03ull));
        r.next();
        return r;
    }

    uint64_t next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t next32() { return static_cast<uint32_t>(next() >> 32); }
    // Uniform in [lo, hi], both included.
    uint64_t between(uint64_t lo, uint64_t hi) { return lo + next() % (hi - lo + 1); }
    // `digits` lowercase hexadecimal digits.
    std::string hex(int digits)
    {
        static const char kDigits[] = "0123456789abcdef";
        std::string s(static_cast<size_t>(digits), '0');
        uint64_t bits = next();
        for (int i = 0; i < digits; ++i) {
            if (i % 16 == 15)
                bits = next();
            s[static_cast<size_t>(i)] = kDigits[bits & 0xF];
            bits >>= 4;
        }
        return s;
    }

private:
    uint64_t state_;
};

} // namespace gencap
