#include "sip_call.h"

namespace gencap {

namespace {

constexpr const char* kAgent = "corvane-gencap/1.0";
constexpr const char* kAllow = "INVITE, ACK, CANCEL, BYE, OPTIONS";

struct Party {
    std::string uri;     // address of record
    std::string contact; // where the party's requests reach it
    std::string nameAddr;
};

Party callerOf(const CallPlan& c)
{
    const std::string uri = "sip:" + c.callerUser + "@" + c.caller.uriHost();
    return {uri, uri + ":" + std::to_string(kSipPort), "\"" + c.callerName + "\" <" + uri + ">"};
}

Party calleeOf(const CallPlan& c)
{
    const std::string uri = "sip:" + c.calleeUser + "@" + c.callee.uriHost();
    return {uri, uri + ":" + std::to_string(kSipPort), "<" + uri + ">"};
}

std::string via(const Host& host, const std::string& branch)
{
    return "Via: SIP/2.0/UDP " + host.uriHost() + ":" + std::to_string(kSipPort) + ";branch=" + branch + "\r\n";
}

// Header lines and body put together, with the Content-Length of the body.
std::string message(const std::string& startLine, const std::string& headers, const std::string& body = {})
{
    std::string m = startLine + "\r\n" + headers;
    if (!body.empty())
        m += "Content-Type: application/sdp\r\n";
    m += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return m;
}

std::string mediaLines(const CallPlan& c, bool offer, uint16_t audioPort)
{
    std::string formats = std::to_string(c.audioPayloadType);
    std::string maps;
    auto addCodec = [&](uint8_t pt) {
        const AudioCodec& codec = audioCodec(pt);
        maps += "a=rtpmap:" + std::to_string(pt) + " " + codec.encoding + "\r\n";
        if (pt == kPtG729)
            maps += "a=fmtp:18 annexb=no\r\n";
    };
    addCodec(c.audioPayloadType);
    if (offer) {
        for (uint8_t pt : {kPtPcmu, kPtPcma, kPtG729, kPtGsm}) {
            if (pt == c.audioPayloadType)
                continue;
            formats += " " + std::to_string(pt);
            addCodec(pt);
        }
    }
    formats += " 101";
    maps += "a=rtpmap:101 telephone-event/8000\r\na=fmtp:101 0-16\r\n";
    std::string m = "m=audio " + std::to_string(audioPort) + " RTP/AVP " + formats + "\r\n" + maps +
                    "a=ptime:20\r\na=sendrecv\r\n";
    if (c.video)
        m += "m=video " + std::to_string(audioPort + 2) + " RTP/AVP 34\r\na=rtpmap:34 H263/90000\r\n"
             "a=fmtp:34 QCIF=2\r\na=sendrecv\r\n";
    return m;
}

std::string sdp(const CallPlan& c, const Host& host, const std::string& user, uint64_t session, bool offer,
                uint16_t audioPort)
{
    const std::string id = std::to_string(session);
    return "v=0\r\n"
           "o=" + user + " " + id + " " + id + " IN " + host.sdpAddress() + "\r\n"
           "s=Call\r\n"
           "c=IN " + host.sdpAddress() + "\r\n"
           "t=0 0\r\n" +
           mediaLines(c, offer, audioPort);
}

} // namespace

std::string sdpOffer(const CallPlan& c)
{
    return sdp(c, c.caller, c.callerUser, c.callerSession, true, c.callerAudioPort);
}

std::string sdpAnswer(const CallPlan& c)
{
    return sdp(c, c.callee, c.calleeUser, c.calleeSession, false, c.calleeAudioPort);
}

std::vector<TimedFrame> signallingFrames(const CallPlan& c)
{
    const Party a = callerOf(c);
    const Party b = calleeOf(c);
    const std::string callId = "Call-ID: " + c.callId + "\r\n";
    const std::string from = "From: " + a.nameAddr + ";tag=" + c.fromTag + "\r\n";
    const std::string toUntagged = "To: " + b.nameAddr + "\r\n";
    const std::string to = "To: " + b.nameAddr + ";tag=" + c.toTag + "\r\n";
    const std::string inviteVia = via(c.caller, c.inviteBranch);
    const std::string maxForwards = "Max-Forwards: 70\r\n";
    const std::string cseqInvite = "CSeq: 1 INVITE\r\n";
    const std::string calleeContact = "Contact: <" + b.contact + ">\r\n";

    std::vector<TimedFrame> out;
    auto fromCaller = [&](Micros t, const std::string& text) {
        out.push_back({t, udpBetween(c.caller, kSipPort, c.callee, kSipPort, testsupport::textBytes(text))});
    };
    auto fromCallee = [&](Micros t, const std::string& text) {
        out.push_back({t, udpBetween(c.callee, kSipPort, c.caller, kSipPort, testsupport::textBytes(text))});
    };

    fromCaller(c.invite, message("INVITE " + b.uri + " SIP/2.0",
                                 inviteVia + maxForwards + from + toUntagged + callId + cseqInvite +
                                     "Contact: <" + a.contact + ">\r\n" + "Allow: " + kAllow + "\r\n" +
                                     "User-Agent: " + kAgent + "\r\n",
                                 sdpOffer(c)));
    const std::string responseHeaders = inviteVia + from;
    fromCallee(c.trying, message("SIP/2.0 100 Trying", responseHeaders + toUntagged + callId + cseqInvite));
    fromCallee(c.ringing, message("SIP/2.0 180 Ringing",
                                  responseHeaders + to + callId + cseqInvite + calleeContact));
    if (c.busy) {
        fromCallee(c.answer, message("SIP/2.0 486 Busy Here",
                                     responseHeaders + to + callId + cseqInvite + "Server: " + kAgent + "\r\n"));
        // The ACK of a failed INVITE belongs to the INVITE transaction.
        fromCaller(c.ack, message("ACK " + b.uri + " SIP/2.0",
                                  inviteVia + maxForwards + from + to + callId + "CSeq: 1 ACK\r\n"));
        return out;
    }
    fromCallee(c.answer, message("SIP/2.0 200 OK",
                                 responseHeaders + to + callId + cseqInvite + calleeContact + "Allow: " + kAllow +
                                     "\r\n" + "Server: " + kAgent + "\r\n",
                                 sdpAnswer(c)));
    fromCaller(c.ack, message("ACK " + b.contact + " SIP/2.0",
                              via(c.caller, c.ackBranch) + maxForwards + from + to + callId + "CSeq: 1 ACK\r\n"));

    if (c.calleeHangsUp) {
        // The callee's own requests swap From and To and start their own CSeq count.
        const std::string byeVia = via(c.callee, c.byeBranch);
        const std::string byeFrom = "From: " + b.nameAddr + ";tag=" + c.toTag + "\r\n";
        const std::string byeTo = "To: " + a.nameAddr + ";tag=" + c.fromTag + "\r\n";
        const std::string headers = byeVia + byeFrom + byeTo + callId + "CSeq: 1 BYE\r\n";
        fromCallee(c.bye, message("BYE " + a.contact + " SIP/2.0", byeVia + maxForwards + byeFrom + byeTo + callId +
                                                                         "CSeq: 1 BYE\r\n" + "User-Agent: " +
                                                                         kAgent + "\r\n"));
        fromCaller(c.byeOk, message("SIP/2.0 200 OK", headers));
    } else {
        const std::string byeVia = via(c.caller, c.byeBranch);
        const std::string headers = byeVia + from + to + callId + "CSeq: 2 BYE\r\n";
        fromCaller(c.bye, message("BYE " + b.contact + " SIP/2.0", byeVia + maxForwards + from + to + callId +
                                                                        "CSeq: 2 BYE\r\n" + "User-Agent: " +
                                                                        kAgent + "\r\n"));
        fromCallee(c.byeOk, message("SIP/2.0 200 OK", headers));
    }
    return out;
}

} // namespace gencap
