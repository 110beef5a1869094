#include "packet_list_model.h"

#include <QFont>
#include <QCoreApplication>
#include <QFontDatabase>

#include <algorithm>

#include "memory_tuning.h"

namespace AnalyzerProject {

namespace {
const char* const kHeaders[] = {"NO.", "Time", "Source", "Destination", "Encapsulation"};
constexpr int kCachedRows = 4096;
constexpr int kBatchMs = 50;

std::string ColumnText(const PacketRowTexts& t, int column)
{
    switch (column) {
    case PacketListModel::ColumnNumber: return t.number;
    case PacketListModel::ColumnTime: return t.time;
    case PacketListModel::ColumnSource: return t.source;
    case PacketListModel::ColumnDestination: return t.destination;
    default: return t.encapsulation;
    }
}
} // namespace

PacketListModel::PacketListModel(std::function<const QvrPacket*(uint32_t)> fetch, QObject* parent)
    : QAbstractTableModel(parent), fetch_(std::move(fetch)), cache_(kCachedRows)
{
    batch_.setInterval(kBatchMs);
    connect(&batch_, &QTimer::timeout, this, &PacketListModel::Flush);
    batch_.start();
}

PacketListModel::~PacketListModel() { JoinSorter(); }

void PacketListModel::JoinSorter()
{
    cancelSort_ = true;
    if (sorter_.joinable())
        sorter_.join();
    cancelSort_ = false;
    sorting_ = false;
}

void PacketListModel::Clear()
{
    JoinSorter(); // the sorter reads packets of the store that is about to be emptied
    ++generation_;
    beginResetModel();
    order_.clear();
    rowCounter_ = 0;
    cache_.clear();
    endResetModel();
}

void PacketListModel::Flush()
{
    const auto shown = static_cast<uint32_t>(order_.size());
    if (sorting_ || rowCounter_ <= shown)
        return; // rows added during a sort are shown once the sorted order is in place
    beginInsertRows({}, static_cast<int>(shown), static_cast<int>(rowCounter_ - 1));
    for (uint32_t n = shown; n < rowCounter_; ++n)
        order_.push_back(n);
    endInsertRows();
}

int PacketListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int PacketListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const PacketRowTexts* PacketListModel::Texts(uint32_t number) const
{
    if (PacketRowTexts* cached = cache_.object(number))
        return cached;
    const QvrPacket* packet = fetch_(number);
    if (!packet)
        return nullptr;
    auto* texts = new PacketRowTexts(MakeRowTexts(number, *packet));
    cache_.insert(number, texts);
    return texts;
}

QVariant PacketListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const uint32_t number = order_[static_cast<size_t>(index.row())];
    if (role == RowNumberRole)
        return number;
    if (role == Qt::FontRole)
        return QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const PacketRowTexts* texts = Texts(number);
    if (!texts)
        return {};
    QString text = QString::fromStdString(ColumnText(*texts, index.column()));
    if (index.column() == ColumnTime)
        text = text.trimmed(); // its blank and line feed belong to the text, not the cell
    return text;
}

QVariant PacketListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void PacketListModel::ColumnClick(int column)
{
    if (column < 0 || column >= ColumnCount || sorting_)
        return;
    ToggleColumnDirection(directions_[column]);
    StartSort(column, directions_[column]);
}

void PacketListModel::SortNow(int column, uint32_t direction)
{
    directions_[column] = direction;
    StartSort(column, direction);
    if (sorter_.joinable())
        sorter_.join();
    QCoreApplication::sendPostedEvents(this);
}

// Sorts a copy of the shown order by the column's texts on a worker thread.
void PacketListModel::StartSort(int column, uint32_t direction)
{
    Flush();
    if (sorter_.joinable())
        sorter_.join();
    sorting_ = true;
    cancelSort_ = false;
    const uint64_t generation = generation_;
    std::vector<uint32_t> rows = order_;
    sorter_ = std::thread([this, rows = std::move(rows), column, direction, generation]() mutable {
        const ListSortOrder order = *PacketListSortOrder(column, direction);
        ListSortRowsByText(
            rows,
            [&](uint32_t number) -> std::string {
                if (cancelSort_)
                    return {}; // the result will be dropped anyway
                if (column == ColumnNumber)
                    return RowNumberText(number);
                const QvrPacket* p = fetch_(number);
                return p ? ColumnText(MakeRowTexts(number, *p), column) : std::string();
            },
            order.flags);
        ReleaseFreedMemory(); // the keys were a million small strings
        QMetaObject::invokeMethod(
            this, [this, rows = std::move(rows), generation]() mutable { ApplySort(std::move(rows), generation); },
            Qt::QueuedConnection);
    });
}

void PacketListModel::ApplySort(std::vector<uint32_t> sorted, uint64_t generation)
{
    if (sorter_.joinable())
        sorter_.join();
    sorting_ = false;
    if (generation != generation_ || cancelSort_)
        return;
    // A layout change rather than a reset: the selection and the current row follow their
    // packets to the rows they sort to.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<uint32_t> newRow(order_.size());
    for (uint32_t row = 0; row < sorted.size(); ++row)
        newRow[sorted[row]] = row;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before) {
        const uint32_t number = order_[static_cast<size_t>(index.row())];
        after << (number < newRow.size() ? createIndex(static_cast<int>(newRow[number]), index.column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    order_ = std::move(sorted);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    Flush();
}

} // namespace AnalyzerProject
