// The local and remote capture dialogs, driven offscreen: OK's refusals and their order,
// moving rows between the lists, the adapter information box, and scanning a real rpcapd on
// 127.0.0.1 (root only; see rpcapd_server.h).
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "adapter_addresses.h"
#include "analysis_registry.h"
#include "message_box.h"
#include "fake_analysis_window.h"
#include "newdlg.h"
#include "packet_process.h"
#include "rcapdlg.h"
#include "rpcapd_server.h"

#ifndef CORVANE_RPCAPD_PATH
#define CORVANE_RPCAPD_PATH ""
#endif

using namespace AnalyzerProject;

namespace {

// The remote dialog with rows that did not come from a scan, for what does not need a server.
class RemoteDialogWithRows : public Tremotecapdlg {
public:
    using CaptureDialog::AddAvailableRow;
};


template <typename T>
T* Child(QWidget& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QStringList Captions(QTreeWidget* list)
{
    QStringList captions;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        captions << list->topLevelItem(i)->text(0);
    return captions;
}

int RowOf(QTreeWidget* list, const QString& caption)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == caption)
            return i;
    return -1;
}

QPoint RowCenter(QTreeWidget* list, int row) { return list->visualItemRect(list->topLevelItem(row)).center(); }

void ClickRow(QTreeWidget* list, int row) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCenter(list, row)); }

void DoubleClickRow(QTreeWidget* list, int row)
{
    ClickRow(list, row);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, RowCenter(list, row));
}

bool HasHighlight(QTreeWidget* list) { return !list->selectedItems().isEmpty(); }

QStringList MemoLines(QWidget& dialog)
{
    return Child<QPlainTextEdit>(dialog, "Memo1")->toPlainText().split('\n', Qt::SkipEmptyParts);
}

class CaptureDialogs : public testing::Test {
protected:
    void SetUp() override
    {
        SetMessageInterceptor([this](const MessageRecord& m) { messages.push_back(m); });
    }
    void TearDown() override { SetMessageInterceptor(nullptr); }

    void Show(QWidget& dialog)
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QStringList TakeTexts(const QString& caption, MessageIcon icon)
    {
        QStringList texts;
        for (const MessageRecord& m : messages) {
            EXPECT_EQ(m.caption, caption) << m.text.toStdString();
            EXPECT_EQ(m.icon, icon) << m.text.toStdString();
            texts << m.text;
        }
        messages.clear();
        return texts;
    }

    // OK's refusals, in their order, on a dialog whose available list holds rows; ends with
    // the first row selected and the dialog accepted.
    void CheckOkRefusals(CaptureDialog& dialog)
    {
        auto* name = Child<QLineEdit>(dialog, "EditnalysisName");
        auto* ok = Child<QPushButton>(dialog, "OKBtn");
        name->clear();
        ok->click();
        EXPECT_EQ(TakeTexts("Error", MessageIcon::None), QStringList{" Please select interfaces to analyze !"});

        auto* available = Child<QTreeWidget>(dialog, "ListViewAvailable");
        ClickRow(available, 0);
        Child<QToolButton>(dialog, "SpeedButton1")->click();
        ok->click();
        EXPECT_EQ(TakeTexts("Error", MessageIcon::None), QStringList{" Please input the name of analysis !"});

        testsupport::FakeAnalysisWindow window;
        CAnalysis used("Project7", [&](CAnalysis*) { return &window; });
        name->setText("Project7");
        ok->click();
        EXPECT_EQ(TakeTexts("Error", MessageIcon::None), QStringList{" The specified name exists !"});
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(dialog.isVisible());

        name->setText("project7"); // names are compared exactly
        ok->click();
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.AnalysisName(), "project7");
    }

    std::vector<MessageRecord> messages;
};

TEST_F(CaptureDialogs, LocalOkRefusesUntilASelectionAndAnUnusedName)
{
    TForm3 dialog;
    EXPECT_EQ(dialog.windowTitle(), "Local Capture");
    EXPECT_EQ(Child<QTreeWidget>(dialog, "ListViewAvailable")->headerItem()->text(0), "Availabe Interface");
    EXPECT_EQ(Child<QTreeWidget>(dialog, "ListViewSelected")->headerItem()->text(0), "Selected Interface");
    EXPECT_FALSE(Child<QPushButton>(dialog, "ButtonRealOK")->isVisibleTo(&dialog));
    dialog.AddAvailableInterface("eth7");
    dialog.AddAvailableInterface("lo");
    Show(dialog);
    CheckOkRefusals(dialog);
    EXPECT_EQ(dialog.SelectedCaptions(), QStringList{"eth7"});
}

TEST_F(CaptureDialogs, RemoteOkRefusesUntilASelectionAndAnUnusedName)
{
    RemoteDialogWithRows dialog;
    EXPECT_EQ(dialog.windowTitle(), "Remote Capture");
    EXPECT_EQ(Child<QTreeWidget>(dialog, "ListViewAvailable")->headerItem()->text(0), "Available Interface");
    EXPECT_EQ(Child<QLineEdit>(dialog, "remoteport")->text(), "2002");
    EXPECT_EQ(Child<QLineEdit>(dialog, "remotepassword")->echoMode(), QLineEdit::Password);
    dialog.AddAvailableRow("rpcap://server/eth0", "server");
    Show(dialog);
    CheckOkRefusals(dialog);
    EXPECT_EQ(dialog.SelectedCaptions(), QStringList{"rpcap://server/eth0"});
    EXPECT_EQ(dialog.SelectedHosts(), QStringList{"server"});
}

TEST_F(CaptureDialogs, RowsMovedBackAndForthKeepCaptionAndHost)
{
    RemoteDialogWithRows dialog;
    dialog.AddAvailableRow("rpcap://alpha/eth0", "alpha");
    dialog.AddAvailableRow("rpcap://beta:2003/lo", "beta");
    dialog.AddAvailableRow("rpcap://gamma/eth1", "gamma");
    Show(dialog);
    auto* available = Child<QTreeWidget>(dialog, "ListViewAvailable");
    auto* selected = Child<QTreeWidget>(dialog, "ListViewSelected");
    auto* memo = Child<QPlainTextEdit>(dialog, "Memo1");

    DoubleClickRow(available, 1);
    memo->setPlainText("stale");
    ClickRow(available, 1);
    Child<QToolButton>(dialog, "SpeedButton1")->click();
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_EQ(Captions(available), QStringList{"rpcap://alpha/eth0"});
    EXPECT_EQ(dialog.SelectedCaptions(), (QStringList{"rpcap://beta:2003/lo", "rpcap://gamma/eth1"}));
    EXPECT_EQ(dialog.SelectedHosts(), (QStringList{"beta", "gamma"}));

    DoubleClickRow(selected, 0);
    EXPECT_EQ(Captions(available), (QStringList{"rpcap://alpha/eth0", "rpcap://beta:2003/lo"}));
    EXPECT_EQ(dialog.SelectedCaptions(), QStringList{"rpcap://gamma/eth1"});
    DoubleClickRow(available, 1);
    EXPECT_EQ(dialog.SelectedCaptions(), (QStringList{"rpcap://gamma/eth1", "rpcap://beta:2003/lo"}));
    EXPECT_EQ(dialog.SelectedHosts(), (QStringList{"gamma", "beta"}));

    // The local dialog's buttons and double clicks move rows the same way.
    TForm3 local;
    local.AddAvailableInterface("eth0");
    local.AddAvailableInterface("lo");
    Show(local);
    auto* localAvailable = Child<QTreeWidget>(local, "ListViewAvailable");
    auto* localSelected = Child<QTreeWidget>(local, "ListViewSelected");
    DoubleClickRow(localAvailable, 0);
    ClickRow(localAvailable, 0);
    Child<QToolButton>(local, "SpeedButton1")->click();
    EXPECT_EQ(local.SelectedCaptions(), (QStringList{"eth0", "lo"}));
    ClickRow(localSelected, 0);
    Child<QToolButton>(local, "SpeedButton2")->click();
    EXPECT_EQ(Captions(localAvailable), QStringList{"eth0"});
    EXPECT_EQ(local.SelectedCaptions(), QStringList{"lo"});
    EXPECT_TRUE(messages.empty());
}

TEST_F(CaptureDialogs, ClickingARowTakesTheHighlightOffTheOtherList)
{
    TForm3 dialog;
    dialog.AddAvailableInterface("lo");
    dialog.AddAvailableInterface("eth0");
    dialog.AddAvailableInterface("eth1");
    Show(dialog);
    auto* available = Child<QTreeWidget>(dialog, "ListViewAvailable");
    auto* selected = Child<QTreeWidget>(dialog, "ListViewSelected");
    DoubleClickRow(available, 2);

    ClickRow(available, 0);
    ClickRow(selected, 0);
    EXPECT_TRUE(HasHighlight(selected));
    EXPECT_FALSE(HasHighlight(available));
    ClickRow(available, 1);
    EXPECT_TRUE(HasHighlight(available));
    EXPECT_FALSE(HasHighlight(selected));
}

TEST_F(CaptureDialogs, LocalAdapterInformationOfLoopback)
{
    TForm3 dialog;
    dialog.AddAvailableInterface("lo");
    Show(dialog);
    ClickRow(Child<QTreeWidget>(dialog, "ListViewAvailable"), 0);

    QStringList expected{"Pcap instance name : lo", "Address[1] : 127.0.0.1", "Netmask[1] : 255.0.0.0"};
    const AdapterAddressTable table = ReadAdapterAddressTable();
    if (const auto it = table.find("127.0.0.1"); it != table.end())
        for (size_t i = 0; i < it->second.size(); ++i)
            expected << QString("Address[%1] : %2").arg(i + 2).arg(QString::fromStdString(it->second[i]));
    QStringList lines = MemoLines(dialog);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("Description : ")) << lines[1].toStdString();
    lines.removeAt(1);
    EXPECT_EQ(lines, expected);
    if (table.count("127.0.0.1") && !table.at("127.0.0.1").empty()) {
        EXPECT_EQ(expected.back(), "Address[2] : ::1");
    }
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "Memo1")->textCursor().position(), 0);

    // An interface the machine does not have clears the box.
    dialog.AddAvailableInterface("corvane-none0");
    ClickRow(Child<QTreeWidget>(dialog, "ListViewAvailable"), 1);
    EXPECT_TRUE(MemoLines(dialog).isEmpty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(CaptureDialogs, ScanRefusesIncompleteFieldsAndNonNumericOrZeroPorts)
{
    Tremotecapdlg dialog;
    Show(dialog);
    auto* host = Child<QLineEdit>(dialog, "remotehost");
    auto* port = Child<QLineEdit>(dialog, "remoteport");
    auto* user = Child<QLineEdit>(dialog, "remoteusername");
    auto* password = Child<QLineEdit>(dialog, "remotepassword");
    auto* scan = Child<QPushButton>(dialog, "BitBtn1");
    EXPECT_EQ(host->maxLength(), 512);
    EXPECT_EQ(port->maxLength(), 6);

    struct Fields {
        const char *host, *port, *user, *password;
    };
    for (const Fields& f : {Fields{"127.0.0.1", "abc", "u", "p"}, Fields{"127.0.0.1", "0", "u", "p"},
                            Fields{"127.0.0.1", "2002", "", "p"}, Fields{"127.0.0.1", "2002", "u", ""},
                            Fields{"", "2002", "u", "p"}}) {
        host->setText(f.host);
        port->setText(f.port);
        user->setText(f.user);
        password->setText(f.password);
        scan->click();
        EXPECT_EQ(TakeTexts("ERROR", MessageIcon::Error), QStringList{"Please fill in the correct info to scan!"})
            << f.host << " " << f.port << " " << f.user << " " << f.password;
    }

    // "2002" passes; nothing listens there, so the listing is what fails.
    host->setText("127.0.0.1");
    port->setText("2002");
    user->setText("u");
    password->setText("p");
    scan->click();
    EXPECT_EQ(TakeTexts("ERROR", MessageIcon::Error), QStringList{"Can't get the remote NIC list !"});
    EXPECT_TRUE(dialog.ScannedHosts().empty());
    EXPECT_EQ(Child<QTreeWidget>(dialog, "ListViewAvailable")->topLevelItemCount(), 0);
}

// ---------------------------------------------------------------------------------------

class RemoteScan : public CaptureDialogs {
protected:
    static void SetUpTestSuite()
    {
        unavailable_ = testsupport::RpcapdServer::unavailableReason(CORVANE_RPCAPD_PATH);
        if (!unavailable_.empty())
            return;
        server_ = new testsupport::RpcapdServer(CORVANE_RPCAPD_PATH);
        startError_.clear();
        server_->start(startError_);
    }

    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override
    {
        if (!unavailable_.empty())
            GTEST_SKIP() << unavailable_;
        ASSERT_TRUE(startError_.empty()) << startError_;
        CaptureDialogs::SetUp();
    }

    static testsupport::RpcapdServer& server() { return *server_; }

    void Fill(QWidget& dialog, const std::string& port, const std::string& password)
    {
        Child<QLineEdit>(dialog, "remotehost")->setText("127.0.0.1");
        Child<QLineEdit>(dialog, "remoteport")->setText(QString::fromStdString(port));
        Child<QLineEdit>(dialog, "remoteusername")->setText(QString::fromStdString(server().user()));
        Child<QLineEdit>(dialog, "remotepassword")->setText(QString::fromStdString(password));
    }

private:
    static inline testsupport::RpcapdServer* server_ = nullptr;
    static inline std::string unavailable_;
    static inline std::string startError_;
};

TEST_F(RemoteScan, OffersTheServersInterfacesOnceAndTheirSourcesOpen)
{
    Tremotecapdlg dialog;
    Show(dialog);
    auto* available = Child<QTreeWidget>(dialog, "ListViewAvailable");
    Fill(dialog, server().portText(), server().password());
    Child<QPushButton>(dialog, "BitBtn1")->click();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString() << "\n" << server().log();

    const QString prefix = QString("rpcap://127.0.0.1:%1/").arg(server().port());
    const QStringList captions = Captions(available);
    ASSERT_FALSE(captions.isEmpty());
    for (const QString& caption : captions)
        EXPECT_TRUE(caption.startsWith(prefix)) << caption.toStdString();
    const int lo = RowOf(available, prefix + "lo");
    ASSERT_GE(lo, 0) << captions.join(", ").toStdString();
    ASSERT_EQ(dialog.ScannedHosts().count("127.0.0.1"), 1u);
    const RemoteNICInfo& info = dialog.ScannedHosts().at("127.0.0.1");
    EXPECT_EQ(info.port, server().portText());
    EXPECT_NE(info.auth, nullptr);
    EXPECT_NE(info.nics, nullptr);

    // The same host again, whatever is typed now, adds nothing.
    Child<QLineEdit>(dialog, "remoteport")->setText("2002");
    Child<QPushButton>(dialog, "BitBtn1")->click();
    EXPECT_EQ(Captions(available), captions);
    EXPECT_TRUE(messages.empty());

    ClickRow(available, lo);
    const QStringList lines = MemoLines(dialog);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("Pcap instance name : rpcap://") && lines[0].endsWith("/lo"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines.contains("Address[1] : 127.0.0.1")) << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.contains("Netmask[1] : 255.0.0.0")) << lines.join("\n").toStdString();

    DoubleClickRow(available, lo);
    Child<QLineEdit>(dialog, "EditnalysisName")->setText("RemoteScan");
    Child<QPushButton>(dialog, "OKBtn")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialog.SelectedCaptions(), QStringList{prefix + "lo"});
    ASSERT_EQ(dialog.SelectedHosts(), QStringList{"127.0.0.1"});

    // What the main window does with the row: a source on the scanned port, with its own copy
    // of the host's credentials.
    AuthRecord credentials = dialog.ScannedHosts().at(dialog.SelectedHosts()[0]).NewCredentials();
    ASSERT_NE(credentials, nullptr);
    EXPECT_NE(credentials.get(), info.auth.get());
    const QuarvelModule module = OpenModule(dialog.SelectedCaptions()[0].toUtf8().constData(), 0, credentials.get());
    EXPECT_NE(module, nullptr) << server().log();
}

TEST_F(RemoteScan, RefusedCredentialsLeaveTheHostToScanAgain)
{
    Tremotecapdlg dialog;
    Show(dialog);
    Fill(dialog, server().portText(), server().password() + "x");
    Child<QPushButton>(dialog, "BitBtn1")->click();
    EXPECT_EQ(TakeTexts("ERROR", MessageIcon::Error), QStringList{"Can't get the remote NIC list !"});
    EXPECT_TRUE(dialog.ScannedHosts().empty());
    EXPECT_EQ(Child<QTreeWidget>(dialog, "ListViewAvailable")->topLevelItemCount(), 0);

    Fill(dialog, server().portText(), server().password());
    Child<QPushButton>(dialog, "BitBtn1")->click();
    EXPECT_TRUE(messages.empty());
    EXPECT_GT(Child<QTreeWidget>(dialog, "ListViewAvailable")->topLevelItemCount(), 0);
}

} // namespace
