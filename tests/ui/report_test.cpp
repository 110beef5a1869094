// "analyzer --report FILE": the analysis without a window, one tab-separated section per page.
#include <gtest/gtest.h>

#include <QProcess>

#include <fstream>

#include "ui_fixtures.h"

using namespace testsupport;

namespace {

struct ReportRun {
    int status;
    QString out, err;
};

ReportRun report(const QStringList& args)
{
    QProcess p;
    p.start(ANALYZER_PATH, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(Report, PrintsThePacketListRowsAndEveryPage)
{
    TempPath file;
    {
        CaptureFileWriter writer(file.str());
        writer.add(udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060, textBytes("OPTIONS sip:a SIP/2.0\r\n")), 100, 5);
        writer.add(ethernet(kEtherArp, arpRequest({10, 0, 0, 1}, {10, 0, 0, 9})), 101, 6);
        writer.add(Bytes(10)); // too short for Ethernet: never delivered
    }
    const ReportRun r = report({"--report", QString::fromStdString(file.str())});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n');
    const int list = static_cast<int>(lines.indexOf("[Packet Viewer]"));
    ASSERT_GE(list, 0) << r.out.toStdString();
    EXPECT_EQ(lines[list + 1], "NO.\tTime\tSource\tDestination\tEncapsulation");
    const QStringList first = lines[list + 2].split('\t');
    ASSERT_EQ(first.size(), 5);
    EXPECT_EQ(first[0], "0");
    EXPECT_TRUE(first[1].endsWith(".000005")) << first[1].toStdString();
    EXPECT_EQ(first[2], "10.0.0.1");
    EXPECT_EQ(first[3], "10.0.0.2");
    EXPECT_EQ(first[4], "ETH2,len:65;IPv4,id:0;UDP,sport:5060,dport:5060;Data,len:23");
    EXPECT_TRUE(lines[list + 3].startsWith("1\t"));
    EXPECT_TRUE(lines[list + 3].endsWith("\tETH2,len:42;ARP"));
    EXPECT_EQ(lines[list + 4], "");
    for (const char* page : {"[SIP Viewer]", "[RTP Spy]", "[Statistic]"}) {
        const int at = static_cast<int>(lines.indexOf(page));
        ASSERT_GE(at, 0) << page;
        EXPECT_EQ(lines[at + 1], "packets\t2");
    }
}

TEST(Report, BadFilesGiveOneLineAndAFailure)
{
    TempPath text(".txt");
    { std::ofstream(text.str()) << "not a capture"; }
    for (const QString& file : {QString("/nonexistent/capture.pcap"), QString::fromStdString(text.str())}) {
        const ReportRun r = report({"--report", file});
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(file));
    }
}

} // namespace
