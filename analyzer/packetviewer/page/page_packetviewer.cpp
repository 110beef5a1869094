#include "page_packetviewer.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "external_dissector.h"

namespace AnalyzerProject {

PacketViewerPage::PacketViewerPage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    layout->addWidget(splitter, 1);

    auto* listGroup = new QGroupBox("Frame List", splitter);
    auto* listLayout = new QVBoxLayout(listGroup);
    m_pv_TListView_ListPkt = new QTableView(listGroup);
    m_pv_TListView_ListPkt->setObjectName("m_pv_TListView_ListPkt");
    model_ = new PacketListModel(
        [this](uint32_t n) -> const QvrPacket* {
            CPacketCapture* session = feedingSession ? feedingSession() : nullptr;
            return session ? session->GetPacket(n) : nullptr;
        },
        this);
    m_pv_TListView_ListPkt->setModel(model_);
    m_pv_TListView_ListPkt->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pv_TListView_ListPkt->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pv_TListView_ListPkt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pv_TListView_ListPkt->setShowGrid(true);
    // Rows of one fixed height: the row header keeps nothing per row worth updating.
    m_pv_TListView_ListPkt->verticalHeader()->hide();
    m_pv_TListView_ListPkt->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pv_TListView_ListPkt->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_pv_TListView_ListPkt->horizontalHeader()->setMinimumSectionSize(50);
    m_pv_TListView_ListPkt->horizontalHeader()->setStretchLastSection(true);
    m_pv_TListView_ListPkt->setColumnWidth(PacketListModel::ColumnNumber, 70);
    m_pv_TListView_ListPkt->setColumnWidth(PacketListModel::ColumnTime, 220);
    m_pv_TListView_ListPkt->setColumnWidth(PacketListModel::ColumnSource, 180);
    m_pv_TListView_ListPkt->setColumnWidth(PacketListModel::ColumnDestination, 180);
    m_pv_TListView_ListPkt->setContextMenuPolicy(Qt::CustomContextMenu);
    listLayout->addWidget(m_pv_TListView_ListPkt);

    m_pv_TPopupmenu = new QMenu(this);
    m_pv_TPopupmenu->setObjectName("m_pv_TPopupmenu");
    m_pv_TPopupmenu->addAction("Save All Packets", this, [this] { if (saveAll) saveAll(); });
    m_pv_TPopupmenu->addAction("Save Selected Packets", this, [this] { if (saveSelected) saveSelected(); });
    connect(m_pv_TListView_ListPkt, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_pv_TPopupmenu->popup(m_pv_TListView_ListPkt->viewport()->mapToGlobal(at)); });

    auto* status = new QStatusBar(listGroup);
    status->setSizeGripEnabled(false);
    m_pv_TStatusBar_Status = new QLabel("Captured : 0", status);
    m_pv_TStatusBar_Status->setObjectName("m_pv_TStatusBar_Status");
    m_pv_TStatusBar_Status->setMinimumWidth(100);
    status->addWidget(m_pv_TStatusBar_Status);
    auto* panel1 = new QLabel(status);
    panel1->setMinimumWidth(50);
    status->addWidget(panel1);
    listLayout->addWidget(status);

    auto* detailGroup = new QGroupBox("Detail Frame Information", splitter);
    auto* detailLayout = new QVBoxLayout(detailGroup);
    auto* detailSplitter = new QSplitter(Qt::Vertical, detailGroup);
    m_pv_TTreeView_EtherealTreeParse = new QTreeWidget(detailSplitter);
    m_pv_TTreeView_EtherealTreeParse->setObjectName("m_pv_TTreeView_EtherealTreeParse");
    m_pv_TTreeView_EtherealTreeParse->setHeaderHidden(true);
    m_pv_TTreeView_EtherealTreeParse->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pv_MPHexEditorEx_RawPkt = new HexView(detailSplitter);
    m_pv_MPHexEditorEx_RawPkt->setObjectName("m_pv_MPHexEditorEx_RawPkt");
    detailLayout->addWidget(detailSplitter);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    connect(m_pv_TListView_ListPkt->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &PacketViewerPage::m_pv_TListView_ListPktColumnClick);
    connect(m_pv_TListView_ListPkt->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PacketViewerPage::ListChange);
    connect(m_pv_TTreeView_EtherealTreeParse, &QTreeWidget::itemClicked, this,
            &PacketViewerPage::m_pv_TTreeView_EtherealTreeParseClick);
    // The status text follows the rows at screen rate, with the list's batches.
    connect(model_, &QAbstractItemModel::rowsInserted, this, &PacketViewerPage::RefreshStatus);
}

PacketViewerPage::~PacketViewerPage() { JoinTreeWorker(); }

void PacketViewerPage::JoinTreeWorker()
{
    if (treeWorker_.joinable())
        treeWorker_.join();
}

void PacketViewerPage::m_pv_AddPacket(QvrPacket* packet)
{
    if (!packet)
        return;
    const uint32_t row = model_->RowCounter();
    model_->AddRow();
    // After a clear, the first row to arrive is shown once, as long as nothing is selected.
    if (row == 0 && !firstRowShown_ && !m_pv_TListView_ListPkt->selectionModel()->hasSelection()) {
        firstRowShown_ = true;
        lastShownRow_ = 0;
        ShowPacket(0);
    }
}

void PacketViewerPage::RefreshStatus()
{
    if (statusShown_ == model_->RowCounter())
        return;
    statusShown_ = model_->RowCounter();
    m_pv_TStatusBar_Status->setText(QString("Captured : %1").arg(statusShown_));
}

void PacketViewerPage::m_pv_Clear()
{
    ++treeRequest_; // a tree still being built is for a packet about to go
    JoinTreeWorker();
    model_->Clear();
    m_pv_TTreeView_EtherealTreeParse->clear();
    lastShownRow_ = -1;
    firstRowShown_ = false;
    statusShown_ = UINT32_MAX;
    RefreshStatus();
}

std::vector<uint32_t> PacketViewerPage::SelectedRowNumbers() const
{
    std::vector<uint32_t> numbers;
    for (const QModelIndex& index : m_pv_TListView_ListPkt->selectionModel()->selectedRows())
        numbers.push_back(model_->RowNumber(index.row()));
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

void PacketViewerPage::ListChange()
{
    const QModelIndexList selected = m_pv_TListView_ListPkt->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const auto first = *std::min_element(selected.begin(), selected.end(),
                                         [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const uint32_t number = model_->RowNumber(first.row());
    if (static_cast<int32_t>(number) == lastShownRow_)
        return;
    lastShownRow_ = static_cast<int32_t>(number);
    ShowPacket(number);
}

void PacketViewerPage::ShowPacket(uint32_t rowNumber)
{
    CPacketCapture* session = feedingSession ? feedingSession() : nullptr;
    const QvrPacket* packet = session ? session->GetPacket(rowNumber) : nullptr;
    if (!packet)
        return;
    m_pv_TTreeView_EtherealTreeParse->clear();
    const uint64_t request = ++treeRequest_;
    JoinTreeWorker();
    treeWorker_ = std::thread([this, packet, request] {
        ProtocolTree tree;
        bool launchFailed = false;
        BuildProtocolTree(*packet, tree, launchFailed);
        QMetaObject::invokeMethod(
            this,
            [this, tree = std::move(tree), request, launchFailed] {
                JoinTreeWorker();
                if (launchFailed && request == treeRequest_ && showError)
                    showError(kDissectorLaunchFailedText, kDissectorLaunchFailedCaption);
                ShowTree(tree, request);
            },
            Qt::QueuedConnection);
    });
    m_pv_ShowRawPacket(*packet);
}

void PacketViewerPage::ShowTree(const ProtocolTree& tree, uint64_t request)
{
    if (request != treeRequest_)
        return; // another packet was shown meanwhile
    m_pv_TTreeView_EtherealTreeParse->clear();
    std::function<void(QTreeWidgetItem*, const ProtocolTreeNode&)> add = [&](QTreeWidgetItem* parent,
                                                                                const ProtocolTreeNode& node) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_pv_TTreeView_EtherealTreeParse);
        item->setText(0, QString::fromStdString(node.text));
        for (const ProtocolTreeNode& child : node.children)
            add(item, child);
    };
    for (const ProtocolTreeNode& top : tree)
        add(nullptr, top);
}

void PacketViewerPage::m_pv_ShowRawPacket(const QvrPacket& packet)
{
    m_pv_MPHexEditorEx_RawPkt->SetData(
        QByteArray(reinterpret_cast<const char*>(packet.data), static_cast<qsizetype>(packet.length)));
    m_pv_MPHexEditorEx_RawPkt->SetSelection(0, 0);
}

void PacketViewerPage::m_pv_TListView_ListPktColumnClick(int column) { model_->ColumnClick(column); }

void PacketViewerPage::m_pv_TTreeView_EtherealTreeParseClick() { m_pv_MPHexEditorEx_RawPkt->SetSelection(0, 0); }

} // namespace AnalyzerProject
