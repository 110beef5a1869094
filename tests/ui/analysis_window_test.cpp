// The analysis window: its toolbar through the states of a file window and a live window,
// the display filter replays, options, the dissector probe and closing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QSlider>

#include <arpa/inet.h>
#include <sys/socket.h>

#include "analysisform.h"
#include "settingdlg.h"
#include "ui_fixtures.h"

using namespace AnalyzerProject;
using namespace testsupport;

namespace {

struct ToolbarState {
    bool capture, save, filter, options;
    bool operator==(const ToolbarState&) const = default;
};
ToolbarState toolbar(const TAnalysisForm& w)
{
    return {w.ToolButton1->isEnabled(), w.ToolButton2->isEnabled(), w.ToolButton5->isEnabled(),
            w.ToolButton4->isEnabled()};
}
void PrintTo(const ToolbarState& s, std::ostream* os)
{
    *os << "{capture " << s.capture << ", save " << s.save << ", filter " << s.filter << ", options " << s.options
        << "}";
}

uint64_t onEveryPage(const TAnalysisForm& w)
{
    const uint64_t n = w.PagePackets(0);
    for (int p = 1; p < 4; ++p)
        if (w.PagePackets(p) != n)
            return UINT64_MAX;
    return n;
}

bool replayDone(const TAnalysisForm& w) { return !w.m_pv_Timer1.isActive(); }

class AnalysisWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        TAnalysisForm::SetDissectorPath("/usr/bin/tshark");
        window = new TAnalysisForm();
        window->resize(900, 600);
    }
    void TearDown() override
    {
        if (window)
            window->close();
        TAnalysisForm::SetDissectorPath(QString());
    }
    QPointer<TAnalysisForm> window;
    MessageLog log;
};

TEST_F(AnalysisWindow, FileWindowReplaysThenGivesBackFilterAndOptionsOnly)
{
    TempPath file;
    writeUdpCapture(file.str(), 100, 10);
    window->SetCaption(file.str());
    ASSERT_TRUE(window->OpenCapture(file.c_str()));
    EXPECT_TRUE(window->OfflineMode());
    EXPECT_EQ(toolbar(*window), (ToolbarState{false, false, false, false}));
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    EXPECT_EQ(onEveryPage(*window), 100u);
    EXPECT_EQ(toolbar(*window), (ToolbarState{false, false, true, true}));

    // Display filter on: only the matching packets; off: all of them again.
    window->SetDisplayFilter("udp dst port 6000");
    window->ToolButton5->click();
    EXPECT_TRUE(window->ToolButton5->isChecked());
    EXPECT_EQ(toolbar(*window), (ToolbarState{false, false, false, false}));
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    EXPECT_EQ(onEveryPage(*window), 10u);
    EXPECT_EQ(toolbar(*window), (ToolbarState{false, false, true, true}));
    EXPECT_EQ(window->FilterDispatcher(), nullptr);

    window->ToolButton5->click();
    EXPECT_FALSE(window->ToolButton5->isChecked());
    EXPECT_EQ(window->FilterCapture(), nullptr);
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    EXPECT_EQ(onEveryPage(*window), 100u);
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(AnalysisWindow, DisplayFilterFailuresRaiseTheButtonSilently)
{
    TempPath file;
    writeUdpCapture(file.str(), 5);
    window->SetCaption(file.str());
    ASSERT_TRUE(window->OpenCapture(file.c_str()));
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    for (const char* expression : {"", "udp port"}) { // empty, and not accepted
        window->SetDisplayFilter(expression);
        window->ToolButton5->click();
        EXPECT_FALSE(window->ToolButton5->isChecked()) << expression;
        EXPECT_EQ(window->FilterCapture(), nullptr);
    }
    EXPECT_EQ(onEveryPage(*window), 5u);
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(AnalysisWindow, OptionsIntervalAppliesToLaterDispatchers)
{
    TempPath file;
    writeUdpCapture(file.str(), 3);
    window->SetCaption(file.str());
    ASSERT_TRUE(window->OpenCapture(file.c_str()));
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    window->runDialog = [](QDialog& d) {
        auto& settings = static_cast<TForm2&>(d);
        settings.findChild<QSlider*>("TrackBarUpdateInterval")->setValue(4);
        settings.findChild<QLineEdit*>("Edit1")->setText("udp");
        return int(QDialog::Accepted);
    };
    window->ToolButton4->click();
    EXPECT_EQ(window->UpdateInterval(), 200);
    EXPECT_EQ(window->DisplayFilter(), "udp");
    ASSERT_TRUE(window->StartDispatcher(0, 1));
    EXPECT_EQ(window->Dispatcher()->Interval(), 200);
    EXPECT_FALSE(window->StartDispatcher(0, 1)); // one main dispatcher at a time
    window->StopDispatcher(true);
    EXPECT_EQ(window->Dispatcher(), nullptr);
}

TEST_F(AnalysisWindow, MissingDissectorFailsTheOpeningButKeepsTheWindow)
{
    TAnalysisForm::SetDissectorPath("/nonexistent/ethereal/tethereal");
    TempPath file;
    writeUdpCapture(file.str(), 3);
    window->SetCaption(file.str());
    EXPECT_FALSE(window->OpenCapture(file.c_str()));
    ASSERT_FALSE(window.isNull());
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    EXPECT_EQ(onEveryPage(*window), 3u);
}

TEST_F(AnalysisWindow, UnreadableFileClosesTheWindow)
{
    EXPECT_FALSE(window->OpenCapture("/nonexistent/capture.pcap"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}


// A live window on lo through ready, capturing, stopped and the display filter replays.
TEST_F(AnalysisWindow, LiveWindowThroughItsStates)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "capturing on lo needs root";
    window->SetCaption("Live");
    window->Capture().AddInterface("lo", nullptr);
    ASSERT_TRUE(window->OpenCapture(nullptr));
    ASSERT_TRUE(window->Capture().SetInterfaceFilter(0, "udp dst portrange 47001-47002"));
    EXPECT_EQ(toolbar(*window), (ToolbarState{true, false, true, true}));

    window->ToolButton1->click(); // start
    EXPECT_TRUE(window->Capturing());
    EXPECT_EQ(window->ToolButton1->property("image").toInt(), 5);
    EXPECT_EQ(toolbar(*window), (ToolbarState{true, false, false, false}));
    sendLoopbackDatagrams(47001, 90);
    sendLoopbackDatagrams(47002, 10);
    ASSERT_TRUE(waitFor([&] { return window->PagePackets(3) >= 100; }));

    window->ToolButton1->click(); // stop
    EXPECT_FALSE(window->Capturing());
    EXPECT_EQ(window->ToolButton1->property("image").toInt(), 6);
    EXPECT_EQ(toolbar(*window), (ToolbarState{true, true, true, true}));
    EXPECT_EQ(onEveryPage(*window), 100u);

    window->SetDisplayFilter("udp dst port 47002");
    window->ToolButton5->click();
    EXPECT_EQ(toolbar(*window), (ToolbarState{false, false, false, false}));
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    EXPECT_EQ(onEveryPage(*window), 10u);
    EXPECT_EQ(toolbar(*window), (ToolbarState{true, true, true, true}));

    window->ToolButton5->click();
    ASSERT_TRUE(waitFor([&] { return replayDone(*window); }));
    EXPECT_EQ(onEveryPage(*window), 100u);

    // A new capture empties pages and store before anything new arrives.
    window->ToolButton1->click();
    EXPECT_EQ(window->Capture().PacketCount(), 0u);
    EXPECT_EQ(onEveryPage(*window), 0u);
    sendLoopbackDatagrams(47001, 5);
    ASSERT_TRUE(waitFor([&] { return window->PagePackets(3) >= 5; }));
    window->close(); // while capturing
    EXPECT_TRUE(waitFor([&] { return window.isNull(); }));
}

} // namespace
