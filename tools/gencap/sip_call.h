// The SIP side of a call: INVITE with an SDP offer, 100 Trying, 180 Ringing, 200 OK with
// the SDP answer (or 486 Busy Here), ACK, and BYE with its 200 OK, over UDP port 5060.
#pragma once

#include <string>
#include <vector>

#include "plan.h"
#include "source.h"

namespace gencap {

std::string sdpOffer(const CallPlan& call);
std::string sdpAnswer(const CallPlan& call);

// The dialog's messages in order, each with its time and frame.
std::vector<TimedFrame> signallingFrames(const CallPlan& call);

} // namespace gencap
