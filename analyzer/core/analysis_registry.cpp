#include "analysis_registry.h"

#include <map>

#include "packet_process.h"

namespace AnalyzerProject {

namespace {
std::map<std::string, CAnalysis*>& registry()
{
    static std::map<std::string, CAnalysis*> analyses;
    return analyses;
}
} // namespace

CAnalysis::CAnalysis(const std::string& analysisName, const std::function<AnalysisWindow*(CAnalysis*)>& makeWindow)
    : name(analysisName)
{
    window = makeWindow ? makeWindow(this) : nullptr;
    if (window) {
        window->SetCaption(name);
        window->SetAnalysis(this);
        RegisterAnalysis(name, this);
    }
}

CAnalysis::~CAnalysis()
{
    const std::string shown = window ? window->Caption() : name;
    if (registry().count(shown) && registry()[shown] == this)
        UnregisterAnalysis(shown);
}

void CAnalysis::AddInterface(const std::string& source, pcap_rmtauth* auth)
{
    if (window)
        window->Capture().AddInterface(source, auth);
    else if (auth)
        QvrDeleteAuthInfo(auth);
}

bool CAnalysis::Start(const char* fileName) { return window && window->OpenCapture(fileName); }

bool IsAnalysisNameUsed(const std::string& name) { return registry().count(name) > 0; }

bool RegisterAnalysis(const std::string& name, CAnalysis* analysis)
{
    if (!analysis || IsAnalysisNameUsed(name))
        return false;
    registry()[name] = analysis;
    return true;
}

void UnregisterAnalysis(const std::string& name) { registry().erase(name); }

bool IsInterfaceFree(const std::string& sourceName)
{
    for (const auto& [name, analysis] : registry())
        if (analysis->Window() && analysis->Window()->Capture().HasInterface(sourceName))
            return false;
    return true;
}

} // namespace AnalyzerProject
