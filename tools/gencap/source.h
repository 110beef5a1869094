// A source of frames in time order (one SIP dialog, one RTP stream, one exchange of other
// traffic). The scheduler merges all open sources into one capture.
#pragma once

#include <vector>

#include "plan.h"

namespace gencap {

class Source {
public:
    virtual ~Source() = default;
    virtual bool done() const = 0;
    // Time of the frame `produce` returns next; only while not done.
    virtual Micros nextTime() const = 0;
    // The next frame, valid until the following call; moves on to the frame after it.
    virtual const Bytes& produce() = 0;
};

struct TimedFrame {
    Micros time;
    Bytes frame;
};

// Frames built up front; for the few-frame exchanges (signalling, other traffic).
class ScriptSource : public Source {
public:
    explicit ScriptSource(std::vector<TimedFrame> frames) : frames_(std::move(frames)) {}
    bool done() const override { return next_ >= frames_.size(); }
    Micros nextTime() const override { return frames_[next_].time; }
    const Bytes& produce() override { return frames_[next_++].frame; }

private:
    std::vector<TimedFrame> frames_;
    size_t next_ = 0;
};

} // namespace gencap
