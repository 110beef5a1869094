// The settings dialog and the named-filter dialog, driven through their widgets with the
// message boxes intercepted. Live sessions run on "lo" and need root.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <vector>

#include "capture_file.h"
#include "filterdlg.h"
#include "frame_builder.h"
#include "message_box.h"
#include "packet_process.h"
#include "settingdlg.h"

using namespace AnalyzerProject;

namespace {

const char* const kFilterFailure = "Fail to set this filter string .";

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetMessageInterceptor([this](const MessageRecord& m) { messages.push_back(m); });
    }
    void TearDown() override { SetMessageInterceptor(nullptr); }

    QString IniPath() const { return dir.filePath("analyzer.ini"); }

    void WriteIni(const QByteArray& contents) const
    {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QByteArray ReadIni() const
    {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void ExpectOnlyFilterFailure()
    {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, kFilterFailure);
        EXPECT_EQ(messages[0].caption, "ERROR");
        EXPECT_EQ(messages[0].icon, MessageIcon::Error);
        messages.clear();
    }

    static void SkipUnlessRoot()
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "capturing on lo needs root";
    }

    QTemporaryDir dir;
    std::vector<MessageRecord> messages;
};

QStringList ComboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QStringList Rows(const QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0);
    return rows;
}

void ClickRow(QTreeWidget* list, const QString& name)
{
    const QList<QTreeWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.front()).center());
}

int32_t Promiscuous(const CPacketCapture& capture, int i)
{
    PacketCaptureConf conf;
    EXPECT_TRUE(capture.GetInterfaceConf(i, conf));
    return conf.promiscuous;
}

} // namespace

TEST_F(DialogTest, SettingDialogLayoutAndInterval)
{
    TForm2 dlg;
    EXPECT_EQ(dlg.windowTitle(), "Setting");
    const struct {
        const char* name;
        QString text;
    } texts[] = {
        {"GroupBox1", "Online Filters"}, {"GroupBox3", ""}, {"GroupBox2", "Display Filter"},
        {"ButtonSetRule", "Set"},        {"Button1", "Load"}, {"Button3", "Load"},
        {"pmode", "Promiscuous mode"},   {"OKBtn", "Set Capture and Display filter"},
        {"CancelBtn", "Cancel"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.name);
        QWidget* w = dlg.findChild<QWidget*>(t.name);
        ASSERT_NE(w, nullptr);
        if (auto* g = qobject_cast<QGroupBox*>(w))
            EXPECT_EQ(g->title(), t.text);
        else
            EXPECT_EQ(qobject_cast<QAbstractButton*>(w)->text(), t.text);
    }
    for (const char* name : {"ComboBoxInterface", "EditRule", "TrackBarUpdateInterval", "EditUpdateInterval", "Edit1"})
        EXPECT_NE(dlg.findChild<QWidget*>(name), nullptr) << name;
    QStringList labels;
    for (const QLabel* l : dlg.findChildren<QLabel*>())
        labels << l->text();
    for (const char* label : {"Interface :", "Rule : ", "Interval time of realtime parsing : "})
        EXPECT_TRUE(labels.contains(label)) << label;
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.Button1->property("tag").toInt(), 1);
    EXPECT_EQ(dlg.Button3->property("tag").toInt(), 2);
    EXPECT_TRUE(dlg.EditUpdateInterval->isReadOnly());
    EXPECT_EQ(dlg.TrackBarUpdateInterval->minimum(), 1);
    EXPECT_EQ(dlg.TrackBarUpdateInterval->maximum(), 5);

    // A new analysis: 100 ms, two sources not opened yet, no display filter.
    CPacketCapture capture;
    capture.AddInterface("lo", nullptr);
    capture.AddInterface("any", nullptr);
    dlg.Prepare(&capture, 100, "udp", false);
    EXPECT_EQ(dlg.TrackBarUpdateInterval->value(), 2);
    EXPECT_EQ(dlg.EditUpdateInterval->text(), "100 ms");
    EXPECT_EQ(ComboItems(dlg.ComboBoxInterface), (QStringList{"lo", "any"}));
    EXPECT_EQ(dlg.ComboBoxInterface->currentIndex(), 0);
    EXPECT_EQ(dlg.Edit1->text(), "udp");
    EXPECT_TRUE(dlg.GroupBox1->isEnabled());
    EXPECT_TRUE(dlg.GroupBox3->isEnabled());

    const struct {
        int position;
        const char* text;
    } steps[] = {{1, "50 ms"}, {3, "150 ms"}, {4, "200 ms"}, {5, "250 ms"}};
    for (const auto& s : steps) {
        dlg.TrackBarUpdateInterval->setValue(s.position);
        EXPECT_EQ(dlg.EditUpdateInterval->text(), s.text);
        EXPECT_EQ(dlg.UpdateIntervalMs(), s.position * 50);
    }
    dlg.Edit1->setText("tcp port 5060");
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.UpdateIntervalMs(), 250);
    EXPECT_EQ(dlg.DisplayFilter(), "tcp port 5060");

    // Prepared again from a window whose interval is 200 ms.
    TForm2 again;
    again.Prepare(&capture, 200, "", false);
    EXPECT_EQ(again.TrackBarUpdateInterval->value(), 4);
    EXPECT_EQ(again.EditUpdateInterval->text(), "200 ms");
}

TEST_F(DialogTest, LiveSourcesFiltersAndPromiscuousFlags)
{
    SkipUnlessRoot();
    CPacketCapture capture;
    capture.AddInterface("lo", nullptr);
    capture.AddInterface("lo", nullptr);
    ASSERT_TRUE(capture.Open(nullptr, nullptr));
    ASSERT_TRUE(capture.SetInterfaceFilter(1, "tcp"));
    ASSERT_TRUE(capture.SetInterfacePromiscuous(1, 1));

    {
        TForm2 dlg;
        dlg.Prepare(&capture, 100, "", false);
        EXPECT_EQ(dlg.EditRule->text(), "");
        EXPECT_FALSE(dlg.pmode->isChecked());

        // "Set": a rejected rule is reported and leaves the filter; a good one is applied.
        dlg.EditRule->setText("udp port");
        QTest::mouseClick(dlg.ButtonSetRule, Qt::LeftButton);
        ExpectOnlyFilterFailure();
        dlg.EditRule->setText("udp port 5060");
        QTest::mouseClick(dlg.ButtonSetRule, Qt::LeftButton);
        EXPECT_TRUE(messages.empty());
        std::string rule;
        capture.GetInterfaceFilter(0, rule);
        EXPECT_EQ(rule, "udp port 5060");

        // Choosing source 1 shows its rule and flag; a rule typed but not set is dropped.
        dlg.EditRule->setText("typed, not set");
        dlg.ComboBoxInterface->setCurrentIndex(1);
        EXPECT_EQ(dlg.EditRule->text(), "tcp");
        EXPECT_TRUE(dlg.pmode->isChecked());
        dlg.ComboBoxInterface->setCurrentIndex(0);
        EXPECT_EQ(dlg.EditRule->text(), "udp port 5060");
        EXPECT_FALSE(dlg.pmode->isChecked());

        // Check boxes change the working copy only: Cancel applies nothing.
        QTest::mouseClick(dlg.pmode, Qt::LeftButton);
        dlg.ComboBoxInterface->setCurrentIndex(1);
        QTest::mouseClick(dlg.pmode, Qt::LeftButton);
        QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(Promiscuous(capture, 0), 0);
        EXPECT_EQ(Promiscuous(capture, 1), 1);
    }
    {
        // OK with a rejected rule: the message, no flag applied, and still OK.
        TForm2 dlg;
        dlg.Prepare(&capture, 100, "", false);
        QTest::mouseClick(dlg.pmode, Qt::LeftButton);
        dlg.TrackBarUpdateInterval->setValue(3);
        dlg.Edit1->setText("udp");
        dlg.EditRule->setText("udp port");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        ExpectOnlyFilterFailure();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.UpdateIntervalMs(), 150);
        EXPECT_EQ(dlg.DisplayFilter(), "udp");
        EXPECT_EQ(Promiscuous(capture, 0), 0);
        EXPECT_EQ(Promiscuous(capture, 1), 1);
    }
    {
        // OK with a good rule for source 1: its filter is set and every flag applied.
        TForm2 dlg;
        dlg.Prepare(&capture, 100, "", false);
        QTest::mouseClick(dlg.pmode, Qt::LeftButton); // source 0 on
        dlg.ComboBoxInterface->setCurrentIndex(1);
        QTest::mouseClick(dlg.pmode, Qt::LeftButton); // source 1 off
        dlg.EditRule->setText("udp port 5062");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(Promiscuous(capture, 0), 1);
        EXPECT_EQ(Promiscuous(capture, 1), 0);
        std::string rule0, rule1;
        capture.GetInterfaceFilter(0, rule0);
        capture.GetInterfaceFilter(1, rule1);
        EXPECT_EQ(rule0, "udp port 5060"); // rebuilt with its filter kept
        EXPECT_EQ(rule1, "udp port 5062");
    }
}

TEST_F(DialogTest, CaptureFileWindowChangesTheDisplayFilterOnly)
{
    testsupport::TempPath file;
    {
        testsupport::CaptureFileWriter writer(file.str());
        writer.add(testsupport::udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060, testsupport::textBytes("x")));
    }
    CPacketCapture capture;
    ASSERT_TRUE(capture.Open(file.c_str(), nullptr));

    WriteIni("[filters]\nsip=udp port 5060\n");
    TForm2 dlg;
    dlg.SetFilterDialogFactory([this](QWidget* owner) { return new TFilterDialog(NamedFilters(IniPath()), owner); });
    dlg.Prepare(&capture, 100, "tcp", true);
    dlg.show();
    EXPECT_FALSE(dlg.GroupBox1->isEnabled());
    EXPECT_FALSE(dlg.GroupBox3->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{dlg.ComboBoxInterface, dlg.EditRule, dlg.ButtonSetRule, dlg.Button1,
                                                      dlg.TrackBarUpdateInterval, dlg.pmode})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{dlg.Edit1, dlg.Button3, dlg.OKBtn, dlg.CancelBtn})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();

    // Load a named filter into the display filter field, then OK.
    QTimer::singleShot(0, [&dlg] {
        auto* filters = dlg.findChild<TFilterDialog*>();
        ASSERT_NE(filters, nullptr);
        ClickRow(filters->ListView1, "sip");
        QTest::mouseClick(filters->Button1, Qt::LeftButton);
        if (filters->isVisible())
            filters->reject(); // never leave the test waiting on the dialog
    });
    QTest::mouseClick(dlg.Button3, Qt::LeftButton);
    EXPECT_EQ(dlg.Edit1->text(), "udp port 5060");
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.DisplayFilter(), "udp port 5060");
    EXPECT_EQ(dlg.UpdateIntervalMs(), 100);
}

TEST_F(DialogTest, LoadButtonsFillTheirOwnField)
{
    WriteIni("[filters]\nsip=udp port 5060\nrtp=udp portrange 10000-20000\n");
    CPacketCapture capture;
    capture.AddInterface("lo", nullptr);
    TForm2 dlg;
    dlg.Prepare(&capture, 100, "display", false);
    dlg.EditRule->setText("capture");

    bool failToMake = false;
    dlg.SetFilterDialogFactory([&](QWidget* owner) -> TFilterDialog* {
        return failToMake ? nullptr : new TFilterDialog(NamedFilters(IniPath()), owner);
    });
    const struct {
        QPushButton* button;
        const char* row;
        bool load; // Load, or Cancel
        QString editRule;
        QString edit1;
    } cases[] = {
        {dlg.Button1, "rtp", true, "udp portrange 10000-20000", "display"},
        {dlg.Button3, "sip", true, "udp portrange 10000-20000", "udp port 5060"},
        {dlg.Button1, "sip", false, "udp portrange 10000-20000", "udp port 5060"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button->objectName().toStdString() + " " + c.row);
        QTimer::singleShot(0, [&dlg, &c] {
            auto* filters = dlg.findChild<TFilterDialog*>();
            ASSERT_TRUE(filters && filters->isModal() && filters->isVisible());
            ClickRow(filters->ListView1, c.row);
            QTest::mouseClick(c.load ? filters->Button1 : filters->Button4, Qt::LeftButton);
            if (filters->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                filters->reject();
            }
        });
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(dlg.EditRule->text(), c.editRule);
        EXPECT_EQ(dlg.Edit1->text(), c.edit1);
        EXPECT_TRUE(dlg.findChildren<TFilterDialog*>().isEmpty()); // destroyed after use
    }
    EXPECT_TRUE(messages.empty());

    failToMake = true;
    QTest::mouseClick(dlg.Button3, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Out of memory!");
    EXPECT_EQ(messages[0].caption, "ERROR");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
}

TEST_F(DialogTest, NamedFilterDialog)
{
    WriteIni("[general]\nx=1\n\n[filters]\nsip=udp port 5060\nrtp=udp portrange 10000-20000\nalpha=tcp\n");
    TFilterDialog dlg{NamedFilters(IniPath())};
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Filters");
    EXPECT_EQ(dlg.ListView1->columnCount(), 1);
    EXPECT_EQ(dlg.ListView1->headerItem()->text(0), "Name List");
    EXPECT_EQ((QStringList{dlg.Button1->text(), dlg.Button2->text(), dlg.Button3->text(), dlg.Button4->text()}),
              (QStringList{"Load", "Save", "Delete", "Cancel"}));
    EXPECT_EQ(Rows(dlg.ListView1), (QStringList{"sip", "rtp", "alpha"}));
    EXPECT_FALSE(dlg.Button1->isEnabled());
    EXPECT_FALSE(dlg.Button3->isEnabled());

    // Clicking a name shows its rule and enables Load and Delete.
    ClickRow(dlg.ListView1, "sip");
    EXPECT_EQ(dlg.Edit1->text(), "sip");
    EXPECT_EQ(dlg.Edit2->text(), "udp port 5060");
    EXPECT_TRUE(dlg.Button1->isEnabled());
    EXPECT_TRUE(dlg.Button3->isEnabled());

    const QByteArray before = ReadIni();
    const struct {
        const char* name;
        const char* rule;
        QStringList rows;
        const char* file;
    } saves[] = {
        {"new", "", {"sip", "rtp", "alpha"}, nullptr}, // empty rule: nothing
        {"", "udp", {"sip", "rtp", "alpha"}, nullptr}, // empty name: nothing
        {"sip", "udp port 5070", {"sip", "rtp", "alpha"},
         "[general]\nx=1\n\n[filters]\nsip=udp port 5070\nrtp=udp portrange 10000-20000\nalpha=tcp\n"},
        {"beta", "icmp", {"sip", "rtp", "alpha", "beta"},
         "[general]\nx=1\n\n[filters]\nsip=udp port 5070\nrtp=udp portrange 10000-20000\nalpha=tcp\nbeta=icmp\n"},
    };
    for (const auto& s : saves) {
        SCOPED_TRACE(std::string(s.name) + "=" + s.rule);
        dlg.Edit1->setText(s.name);
        dlg.Edit2->setText(s.rule);
        QTest::mouseClick(dlg.Button2, Qt::LeftButton);
        EXPECT_EQ(Rows(dlg.ListView1), s.rows);
        EXPECT_EQ(ReadIni(), s.file ? QByteArray(s.file) : before);
    }

    // Delete removes the line and the row, and disables Load and Delete.
    ClickRow(dlg.ListView1, "rtp");
    EXPECT_EQ(dlg.Edit2->text(), "udp portrange 10000-20000");
    QTest::mouseClick(dlg.Button3, Qt::LeftButton);
    EXPECT_EQ(Rows(dlg.ListView1), (QStringList{"sip", "alpha", "beta"}));
    EXPECT_EQ(ReadIni(), "[general]\nx=1\n\n[filters]\nsip=udp port 5070\nalpha=tcp\nbeta=icmp\n");
    EXPECT_FALSE(dlg.Button1->isEnabled());
    EXPECT_FALSE(dlg.Button3->isEnabled());

    // Load closes with OK and hands back the rule.
    ClickRow(dlg.ListView1, "alpha");
    QTest::mouseClick(dlg.Button1, Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Rule(), "tcp");
    EXPECT_TRUE(messages.empty());
}
