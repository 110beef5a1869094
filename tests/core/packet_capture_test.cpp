// The capture session: opening live and file sessions, the store, per-source settings,
// saving, and ending a file reader early.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "allocation_failures.h"
#include "capture_file.h"
#include "packet_process.h"

using namespace testsupport;
using AnalyzerProject::CPacketCapture;
using AnalyzerProject::PacketCaptureConf;
using AnalyzerProject::PacketCursor;

namespace {

Bytes numberedFrame(uint8_t n) { return udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060, {n, n, n}); }

// A capture file whose frame i carries the number i and the time i seconds.
struct NumberedFile {
    TempPath path;
    explicit NumberedFile(int count)
    {
        CaptureFileWriter writer(path.str());
        for (int i = 0; i < count; ++i)
            writer.add(numberedFrame(static_cast<uint8_t>(i)), static_cast<uint32_t>(i), 0);
    }
};

void waitForReader(const CPacketCapture& session)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (session.IsReading() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(session.IsReading());
}

std::vector<int32_t> storedSeconds(const CPacketCapture& session)
{
    std::vector<int32_t> seconds;
    for (uint32_t i = 0; i < session.PacketCount(); ++i)
        seconds.push_back(session.GetPacket(i)->ts_sec);
    return seconds;
}

bool isRoot() { return geteuid() == 0; }

TEST(PacketCaptureOpen, FileSessionFillsTheStoreByItself)
{
    NumberedFile file(3);
    std::mutex lock;
    CPacketCapture session;
    session.SetLock(&lock);
    session.SetLock(nullptr); // changes nothing
    ASSERT_TRUE(session.Open(file.path.c_str(), nullptr));
    waitForReader(session);
    EXPECT_EQ(session.PacketCount(), 3u);
    EXPECT_EQ(storedSeconds(session), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(session.GetPacket(3), nullptr);
    EXPECT_TRUE(session.IsFileSession());
}

TEST(PacketCaptureOpen, FailuresLeaveNothingBehind)
{
    CPacketCapture noSources;
    EXPECT_FALSE(noSources.Open(nullptr, nullptr));

    NumberedFile file(3);
    CPacketCapture badFilter;
    EXPECT_FALSE(badFilter.Open(file.path.c_str(), "udp and ((("));
    EXPECT_FALSE(badFilter.IsReading());
    EXPECT_EQ(badFilter.PacketCount(), 0u);
    std::vector<QvrPacket*> all;
    EXPECT_FALSE(badFilter.SavePackets("/tmp/never-written.pcap", nullptr)); // no module remains

    CPacketCapture missing;
    EXPECT_FALSE(missing.Open("/nonexistent/file.pcap", nullptr));

    CPacketCapture noSuchDevice;
    noSuchDevice.AddInterface("corvane-no-such-device0", nullptr);
    EXPECT_FALSE(noSuchDevice.Open(nullptr, nullptr));
    EXPECT_FALSE(noSuchDevice.SavePackets("/tmp/never-written.pcap", nullptr));
}

TEST(PacketCaptureOpen, FileFilterSelectsWhatIsStored)
{
    TempPath path;
    {
        CaptureFileWriter writer(path.str());
        writer.add(numberedFrame(1), 1);
        writer.add(tcpFrame({10, 0, 0, 1}, 80, {10, 0, 0, 2}, 3000, textBytes("x")), 2);
        writer.add(numberedFrame(3), 3);
    }
    CPacketCapture session;
    ASSERT_TRUE(session.Open(path.c_str(), "tcp"));
    waitForReader(session);
    EXPECT_EQ(storedSeconds(session), (std::vector<int32_t>{2}));
}

TEST(PacketCaptureStore, FailedCopyDropsOnePacketAndKeepsOrder)
{
    NumberedFile file(5);
    CPacketCapture session;
    quarvel::testing::failPacketCopies(1);
    ASSERT_TRUE(session.Open(file.path.c_str(), nullptr));
    waitForReader(session);
    quarvel::testing::failPacketCopies(0);
    EXPECT_EQ(storedSeconds(session), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(PacketCaptureStore, CursorWalksForwardOnly)
{
    NumberedFile file(5);
    CPacketCapture session;
    ASSERT_TRUE(session.Open(file.path.c_str(), nullptr));
    waitForReader(session);
    PacketCursor cursor = session.FirstPacket();
    EXPECT_EQ(session.GetPacketFrom(2, cursor, 0)->ts_sec, 2);
    EXPECT_EQ(cursor.index, 2u);
    EXPECT_EQ(session.GetPacketFrom(1, cursor, 2), nullptr); // behind the cursor
    EXPECT_EQ(session.GetPacketFrom(5, cursor, 2), nullptr); // past the store
    EXPECT_EQ(cursor.index, 2u);
    EXPECT_EQ(session.GetPacketFrom(4, cursor, 2)->ts_sec, 4);
    session.ClearPackets();
    EXPECT_EQ(session.PacketCount(), 0u);
    EXPECT_EQ(session.GetPacket(0), nullptr);
}

std::vector<std::pair<long, Bytes>> readBack(const std::string& path)
{
    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(path.c_str(), errbuf);
    EXPECT_NE(p, nullptr) << errbuf;
    std::vector<std::pair<long, Bytes>> records;
    pcap_pkthdr* h;
    const u_char* data;
    while (p && pcap_next_ex(p, &h, &data) == 1)
        records.push_back({h->ts.tv_sec, Bytes(data, data + h->caplen)});
    if (p)
        pcap_close(p);
    return records;
}

TEST(PacketCaptureSave, AllPacketsOrTheSelectionInSelectionOrder)
{
    NumberedFile file(4);
    CPacketCapture session;
    ASSERT_TRUE(session.Open(file.path.c_str(), nullptr));
    waitForReader(session);

    TempPath all, selected;
    ASSERT_TRUE(session.SavePackets(all.c_str(), nullptr));
    const auto everything = readBack(all.str());
    ASSERT_EQ(everything.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(everything[i].first, i);
        EXPECT_EQ(everything[i].second, numberedFrame(static_cast<uint8_t>(i)));
    }

    const std::vector<QvrPacket*> selection = {session.GetPacket(3), session.GetPacket(1)};
    ASSERT_TRUE(session.SavePackets(selected.c_str(), &selection));
    const auto two = readBack(selected.str());
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].first, 3);
    EXPECT_EQ(two[1].first, 1);

    EXPECT_FALSE(session.SavePackets(nullptr, nullptr));
    EXPECT_FALSE(session.SavePackets("/nonexistent-dir/out.pcap", nullptr));
    CPacketCapture neverOpened;
    neverOpened.AddInterface("lo", nullptr);
    EXPECT_FALSE(neverOpened.SavePackets(selected.c_str(), nullptr));
}

TEST(PacketCaptureSources, PerSourceSettingsOnAFileSession)
{
    NumberedFile file(1);
    CPacketCapture session;
    ASSERT_TRUE(session.Open(file.path.c_str(), nullptr));
    EXPECT_TRUE(session.SetInterfaceFilter(0, "udp")); // no such live source: nothing changes
    std::string filter = "unchanged";
    session.GetInterfaceFilter(0, filter);
    EXPECT_EQ(filter, "unchanged");
    EXPECT_FALSE(session.SetInterfacePromiscuous(0, 1));
    PacketCaptureConf conf;
    EXPECT_FALSE(session.GetInterfaceConf(0, conf));
}

TEST(PacketCaptureSources, PerSourceSettingsOnALiveSession)
{
    if (!isRoot())
        GTEST_SKIP() << "capturing on lo needs root";
    CPacketCapture session;
    session.AddInterface("lo", nullptr);
    session.AddInterface("lo", nullptr);
    EXPECT_TRUE(session.HasInterface("lo"));
    EXPECT_FALSE(session.HasInterface("lo0"));
    EXPECT_EQ(session.InterfaceCount(), 2);
    EXPECT_EQ(session.InterfaceName(1), "lo");
    ASSERT_TRUE(session.Open(nullptr, nullptr));

    EXPECT_FALSE(session.SetInterfaceFilter(5, "udp"));
    EXPECT_TRUE(session.SetInterfaceFilter(1, "udp port 5060"));
    EXPECT_FALSE(session.SetInterfaceFilter(1, "udp port"));
    std::string filter;
    session.GetInterfaceFilter(1, filter);
    EXPECT_EQ(filter, "udp port 5060");

    EXPECT_TRUE(session.SetInterfacePromiscuous(0, 1));
    PacketCaptureConf conf;
    ASSERT_TRUE(session.GetInterfaceConf(0, conf));
    EXPECT_EQ(conf.promiscuous, 1);
    std::vector<PacketCaptureConf> confs;
    session.GetConfs(confs);
    ASSERT_EQ(confs.size(), 2u);
    EXPECT_EQ(confs[1].promiscuous, 0);
}

TEST(PacketCaptureLive, StartEmptiesTheStoreUnlessAskedToKeepIt)
{
    if (!isRoot())
        GTEST_SKIP() << "capturing on lo needs root";
    CPacketCapture session;
    session.AddInterface("lo", nullptr);
    ASSERT_TRUE(session.Open(nullptr, nullptr));
    ASSERT_TRUE(session.SetInterfaceFilter(0, "udp port 9")); // nothing arrives there
    Bytes frame = numberedFrame(1);
    QvrPacket packet{1, 0, frame.data(), static_cast<uint32_t>(frame.size()), nullptr, nullptr};
    for (int i = 0; i < 10; ++i)
        CPacketCapture::StorePacket(&packet, &session);
    session.StartCapture(true);
    session.StopCapture();
    EXPECT_EQ(session.PacketCount(), 10u);
    session.StartCapture(false);
    EXPECT_EQ(session.PacketCount(), 0u);
    session.StopCapture();
}

// Destroying a session while its reader is still in the file must not wait for the end
// of the file: the read is interrupted.
TEST(PacketCaptureFileReader, DestructionMidFileEndsTheReadEarly)
{
    TempPath path;
    const int frames = 600000;
    {
        CaptureFileWriter writer(path.str());
        const Bytes frame = numberedFrame(7);
        for (int i = 0; i < frames; ++i)
            writer.add(frame, static_cast<uint32_t>(i));
    }
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    {
        CPacketCapture whole;
        ASSERT_TRUE(whole.Open(path.c_str(), nullptr));
        waitForReader(whole);
        EXPECT_EQ(whole.PacketCount(), static_cast<uint32_t>(frames));
    }
    const auto wholeRead = Clock::now() - start;

    uint32_t storedAtDestruction = 0;
    start = Clock::now();
    {
        CPacketCapture early;
        ASSERT_TRUE(early.Open(path.c_str(), nullptr));
        while (early.PacketCount() == 0)
            std::this_thread::yield();
        storedAtDestruction = early.PacketCount();
    }
    const auto earlyEnd = Clock::now() - start;
    EXPECT_LT(storedAtDestruction, static_cast<uint32_t>(frames));
    EXPECT_LT(earlyEnd, wholeRead / 2) << "destruction waited for the whole file";
}

} // namespace
