#include "rtp_stream.h"

#include <cstring>

#include "codec_payload.h"
#include "random.h"

namespace gencap {

namespace {

constexpr size_t kRtpHeaderSize = 12;
constexpr Micros kMaxJitter = 1'500;     // send time spread around the nominal time
constexpr Micros kPacketGap = 150;       // between the packets of one video picture
constexpr uint32_t kVideoClockStep = 3'600; // 90 kHz clock, 40 ms
constexpr uint32_t kAudioClockStep = 160;   // 8 kHz clock, 20 ms

void writeRtpHeader(uint8_t* p, bool marker, uint8_t payloadType, uint16_t sequence, uint32_t timestamp,
                    uint32_t ssrc)
{
    p[0] = 0x80; // version 2, no padding, no extension, no CSRC
    p[1] = static_cast<uint8_t>((marker ? 0x80 : 0) | payloadType);
    p[2] = static_cast<uint8_t>(sequence >> 8);
    p[3] = static_cast<uint8_t>(sequence);
    for (int i = 0; i < 4; ++i) {
        p[4 + i] = static_cast<uint8_t>(timestamp >> (24 - 8 * i));
        p[8 + i] = static_cast<uint8_t>(ssrc >> (24 - 8 * i));
    }
}

class RtpStream : public Source {
public:
    explicit RtpStream(const StreamPlan& plan)
        : plan_(plan), framer_(plan.src, plan.srcPort, plan.dst, plan.dstPort), random_(plan.randomSeed),
          total_(plan.packetCount())
    {
        if (plan.payloadType == kPtPcmu || plan.payloadType == kPtPcma)
            tone_ = g711Second(plan.payloadType, plan.toneHz);
        time_ = plan.start;
    }

    bool done() const override { return sent_ >= total_; }
    Micros nextTime() const override { return time_; }

    const Bytes& produce() override
    {
        const Bytes& frame = plan_.video ? videoPacket() : audioPacket();
        ++sent_;
        return frame;
    }

private:
    Micros jitter() { return random_.between(0, kMaxJitter); }

    const Bytes& audioPacket()
    {
        const AudioCodec& codec = audioCodec(plan_.payloadType);
        uint8_t* p = framer_.begin(kRtpHeaderSize + codec.payloadSize);
        writeRtpHeader(p, sent_ == 0, plan_.payloadType, static_cast<uint16_t>(plan_.firstSequence + sent_),
                       plan_.firstTimestamp + sent_ * kAudioClockStep, plan_.ssrc);
        uint8_t* payload = p + kRtpHeaderSize;
        if (!tone_.empty())
            std::memcpy(payload, tone_.data() + (sent_ * codec.payloadSize) % tone_.size(), codec.payloadSize);
        else if (plan_.payloadType == kPtGsm)
            fillGsmFrame(payload, random_);
        else
            fillG729Frames(payload, codec.payloadSize, random_);
        time_ = plan_.start + (sent_ + 1) * kAudioInterval + jitter();
        return framer_.finish();
    }

    const Bytes& videoPacket()
    {
        const bool intra = picture_ % kIntraPeriod == 0;
        const uint32_t parts = intra ? kIntraPackets : 1;
        const size_t size = intra ? random_.between(700, 1100) : random_.between(120, 600);
        uint8_t* p = framer_.begin(kRtpHeaderSize + size);
        const bool last = part_ + 1 == parts;
        writeRtpHeader(p, last, kPtH263, static_cast<uint16_t>(plan_.firstSequence + sent_),
                       plan_.firstTimestamp + picture_ * kVideoClockStep, plan_.ssrc);
        // QCIF has GOBs 0 to 8; the later packets of an intra picture start at GOBs 2, 4, 6.
        const H263Part h263{intra, part_ == 0, static_cast<uint8_t>(picture_ * 30 / 25),
                            static_cast<uint8_t>(2 * part_)};
        fillH263(p + kRtpHeaderSize, size, h263, random_);
        if (last) {
            part_ = 0;
            ++picture_;
            time_ = plan_.start + picture_ * kVideoInterval + jitter();
        } else {
            ++part_;
            time_ += kPacketGap;
        }
        return framer_.finish();
    }

    StreamPlan plan_;
    UdpFramer framer_;
    Random random_;
    std::vector<uint8_t> tone_;
    uint32_t total_;
    uint32_t sent_ = 0;
    uint32_t picture_ = 0, part_ = 0;
    Micros time_ = 0;
};

} // namespace

std::unique_ptr<Source> makeRtpStream(const StreamPlan& plan) { return std::make_unique<RtpStream>(plan); }

} // namespace gencap
