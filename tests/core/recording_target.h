// An analysis target that records every page entry call, for tests of the delivery order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "analysis_target.h"

namespace testsupport {

class RecordingTarget : public AnalyzerProject::AnalysisTarget {
public:
    std::vector<std::string> calls;        // "pv", "sv", "rs", "st", "pv-clear", ...
    std::vector<const QvrPacket*> packets; // what m_pv_AddPacket saw
    std::function<void(size_t delivered)> afterPacket; // runs after the last page of a packet

protected:
    void m_pv_AddPacket(QvrPacket* p) override
    {
        calls.push_back("pv");
        packets.push_back(p);
    }
    void m_sv_AddPacket(QvrPacket*) override { calls.push_back("sv"); }
    void m_rs_AddPacket(QvrPacket*) override { calls.push_back("rs"); }
    void m_st_AddPacket(QvrPacket*) override
    {
        calls.push_back("st");
        if (afterPacket)
            afterPacket(packets.size());
    }
    void m_pv_Clear() override { calls.push_back("pv-clear"); }
    void m_sv_Clear() override { calls.push_back("sv-clear"); }
    void m_rs_Clear() override { calls.push_back("rs-clear"); }
    void m_st_Clear() override { calls.push_back("st-clear"); }
};

} // namespace testsupport
