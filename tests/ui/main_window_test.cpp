// The main window: opening and dropping capture files, the registry's names, the Window
// menu, next window, the fade-in and the start-up help check.
#include <gtest/gtest.h>

#include <QMdiSubWindow>
#include <QUrl>

#include <fstream>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLineEdit>
#include <QTreeWidget>

#include "analysis_registry.h"
#include "analysisform.h"
#include "fake_analysis_window.h"
#include "mainform.h"
#include "newdlg.h"
#include "packet_process.h"
#include "rcapdlg.h"
#include "rpcapd_server.h"
#include "ui_fixtures.h"

using namespace AnalyzerProject;
using namespace testsupport;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        TAnalysisForm::SetDissectorPath("/usr/bin/tshark");
        main = std::make_unique<TForm1>();
        main->resize(1000, 700);
    }
    void TearDown() override
    {
        main->close();
        main.reset();
        TAnalysisForm::SetDissectorPath(QString());
    }
    QStringList entryNames() const
    {
        QStringList names;
        for (QAction* a : main->WindowMenuEntries())
            names << a->text();
        return names;
    }
    void open(const QString& path)
    {
        main->chooseCaptureFile = [path] { return path; };
        main->ToolButton2Click();
    }
    void drop(const QList<QUrl>& urls) { main->OnDropFiles(urls); }
    MessageLog log;
    std::unique_ptr<TForm1> main;
};

TEST_F(MainWindow, StartsTransparentAndIsFullyShownAfterSixTicks)
{
    EXPECT_EQ(main->windowTitle(), "Corvane Analyzer");
    EXPECT_EQ(main->FadeLevel(), 0);
    EXPECT_TRUE(main->Timer_splash.isActive());
    std::vector<int> levels;
    for (int i = 0; i < 6; ++i) {
        main->Timer_splashTimer();
        levels.push_back(main->FadeLevel());
    }
    EXPECT_EQ(levels, (std::vector<int>{50, 100, 150, 200, 250, 255}));
    EXPECT_FALSE(main->Timer_splash.isActive());
    EXPECT_TRUE(main->HelpFilePath().endsWith("/corvane.chm"));
}

TEST_F(MainWindow, SameFileTwiceIsRefusedUntilItsWindowCloses)
{
    TempPath file;
    writeUdpCapture(file.str(), 20);
    const QString path = QString::fromStdString(file.str());
    EXPECT_FALSE(main->ToolButton3->isEnabled()); // no window yet
    open(path);
    ASSERT_EQ(main->MdiArea()->subWindowList().size(), 1);
    EXPECT_TRUE(IsAnalysisNameUsed(file.str()));
    EXPECT_EQ(entryNames(), QStringList{path});
    EXPECT_TRUE(main->ToolButton3->isEnabled());

    open(path);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, " The specified file is opened !");
    EXPECT_EQ(log.messages[0].caption, "Error");
    EXPECT_EQ(log.messages[0].icon, MessageIcon::None);
    drop({QUrl::fromLocalFile(path)});
    EXPECT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(main->MdiArea()->subWindowList().size(), 1);

    main->MdiArea()->subWindowList().front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(IsAnalysisNameUsed(file.str()));
    EXPECT_TRUE(entryNames().isEmpty());
    EXPECT_EQ(main->ProjectCounter(), 0); // files never advance it

    drop({QUrl::fromLocalFile(path)}); // a dropped file opens like a chosen one
    EXPECT_EQ(main->MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(entryNames(), QStringList{path});
    EXPECT_EQ(log.messages.size(), 2u);
}

TEST_F(MainWindow, DropsOfSeveralFilesAndMissingFiles)
{
    TempPath a, b;
    writeUdpCapture(a.str(), 3);
    writeUdpCapture(b.str(), 3);
    drop({QUrl::fromLocalFile(QString::fromStdString(a.str())), QUrl::fromLocalFile(QString::fromStdString(b.str()))});
    EXPECT_TRUE(main->MdiArea()->subWindowList().isEmpty());
    EXPECT_TRUE(log.messages.empty());

    open("/nonexistent/capture.pcap");
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "There is no such file");
    EXPECT_EQ(log.messages[0].caption, "ERROR");

    // Not a capture file: the analysis fails and leaves nothing behind.
    TempPath text(".txt");
    { std::ofstream(text.str()) << "no capture"; }
    open(QString::fromStdString(text.str()));
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[1].text, "Fail in creating the analysis.");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->MdiArea()->subWindowList().isEmpty());
    EXPECT_FALSE(IsAnalysisNameUsed(text.str()));
    EXPECT_TRUE(entryNames().isEmpty());
}

TEST_F(MainWindow, WindowMenuEntriesBringTheirWindowForward)
{
    TempPath a, b;
    writeUdpCapture(a.str(), 3);
    writeUdpCapture(b.str(), 3);
    const QString pathA = QString::fromStdString(a.str()), pathB = QString::fromStdString(b.str());
    main->show();
    auto current = [&] {
        QMdiSubWindow* w = main->MdiArea()->currentSubWindow();
        return w ? w->windowTitle() : QString("(none)");
    };
    open(pathA);
    EXPECT_EQ(current(), pathA);
    main->NextWindow1Click(); // a single window: nothing to cycle
    EXPECT_EQ(current(), pathA);
    open(pathB);
    EXPECT_EQ(entryNames(), (QStringList{pathA, pathB}));
    EXPECT_EQ(current(), pathB);
    main->WindowMenuEntries()[0]->trigger();
    EXPECT_EQ(current(), pathA);
    main->NextWindow1Click();
    EXPECT_EQ(current(), pathB);
}

} // namespace

namespace {

QStringList availableNames(QDialog& d)
{
    QStringList names;
    auto* available = d.findChild<QTreeWidget*>("ListViewAvailable");
    for (int i = 0; i < available->topLevelItemCount(); ++i)
        names << available->topLevelItem(i)->text(0);
    return names;
}

// Picks `wanted` in a local capture dialog and confirms it, as an operator would.
int pickInterface(QDialog& d, const QString& wanted)
{
    auto& dialog = static_cast<TForm3&>(d);
    auto* available = dialog.findChild<QTreeWidget*>("ListViewAvailable");
    for (int i = 0; i < available->topLevelItemCount(); ++i)
        if (available->topLevelItem(i)->text(0) == wanted)
            available->setCurrentItem(available->topLevelItem(i));
    dialog.SpeedButton1Click();
    dialog.OKBtnClick();
    return dialog.result();
}

TEST_F(MainWindow, LocalCapturesAreNamedProjectNAndTakeTheirInterfaces)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "capturing on lo needs root";
    QStringList offered;
    QString presetName;
    auto look = [&](QDialog& d) {
        offered = availableNames(d);
        presetName = static_cast<TForm3&>(d).AnalysisName();
    };
    main->runDialog = [&](QDialog& d) {
        look(d);
        return pickInterface(d, "lo");
    };
    main->ToolButton1Click();
    EXPECT_EQ(presetName, "Project0");
    EXPECT_TRUE(offered.contains("lo"));
    ASSERT_EQ(main->MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(main->ProjectCounter(), 1);
    EXPECT_FALSE(IsInterfaceFree("lo"));
    EXPECT_EQ(entryNames(), QStringList{"Project0"});

    // lo is taken now: the next dialog does not offer it.
    main->runDialog = [&](QDialog& d) {
        look(d);
        return int(QDialog::Rejected);
    };
    presetName.clear();
    main->ToolButton1Click();
    if (presetName.isEmpty()) { // lo was the only interface
        EXPECT_TRUE(log.texts().contains("No available interface."));
    } else {
        EXPECT_EQ(presetName, "Project1");
        EXPECT_FALSE(offered.contains("lo"));
    }
    EXPECT_EQ(main->ProjectCounter(), 1);

    // The capture runs from the window's toolbar to the pages.
    auto* window = qobject_cast<TAnalysisForm*>(main->MdiArea()->subWindowList().front());
    ASSERT_TRUE(window->Capture().SetInterfaceFilter(0, "udp dst port 47123"));
    window->ToolButton1->click();
    sendLoopbackDatagrams(47123, 3);
    EXPECT_TRUE(waitFor([&] { return window->PagePackets(3) >= 3; }));
    window->ToolButton1->click();

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(IsInterfaceFree("lo"));
    EXPECT_TRUE(entryNames().isEmpty());
}

} // namespace

namespace {


TEST_F(MainWindow, NoFreeInterfaceIsToldAndNoDialogShown)
{
    FakeAnalysisWindow busy;
    CAnalysis everything("Everything", [&](CAnalysis*) { return &busy; });
    pcap_if* devices = nullptr;
    ASSERT_EQ(QvrGetAllNIC(&devices), QVR_OK);
    for (pcap_if* d = devices; d; d = d->next)
        everything.AddInterface(d->name, nullptr);
    QvrFreeAllNIC(devices);
    bool dialogShown = false;
    main->runDialog = [&](QDialog&) {
        dialogShown = true;
        return int(QDialog::Rejected);
    };
    main->ToolButton1Click();
    EXPECT_FALSE(dialogShown);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "No available interface.");
    EXPECT_EQ(log.messages[0].caption, "INFOMATION");
    EXPECT_EQ(log.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(main->ProjectCounter(), 0);
}

} // namespace

namespace {

// From the remote capture dialog's scan of a real rpcapd to packets on the pages.
TEST_F(MainWindow, RemoteCaptureFromScanToPackets)
{
    const std::string unavailable = RpcapdServer::unavailableReason(CORVANE_RPCAPD_PATH);
    if (!unavailable.empty())
        GTEST_SKIP() << unavailable;
    RpcapdServer server(CORVANE_RPCAPD_PATH);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    QString chosen;
    main->runDialog = [&](QDialog& d) {
        auto& dialog = static_cast<Tremotecapdlg&>(d);
        dialog.findChild<QLineEdit*>("remotehost")->setText("127.0.0.1");
        dialog.findChild<QLineEdit*>("remoteport")->setText(QString::fromStdString(server.portText()));
        dialog.findChild<QLineEdit*>("remoteusername")->setText(QString::fromStdString(server.user()));
        dialog.findChild<QLineEdit*>("remotepassword")->setText(QString::fromStdString(server.password()));
        dialog.BitBtn1Click();
        auto* available = dialog.findChild<QTreeWidget*>("ListViewAvailable");
        for (int i = 0; i < available->topLevelItemCount(); ++i)
            if (available->topLevelItem(i)->text(0).endsWith("/lo"))
                available->setCurrentItem(available->topLevelItem(i));
        chosen = available->currentItem() ? available->currentItem()->text(0) : QString();
        dialog.ListBoxAvailableDblClick();
        dialog.OKBtnClick();
        return dialog.result();
    };
    main->ToolButton9Click();
    ASSERT_FALSE(chosen.isEmpty()) << "the scan offered no lo";
    ASSERT_EQ(main->MdiArea()->subWindowList().size(), 1) << log.texts().join("; ").toStdString();
    EXPECT_EQ(main->ProjectCounter(), 1);
    EXPECT_EQ(entryNames(), QStringList{"Project0"});

    auto* window = qobject_cast<TAnalysisForm*>(main->MdiArea()->subWindowList().front());
    EXPECT_TRUE(window->Capture().HasInterface(chosen.toStdString()));
    ASSERT_TRUE(window->Capture().SetInterfaceFilter(0, "udp dst port 47321"));
    window->ToolButton1->click();
    // The server starts capturing at the first read: keep sending until packets arrive.
    EXPECT_TRUE(waitFor([&] {
        sendLoopbackDatagrams(47321, 1);
        return window->PagePackets(3) >= 3;
    }, 15000));
    window->ToolButton1->click();
    EXPECT_FALSE(window->Capturing());
    window->close();
}

} // namespace
