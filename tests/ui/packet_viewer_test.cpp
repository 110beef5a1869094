// The packet viewer page in its analysis window: row texts, the model's contract, sorting,
// the detail panes with the real dissector, and saving rows.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QProcess>

#include "analysisform.h"
#include "external_dissector.h"
#include "page_packetviewer.h"
#include "ui_fixtures.h"

using namespace AnalyzerProject;
using namespace testsupport;

namespace {

// Frames whose sources sort differently from their numbers.
const std::vector<Bytes> kFrames = {
    udpFrame({10, 0, 0, 30}, 5060, {10, 0, 0, 1}, 5060, textBytes("INVITE sip:bob@example.com SIP/2.0\r\n\r\n")),
    udpFrame({10, 0, 0, 10}, 4000, {10, 0, 0, 2}, 4002, textBytes("rtp")),
    tcpFrame({10, 0, 0, 20}, 80, {10, 0, 0, 3}, 3000, textBytes("HTTP/1.1 200 OK\r\n")),
    ethernet(kEtherArp, arpRequest({10, 0, 0, 40}, {10, 0, 0, 4})),
};

class PacketViewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        SetExternalToolPath("tethereal", "/usr/bin/tshark");
        SetExternalToolPath("text2pcap", "/usr/bin/text2pcap");
        {
            CaptureFileWriter writer(file.str());
            for (size_t i = 0; i < kFrames.size(); ++i)
                writer.add(kFrames[i], static_cast<uint32_t>(1083414896 + i), 123);
        }
        window = new TAnalysisForm();
        window->resize(1000, 700);
        window->show();
        window->SetCaption(file.str());
        ASSERT_TRUE(window->OpenCapture(file.c_str()));
        ASSERT_TRUE(waitFor([&] { return !window->m_pv_Timer1.isActive(); }));
        page = window->PacketViewer();
        page->Model()->Flush();
    }
    void TearDown() override
    {
        if (window)
            window->close();
        SetExternalToolPath("tethereal", QString());
        SetExternalToolPath("text2pcap", QString());
    }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = 0; r < page->Model()->rowCount(); ++r)
            texts << page->Model()->index(r, c).data().toString();
        return texts;
    }
    QStringList treeTops() const
    {
        QStringList tops;
        for (int i = 0; i < page->m_pv_TTreeView_EtherealTreeParse->topLevelItemCount(); ++i)
            tops << page->m_pv_TTreeView_EtherealTreeParse->topLevelItem(i)->text(0);
        return tops;
    }
    void selectRow(int row)
    {
        page->m_pv_TListView_ListPkt->selectionModel()->select(
            page->Model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    TempPath file;
    QPointer<TAnalysisForm> window;
    PacketViewerPage* page = nullptr;
    MessageLog log;
};

TEST_F(PacketViewer, RowsShowEveryPacketAndTheFirstInTheDetailPanes)
{
    EXPECT_EQ(column(0), (QStringList{"0", "1", "2", "3"}));
    EXPECT_EQ(column(1)[0], "2004/05/01 12:34:56.000123");
    EXPECT_EQ(column(2), (QStringList{"10.0.0.30", "10.0.0.10", "10.0.0.20", "00:66:77:88:99:aa"}));
    EXPECT_EQ(column(4)[2], "ETH2,len:71;IPv4,id:0;TCP,sport:80,dport:3000,seq:1,ack:1;Data,len:17");
    EXPECT_EQ(page->m_pv_TStatusBar_Status->text(), "Captured : 4");

    // The first row was shown without being selected: bytes at once, tree when ready.
    EXPECT_EQ(page->LastShownRow(), 0);
    EXPECT_EQ(page->m_pv_MPHexEditorEx_RawPkt->Data().size(), static_cast<qsizetype>(kFrames[0].size()));
    ASSERT_TRUE(waitFor([&] { return !treeTops().isEmpty(); }, 20000));
    const QStringList tops = treeTops();
    for (const char* protocol : {"Ethernet II", "Internet Protocol", "User Datagram Protocol", "Session Initiation Protocol"})
        EXPECT_TRUE(tops.filter(protocol).size() == 1) << protocol << " in " << tops.join(" | ").toStdString();

    selectRow(2);
    EXPECT_EQ(page->LastShownRow(), 2);
    ASSERT_TRUE(waitFor([&] { return treeTops().filter("Transmission Control Protocol").size() == 1; }, 20000));
    EXPECT_EQ(page->m_pv_MPHexEditorEx_RawPkt->Data().size(), static_cast<qsizetype>(kFrames[2].size()));
    EXPECT_TRUE(log.messages.empty());

    window->ResetPages();
    EXPECT_EQ(page->Model()->rowCount(), 0);
    EXPECT_EQ(page->m_pv_TStatusBar_Status->text(), "Captured : 0");
    EXPECT_EQ(page->LastShownRow(), -1);
}

TEST_F(PacketViewer, MissingDissectorIsToldAndTheBytesAreStillShown)
{
    SetExternalToolPath("tethereal", "/nonexistent/ethereal/tethereal");
    selectRow(3);
    ASSERT_TRUE(waitFor([&] { return !log.messages.empty(); }, 20000));
    EXPECT_EQ(log.messages[0].text, "Can't launch Ethereal successfully");
    EXPECT_EQ(log.messages[0].caption, "ERROR");
    EXPECT_EQ(page->m_pv_MPHexEditorEx_RawPkt->Data().size(), static_cast<qsizetype>(kFrames[3].size()));
    EXPECT_TRUE(treeTops().isEmpty());
}

TEST_F(PacketViewer, ColumnClicksSortAndRowsKeepTheirNumbers)
{
    auto sortBy = [&](int c) {
        page->m_pv_TListView_ListPktColumnClick(c);
        ASSERT_TRUE(waitFor([&] { return !page->Model()->Sorting(); }));
    };
    sortBy(0);
    EXPECT_EQ(column(0), (QStringList{"3", "2", "1", "0"})); // highest first
    sortBy(0);
    EXPECT_EQ(column(0), (QStringList{"0", "1", "2", "3"}));
    selectRow(2); // packet 2 stays selected wherever it sorts to
    sortBy(2);
    EXPECT_EQ(column(0), (QStringList{"3", "1", "2", "0"})); // by source, ascending
    EXPECT_EQ(column(2)[1], "10.0.0.10");
    EXPECT_EQ(page->SelectedRowNumbers(), std::vector<uint32_t>{2});
    sortBy(2);
    EXPECT_EQ(column(0), (QStringList{"0", "2", "1", "3"}));
    EXPECT_EQ(page->SelectedRowNumbers(), std::vector<uint32_t>{2});
    EXPECT_EQ(page->LastShownRow(), 2);
}

std::vector<Bytes> readBack(const std::string& path)
{
    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(path.c_str(), errbuf);
    std::vector<Bytes> frames;
    pcap_pkthdr* h;
    const u_char* data;
    while (p && pcap_next_ex(p, &h, &data) == 1)
        frames.emplace_back(data, data + h->caplen);
    if (p)
        pcap_close(p);
    return frames;
}

TEST_F(PacketViewer, SavedSelectionIsInCaptureOrderWhateverTheSort)
{
    page->m_pv_TListView_ListPktColumnClick(0); // descending
    ASSERT_TRUE(waitFor([&] { return !page->Model()->Sorting(); }));
    auto* selection = page->m_pv_TListView_ListPkt->selectionModel();
    selection->clearSelection();
    for (int row : {0, 2}) // packets 3 and 1
        selection->select(page->Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    TempPath selected, all, none;
    window->chooseSaveFile = [&] { return QString::fromStdString(selected.str()); };
    page->saveSelected();
    EXPECT_EQ(readBack(selected.str()), (std::vector<Bytes>{kFrames[1], kFrames[3]}));

    window->chooseSaveFile = [&] { return QString::fromStdString(all.str()); };
    window->ToolButton2Click();
    EXPECT_EQ(readBack(all.str()), kFrames);
    // tshark reads the saved file with the same frames.
    QProcess tshark;
    tshark.start("/usr/bin/tshark", {"-r", QString::fromStdString(all.str())});
    ASSERT_TRUE(tshark.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(tshark.readAllStandardOutput()).trimmed().split('\n').size(), 4);

    selection->clearSelection();
    window->chooseSaveFile = [&] { return QString::fromStdString(none.str()); };
    page->saveSelected();
    EXPECT_TRUE(readBack(none.str()).empty());
    EXPECT_TRUE(log.messages.empty());

    window->chooseSaveFile = [] { return QString("/nonexistent-dir/out.pcap"); };
    page->saveAll();
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "Can't save the file.");
}

TEST(PacketListModelContract, AppendsSortsAndResetsKeepTheModelSound)
{
    std::vector<Bytes> frames;
    for (int i = 0; i < 300; ++i)
        frames.push_back(udpFrame({10, 0, 0, static_cast<uint8_t>(i % 7)}, 5060, {10, 0, 0, 1}, 5060, textBytes("x")));
    std::vector<QvrPacket> packets;
    for (Bytes& f : frames)
        packets.push_back({0, 0, f.data(), static_cast<uint32_t>(f.size()), nullptr, nullptr});
    PacketListModel model([&](uint32_t n) -> const QvrPacket* { return n < packets.size() ? &packets[n] : nullptr; });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = 0; i < 100; ++i)
        model.AddRow();
    model.Flush();
    EXPECT_EQ(model.rowCount(), 100);
    model.SortNow(PacketListModel::ColumnSource, SORT_FORWARD);
    EXPECT_EQ(model.rowCount(), 100);
    for (int i = 0; i < 200; ++i)
        model.AddRow();
    model.Flush();
    EXPECT_EQ(model.rowCount(), 300);
    EXPECT_EQ(model.RowNumber(299), 299u); // new rows go to the end, unsorted
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.RowCounter(), 0u);
}

} // namespace
