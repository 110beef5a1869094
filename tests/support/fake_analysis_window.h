// An analysis window without a window: it holds a capture session and a caption, and opens
// without doing anything. For tests that need analyses in the registry.
#pragma once

#include <string>

#include "analysis_registry.h"
#include "packet_process.h"

namespace testsupport {

class FakeAnalysisWindow : public AnalyzerProject::AnalysisWindow {
public:
    AnalyzerProject::CPacketCapture capture;
    std::string caption;
    AnalyzerProject::CAnalysis* analysis = nullptr;

    AnalyzerProject::CPacketCapture& Capture() override { return capture; }
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& c) override { caption = c; }
    void SetAnalysis(AnalyzerProject::CAnalysis* a) override { analysis = a; }
    bool OpenCapture(const char*) override { return true; }
};

} // namespace testsupport
