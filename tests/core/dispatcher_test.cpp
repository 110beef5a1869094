// The real-time dispatcher: passes and countdown, start index, packets stored during a
// pass, stopping with a packet in hand, and the hand-over to the main thread (which runs
// this test's event loop) without deadlock or stale deliveries.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include <random>
#include <thread>

#include "capture_file.h"
#include "headless_replay.h"
#include "headless_target.h"
#include "packet_process.h"
#include "recording_target.h"
#include "rtpktdispatcher.h"

using namespace testsupport;
using AnalyzerProject::CPacketCapture;
using AnalyzerProject::CRealTimePacketDispatcher;

namespace {

const Bytes kFrame = udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060, textBytes("x"));

// A session whose store is filled directly, as a capture thread would.
struct Store {
    std::mutex lock;
    CPacketCapture session;
    Store() { session.SetLock(&lock); }
    void add(int count, int32_t firstSecond = 0)
    {
        Bytes frame = kFrame;
        for (int i = 0; i < count; ++i) {
            QvrPacket p{firstSecond + i, 0, frame.data(), static_cast<uint32_t>(frame.size()), nullptr, nullptr};
            CPacketCapture::StorePacket(&p, &session);
        }
    }
};

// Runs the main thread's event loop until the dispatcher ends.
void runUntilFinished(CRealTimePacketDispatcher& d)
{
    QEventLoop loop;
    QObject::connect(&d, &QThread::finished, &loop, &QEventLoop::quit);
    if (!d.isFinished())
        loop.exec();
    d.WaitFor();
}

std::vector<int32_t> secondsOf(const RecordingTarget& t)
{
    std::vector<int32_t> s;
    for (const QvrPacket* p : t.packets)
        s.push_back(p->ts_sec);
    return s;
}

TEST(Dispatcher, EmptyStoreWithCountdownEndsAfterItsPasses)
{
    Store store;
    RecordingTarget target;
    const int interval = 20;
    CRealTimePacketDispatcher d(&store.session, &target, 0, interval, 5, true);
    QElapsedTimer timer;
    timer.start();
    d.Resume();
    runUntilFinished(d);
    EXPECT_GE(timer.elapsed(), 5 * interval - 5);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(target.calls.empty());
}

TEST(Dispatcher, DeliversInStoreOrderToAllFourPagesInTheirOrder)
{
    Store store;
    store.add(3);
    RecordingTarget target;
    CRealTimePacketDispatcher d(&store.session, &target, 0, 10, 1, true);
    d.Resume();
    runUntilFinished(d);
    EXPECT_EQ(secondsOf(target), (std::vector<int32_t>{0, 1, 2}));
    const std::vector<std::string> onePacket = {"pv", "sv", "rs", "st"};
    ASSERT_EQ(target.calls.size(), 12u);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(target.calls[i], onePacket[i % 4]);
    EXPECT_EQ(d.NextIndex(), 3u);

    target.calls.clear();
    target.ResetPages();
    EXPECT_EQ(target.calls, (std::vector<std::string>{"pv-clear", "sv-clear", "rs-clear", "st-clear"}));
}

TEST(Dispatcher, StartIndexSkipsEarlierPackets)
{
    Store store;
    store.add(3);
    RecordingTarget target;
    CRealTimePacketDispatcher d(&store.session, &target, 2, 10, 1, true);
    d.Resume();
    runUntilFinished(d);
    EXPECT_EQ(secondsOf(target), (std::vector<int32_t>{2}));
}

TEST(Dispatcher, PacketStoredDuringAPassIsDeliveredInThatPass)
{
    Store store;
    store.add(2);
    RecordingTarget target;
    target.afterPacket = [&](size_t delivered) {
        if (delivered == 1)
            store.add(1, 100);
    };
    CRealTimePacketDispatcher d(&store.session, &target, 0, 10, 1, true); // a single pass
    d.Resume();
    runUntilFinished(d);
    EXPECT_EQ(secondsOf(target), (std::vector<int32_t>{0, 1, 100}));
}

TEST(Dispatcher, WithoutTargetTheStoreIsWalkedOnly)
{
    Store store;
    store.add(4);
    CRealTimePacketDispatcher d(&store.session, nullptr, 0, 5, 1, true);
    d.Resume();
    runUntilFinished(d);
    EXPECT_EQ(d.NextIndex(), 4u);
}

TEST(Dispatcher, LiveDispatcherFollowsTheStoreUntilStopped)
{
    Store store;
    RecordingTarget target;
    CRealTimePacketDispatcher d(&store.session, &target, 0, 5, 0, true);
    d.Resume();
    for (int batch = 0; batch < 5; ++batch) {
        store.add(10, batch * 10);
        QElapsedTimer t;
        t.start();
        while (target.packets.size() < static_cast<size_t>(batch + 1) * 10 && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_EQ(target.packets.size(), 50u);
    EXPECT_FALSE(d.isFinished());

    // Stop from inside a delivery: the packet in hand completes, no later one arrives.
    store.add(1000, 1000);
    target.afterPacket = [&](size_t delivered) {
        if (delivered == 60) {
            d.SetStopNow();
            d.Terminate();
        }
    };
    runUntilFinished(d);
    EXPECT_EQ(target.packets.size(), 60u);
    EXPECT_EQ(target.calls.size(), 240u);
    QCoreApplication::processEvents();
    EXPECT_EQ(target.packets.size(), 60u);
}

TEST(Dispatcher, StaleHandOverDeliversNothing)
{
    Store store;
    store.add(100);
    RecordingTarget target;
    auto d = std::make_unique<CRealTimePacketDispatcher>(&store.session, &target, 0, 5, 0, true);
    d->Resume();
    QThread::msleep(50); // the first hand-over is now queued, unserved
    d->SetStopNow();
    ASSERT_TRUE(d->wait(QDeadlineTimer(5000))) << "a stop must free a dispatcher waiting for its hand-over";
    QCoreApplication::processEvents();
    EXPECT_TRUE(target.packets.empty());
    d.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(target.packets.empty());
}

// The owner stops and waits for the end at any moment, a hand-over pending or not.
TEST(Dispatcher, StoppingAndWaitingNeverDeadlocks)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        Store store;
        store.add(2000);
        RecordingTarget target;
        CRealTimePacketDispatcher d(&store.session, &target, 0, 1, round % 3 == 0 ? 0 : 2, true);
        d.Resume();
        QElapsedTimer t;
        t.start();
        const int serveFor = static_cast<int>(random() % 4);
        while (t.elapsed() < serveFor)
            QCoreApplication::processEvents();
        d.SetStopNow();
        d.Terminate();
        if (round % 2)
            ASSERT_TRUE(d.wait(QDeadlineTimer(5000))) << "round " << round;
        else
            d.WaitFor();
        const size_t delivered = target.packets.size();
        QCoreApplication::processEvents();
        EXPECT_EQ(target.packets.size(), delivered) << "a packet arrived after the dispatcher ended";
        for (size_t i = 0; i < delivered; ++i)
            ASSERT_EQ(target.packets[i]->ts_sec, static_cast<int32_t>(i));
    }
}

TEST(Dispatcher, ReplayOfAFileBeingReadDeliversEveryPacket)
{
    TempPath path;
    const int frames = 50000;
    {
        CaptureFileWriter writer(path.str());
        for (int i = 0; i < frames; ++i)
            writer.add(kFrame, static_cast<uint32_t>(i));
    }
    std::mutex lock;
    CPacketCapture session;
    session.SetLock(&lock);
    ASSERT_TRUE(session.Open(path.c_str(), nullptr));
    RecordingTarget target;
    CRealTimePacketDispatcher d(&session, &target, 0, 1, 5, true); // five passes take far less than the read
    d.Resume();
    runUntilFinished(d);
    ASSERT_EQ(target.packets.size(), static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(target.packets[i]->ts_sec, i);
}

TEST(HeadlessReplay, DeliversAWholeFileToEveryPageInOrder)
{
    TempPath path;
    {
        CaptureFileWriter writer(path.str());
        for (int i = 0; i < 300; ++i)
            writer.add(kFrame, static_cast<uint32_t>(i));
        writer.add(Bytes(10)); // too short to decode: not delivered, not stored
    }
    AnalyzerProject::HeadlessTarget target;
    AnalyzerProject::HeadlessReplay replay;
    const auto outcome = replay.Run(path.str(), target, 5);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.stored, 300u);
    EXPECT_EQ(outcome.delivered, 300u);
    EXPECT_EQ(outcome.missCount, 0);
    using Page = AnalyzerProject::HeadlessTarget::Page;
    for (Page page : {Page::PacketViewer, Page::SipViewer, Page::RtpSpy, Page::Statistic}) {
        EXPECT_EQ(target.Packets(page), 300u);
        EXPECT_EQ(target.Resets(page), 1u);
    }
    EXPECT_EQ(target.OutOfOrder(), 0u);
    EXPECT_EQ(replay.Session().GetPacket(299)->ts_sec, 299);

    AnalyzerProject::HeadlessReplay missing;
    EXPECT_FALSE(missing.Run("/nonexistent/file.pcap", target, 5).opened);
    AnalyzerProject::HeadlessReplay badFilter;
    EXPECT_FALSE(badFilter.Run(path.str(), target, 5, "udp port").opened);
}

// A capture file that arrives slowly (here through a pipe, with pauses far longer than
// five intervals): the replay waits for the reader instead of counting down.
TEST(Dispatcher, ReplayOfASlowlyReadFileWaitsForItsEnd)
{
    const std::string fifo = QDir::tempPath().toStdString() + "/corvane-test-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        CaptureFileWriter file(fifo);
        for (int i = 0; i < 4; ++i) {
            file.add(kFrame, static_cast<uint32_t>(i));
            file.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
    });
    std::mutex lock;
    CPacketCapture session;
    session.SetLock(&lock);
    ASSERT_TRUE(session.Open(fifo.c_str(), nullptr));
    RecordingTarget target;
    CRealTimePacketDispatcher d(&session, &target, 0, 2, 5, true);
    d.Resume();
    runUntilFinished(d);
    writer.join();
    unlink(fifo.c_str());
    EXPECT_EQ(secondsOf(target), (std::vector<int32_t>{0, 1, 2, 3}));
}

} // namespace
