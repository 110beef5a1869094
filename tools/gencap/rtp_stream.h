// One RTP stream of a call: 12-byte RTP headers (version 2, fixed SSRC, sequence numbers
// one apart, timestamps at the codec clock) on 20 ms audio packets or 25 pictures per
// second of H.263 video, sent with a little jitter.
#pragma once

#include <memory>

#include "plan.h"
#include "source.h"

namespace gencap {

std::unique_ptr<Source> makeRtpStream(const StreamPlan& plan);

} // namespace gencap
