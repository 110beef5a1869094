// The analysis target of runs without a window: for now it counts what each page entry
// receives (and the resets); the pages' own logic plugs in here as it is built.
#pragma once

#include <array>
#include <cstdint>

#include "analysis_target.h"

namespace AnalyzerProject {

class HeadlessTarget : public AnalysisTarget {
public:
    enum Page { PacketViewer, SipViewer, RtpSpy, Statistic, PageCount };
    static constexpr const char* kPageNames[PageCount] = {"Packet Viewer", "SIP Viewer", "RTP Spy", "Statistic"};

    uint64_t Packets(Page page) const { return packets_[page]; }
    uint64_t Resets(Page page) const { return resets_[page]; }
    // Packets whose entries did not come in the fixed page order.
    uint64_t OutOfOrder() const { return outOfOrder_; }

protected:
    void m_pv_AddPacket(QvrPacket*) override { Count(PacketViewer); }
    void m_sv_AddPacket(QvrPacket*) override { Count(SipViewer); }
    void m_rs_AddPacket(QvrPacket*) override { Count(RtpSpy); }
    void m_st_AddPacket(QvrPacket*) override { Count(Statistic); }
    void m_pv_Clear() override { ++resets_[PacketViewer]; }
    void m_sv_Clear() override { ++resets_[SipViewer]; }
    void m_rs_Clear() override { ++resets_[RtpSpy]; }
    void m_st_Clear() override { ++resets_[Statistic]; }

private:
    void Count(Page page)
    {
        if (page != expected_)
            ++outOfOrder_;
        ++packets_[page];
        expected_ = static_cast<Page>((page + 1) % PageCount);
    }

    std::array<uint64_t, PageCount> packets_{};
    std::array<uint64_t, PageCount> resets_{};
    uint64_t outOfOrder_ = 0;
    Page expected_ = PacketViewer;
};

} // namespace AnalyzerProject
