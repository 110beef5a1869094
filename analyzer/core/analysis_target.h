// What the real-time dispatcher hands packets to: the four pages of one analysis. Every
// delivered packet goes to all four entries, always in the same order, and a reset clears
// the four pages in that order. The analysis window and the headless report implement it.
#pragma once

#include "quarvel.h"

namespace AnalyzerProject {

class AnalysisTarget {
public:
    virtual ~AnalysisTarget() = default;

    // Runs on the thread that owns the target (the user-interface thread).
    void DeliverPacket(QvrPacket* packet)
    {
        m_pv_AddPacket(packet);
        m_sv_AddPacket(packet);
        m_rs_AddPacket(packet);
        m_st_AddPacket(packet);
    }

    void ResetPages()
    {
        m_pv_Clear();
        m_sv_Clear();
        m_rs_Clear();
        m_st_Clear();
    }

protected:
    // Packet viewer, SIP viewer, RTP spy, statistics.
    virtual void m_pv_AddPacket(QvrPacket* packet) = 0;
    virtual void m_sv_AddPacket(QvrPacket* packet) = 0;
    virtual void m_rs_AddPacket(QvrPacket* packet) = 0;
    virtual void m_st_AddPacket(QvrPacket* packet) = 0;
    virtual void m_pv_Clear() = 0;
    virtual void m_sv_Clear() = 0;
    virtual void m_rs_Clear() = 0;
    virtual void m_st_Clear() = 0;
};

} // namespace AnalyzerProject
