// Payload bytes of the media streams: a G.711 tone that plays as a tone, and frames of
// the other codecs that are well formed on the outside (GSM frame signature, H.263
// payload and picture headers) with pseudo-random coded data inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "random.h"

namespace gencap {

uint8_t linearToUlaw(int sample);
uint8_t linearToAlaw(int sample);

// One second (8000 samples) of a tone that swells once a second, coded with the payload
// type's G.711 law. A whole number of 20 ms packets fits, so packets slice it in turn.
std::vector<uint8_t> g711Second(uint8_t payloadType, uint32_t toneHz);

constexpr size_t kGsmFrameSize = 33;
void fillGsmFrame(uint8_t* out, Random& r);
void fillG729Frames(uint8_t* out, size_t size, Random& r);

struct H263Part {
    bool intra;
    bool pictureStart;         // the packet starts the picture: picture header, else GOB header
    uint8_t temporalReference;
    uint8_t gobNumber;
};
constexpr size_t kH263MinimumSize = 16;
// A payload of `size` bytes: the 4-byte mode A payload header, the picture or GOB header,
// then coded data with no start codes in it.
void fillH263(uint8_t* out, size_t size, const H263Part& part, Random& r);

} // namespace gencap
