// The analysis registry: unique names, the records' lifetime, interfaces in use.
#include <gtest/gtest.h>

#include "analysis_registry.h"
#include "fake_analysis_window.h"
#include "packet_process.h"

using namespace AnalyzerProject;

namespace {


TEST(AnalysisRegistry, NamesAreUniqueWhileTheirRecordsLive)
{
    testsupport::FakeAnalysisWindow first, second;
    {
        CAnalysis a("Project0", [&](CAnalysis*) { return &first; });
        EXPECT_EQ(first.caption, "Project0");
        EXPECT_EQ(first.analysis, &a);
        EXPECT_TRUE(IsAnalysisNameUsed("Project0"));
        EXPECT_FALSE(IsAnalysisNameUsed("project0")); // compared exactly
        EXPECT_FALSE(RegisterAnalysis("Project0", &a));
        EXPECT_FALSE(RegisterAnalysis("Other", nullptr));
        CAnalysis b("Project0", [&](CAnalysis*) { return &second; }); // not registered twice
        EXPECT_TRUE(a.Start(nullptr));
    }
    EXPECT_FALSE(IsAnalysisNameUsed("Project0"));

    CAnalysis windowless("NoWindow", [](CAnalysis*) -> AnalysisWindow* { return nullptr; });
    EXPECT_FALSE(IsAnalysisNameUsed("NoWindow"));
    EXPECT_FALSE(windowless.Start(nullptr));
    pcap_rmtauth* auth = nullptr;
    QvrCreateAuthInfo(1, "u", "p", &auth);
    windowless.AddInterface("rpcap://h/eth0", auth); // released, not leaked
}

TEST(AnalysisRegistry, InterfacesOfOpenAnalysesAreNotFree)
{
    testsupport::FakeAnalysisWindow window;
    {
        CAnalysis a("Live", [&](CAnalysis*) { return &window; });
        a.AddInterface("eth0", nullptr);
        EXPECT_FALSE(IsInterfaceFree("eth0"));
        EXPECT_TRUE(IsInterfaceFree("eth1"));
    }
    EXPECT_TRUE(IsInterfaceFree("eth0"));
}

} // namespace
