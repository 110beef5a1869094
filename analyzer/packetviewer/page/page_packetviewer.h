// The packet viewer page: the frame list of every delivered packet, and for the row shown,
// its bytes in the hex view and its protocol tree from the external dissector. The tree is
// built on a worker thread (the dissector takes a moment) and put in place when it is
// ready, unless another packet was shown meanwhile.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <thread>

#include "hex_view.h"
#include "packet_list_model.h"
#include "packet_process.h"
#include "protocol_tree.h"

namespace AnalyzerProject {

class PacketViewerPage : public QWidget {
    Q_OBJECT
public:
    explicit PacketViewerPage(QWidget* parent = nullptr);
    ~PacketViewerPage() override;

    // What the page needs of its analysis window: the session that feeds the list (the
    // filtered one while the display filter is on), and how a failure is told (text,
    // caption).
    std::function<CPacketCapture*()> feedingSession;
    std::function<void(const QString&, const QString&)> showError;
    // The popup's "Save All Packets" and "Save Selected Packets".
    std::function<void()> saveAll;
    std::function<void()> saveSelected;

    void m_pv_AddPacket(QvrPacket* packet);
    void m_pv_Clear();
    void m_pv_ShowRawPacket(const QvrPacket& packet);

    uint32_t RowCount() const { return model_->RowCounter(); }
    int32_t LastShownRow() const { return lastShownRow_; }
    // Row numbers (store indexes) of the selected rows, ascending.
    std::vector<uint32_t> SelectedRowNumbers() const;

    PacketListModel* Model() const { return model_; }
    QTableView* m_pv_TListView_ListPkt;
    QTreeWidget* m_pv_TTreeView_EtherealTreeParse;
    HexView* m_pv_MPHexEditorEx_RawPkt;
    QLabel* m_pv_TStatusBar_Status;
    QMenu* m_pv_TPopupmenu;

public slots:
    void m_pv_TListView_ListPktColumnClick(int column);
    void m_pv_TTreeView_EtherealTreeParseClick();

private:
    void ListChange();
    void ShowPacket(uint32_t rowNumber);
    void ShowTree(const ProtocolTree& tree, uint64_t request);
    void JoinTreeWorker();
    void RefreshStatus();

    PacketListModel* model_;
    int32_t lastShownRow_ = -1;
    bool firstRowShown_ = false;
    uint32_t statusShown_ = UINT32_MAX;

    std::thread treeWorker_;
    uint64_t treeRequest_ = 0;
};

} // namespace AnalyzerProject
