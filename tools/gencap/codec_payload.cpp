#include "codec_payload.h"

#include <algorithm>
#include <cmath>

#include "plan.h"

namespace gencap {

namespace {

int segment(int value, const int* ends)
{
    for (int i = 0; i < 8; ++i)
        if (value <= ends[i])
            return i;
    return 8;
}

// Writes bit fields most significant bit first.
class BitWriter {
public:
    explicit BitWriter(uint8_t* out) : out_(out) {}
    void put(uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            const uint8_t bit = (value >> i) & 1;
            if (bit)
                out_[at_ / 8] |= static_cast<uint8_t>(0x80 >> (at_ % 8));
            else
                out_[at_ / 8] &= static_cast<uint8_t>(~(0x80 >> (at_ % 8)));
            ++at_;
        }
    }
    size_t bitsWritten() const { return at_; }

private:
    uint8_t* out_;
    size_t at_ = 0;
};

// Coded data never holds two zero bytes in a row, so no start code appears inside.
uint8_t dataByte(Random& r)
{
    const uint8_t b = static_cast<uint8_t>(r.next() >> 24);
    return b ? b : 0x5A;
}

} // namespace

uint8_t linearToUlaw(int sample)
{
    static const int ends[8] = {0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
    int value = sample >> 2;
    int mask = 0xFF;
    if (value < 0) {
        value = -value;
        mask = 0x7F;
    }
    value = std::min(value, 8159) + (0x84 >> 2);
    const int seg = segment(value, ends);
    if (seg >= 8)
        return static_cast<uint8_t>(0x7F ^ mask);
    return static_cast<uint8_t>(((seg << 4) | ((value >> (seg + 1)) & 0x0F)) ^ mask);
}

uint8_t linearToAlaw(int sample)
{
    static const int ends[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int value = sample >> 3;
    int mask = 0xD5;
    if (value < 0) {
        mask = 0x55;
        value = -value - 1;
    }
    const int seg = segment(value, ends);
    if (seg >= 8)
        return static_cast<uint8_t>(0x7F ^ mask);
    const int quant = seg < 2 ? (value >> 1) & 0x0F : (value >> seg) & 0x0F;
    return static_cast<uint8_t>(((seg << 4) | quant) ^ mask);
}

std::vector<uint8_t> g711Second(uint8_t payloadType, uint32_t toneHz)
{
    std::vector<uint8_t> out(8000);
    const double pi = 3.14159265358979323846;
    for (size_t n = 0; n < out.size(); ++n) {
        const double t = static_cast<double>(n) / 8000.0;
        const double level = 6000.0 * (0.55 + 0.45 * std::sin(2 * pi * t));
        const int sample = static_cast<int>(std::lround(level * std::sin(2 * pi * toneHz * t)));
        out[n] = payloadType == kPtPcma ? linearToAlaw(sample) : linearToUlaw(sample);
    }
    return out;
}

void fillGsmFrame(uint8_t* out, Random& r)
{
    for (size_t i = 0; i < kGsmFrameSize; ++i)
        out[i] = static_cast<uint8_t>(r.next() >> 40);
    out[0] = static_cast<uint8_t>(0xD0 | (out[0] & 0x0F)); // frame signature
}

void fillG729Frames(uint8_t* out, size_t size, Random& r)
{
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>(r.next() >> 40);
}

void fillH263(uint8_t* out, size_t size, const H263Part& part, Random& r)
{
    // Mode A payload header: F=0 P=0 SBIT=0 EBIT=0, SRC=QCIF, I (0 intra), U S A R DBQ
    // TRB all 0, TR.
    constexpr uint32_t kQcif = 2;
    out[0] = 0;
    out[1] = static_cast<uint8_t>(kQcif << 5 | (part.intra ? 0 : 1) << 4);
    out[2] = 0;
    out[3] = part.temporalReference;

    for (size_t i = 4; i < size; ++i)
        out[i] = dataByte(r);
    BitWriter bits(out + 4);
    if (part.pictureStart) {
        bits.put(0x20, 22);                   // picture start code
        bits.put(part.temporalReference, 8);  // TR
        bits.put(0b10, 2);                    // PTYPE marker bits
        bits.put(0, 3);                       // split screen, document camera, freeze release
        bits.put(kQcif, 3);                   // source format
        bits.put(part.intra ? 0 : 1, 1);      // picture coding type
        bits.put(0, 4);                       // UMV, SAC, AP, PB frames off
        bits.put(part.intra ? 8 : 12, 5);     // PQUANT
        bits.put(0, 1);                       // CPM
        bits.put(0, 1);                       // PEI
    } else {
        bits.put(1, 17);                      // GOB start code
        bits.put(part.gobNumber, 5);          // GN
        bits.put(0, 2);                       // GFID
        bits.put(part.intra ? 8 : 12, 5);     // GQUANT
    }
    // The bits after the header up to the byte end are coded data; keep one of them set
    // so the header's trailing zeros and a zero byte cannot form a start code.
    const size_t used = bits.bitsWritten();
    if (used % 8)
        out[4 + used / 8] |= 1;
}

} // namespace gencap
