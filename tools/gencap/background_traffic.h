// The unrelated traffic between the calls: an HTTP request and response over a whole TCP
// connection, ARP who-has and reply, ICMPv6 echo, IPv6 neighbor solicitation and advertisement.
#pragma once

#include <vector>

#include "plan.h"
#include "source.h"

namespace gencap {

std::vector<TimedFrame> backgroundFrames(const BackgroundPlan& plan);

} // namespace gencap
