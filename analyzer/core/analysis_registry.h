// The analyses of the process: a `CAnalysis` ties an analysis name (a name typed in a
// capture dialog, or a capture file's full path) to its analysis window. The registry keeps
// names unique and tells which capture sources are in use. User-interface thread only.
#pragma once

#include <pcap/pcap.h>

#include <functional>
#include <string>

namespace AnalyzerProject {

class CPacketCapture;
class CAnalysis;

// What the registry needs of an analysis window; the analysis window implements it.
class AnalysisWindow {
public:
    virtual ~AnalysisWindow() = default;
    virtual CPacketCapture& Capture() = 0;
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetAnalysis(CAnalysis* analysis) = 0;
    // Opens the live sources (null) or a capture file; false on failure.
    virtual bool OpenCapture(const char* fileName) = 0;
};

class CAnalysis {
public:
    // Creates the window with `makeWindow` (which may give null); a window gets the name as
    // its caption and the name is registered.
    CAnalysis(const std::string& name, const std::function<AnalysisWindow*(CAnalysis*)>& makeWindow);
    // Unregisters the name the window shows as its caption (or its own name without window).
    ~CAnalysis();
    CAnalysis(const CAnalysis&) = delete;
    CAnalysis& operator=(const CAnalysis&) = delete;

    // A capture source for the window's session; the session takes `auth` (may be null).
    void AddInterface(const std::string& source, pcap_rmtauth* auth);
    bool Start(const char* fileName);

    const std::string& Name() const { return name; }
    AnalysisWindow* Window() const { return window; }

private:
    std::string name;
    AnalysisWindow* window = nullptr;
};

bool IsAnalysisNameUsed(const std::string& name);
bool RegisterAnalysis(const std::string& name, CAnalysis* analysis);
void UnregisterAnalysis(const std::string& name);
// False when an open analysis captures from `sourceName`.
bool IsInterfaceFree(const std::string& sourceName);

} // namespace AnalyzerProject
