// The frame list as a virtual model: a row is a packet's number, which is also its index in
// the store that feeds the list, and its texts are made from the packet when the row is
// shown (a bounded cache keeps the visible ones). Added rows reach the views in batches at
// screen rate. Sorting a column runs on a worker thread, so a million rows never freeze
// the window; rows added meanwhile stay at the end, as new rows always do.
#pragma once

#include <QAbstractTableModel>
#include <QCache>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "packet_row_text.h"
#include "sort_search.h"

namespace AnalyzerProject {

class PacketListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColumnNumber = PACKET_COLUMN_NUMBER,
        ColumnTime = PACKET_COLUMN_TIME,
        ColumnSource = PACKET_COLUMN_SOURCE,
        ColumnDestination = PACKET_COLUMN_DESTINATION,
        ColumnEncapsulation = PACKET_COLUMN_ENCAPSULATION,
        ColumnCount = PACKET_COLUMN_COUNT
    };
    static constexpr int RowNumberRole = Qt::UserRole + 1;

    // `fetch` gives the packet of a row number (a store index), or null. It is called on the
    // user-interface thread and, while a sort runs, on the sorting thread.
    explicit PacketListModel(std::function<const QvrPacket*(uint32_t)> fetch, QObject* parent = nullptr);
    ~PacketListModel() override;

    // A new row for the next row number; shown at the next batch.
    void AddRow() { ++rowCounter_; }
    void Clear();
    // Announces the rows added since the last batch to the views.
    void Flush();

    uint32_t RowCounter() const { return rowCounter_; }
    uint32_t RowNumber(int row) const { return order_[static_cast<size_t>(row)]; }
    bool Sorting() const { return sorting_; }

    // A click on a column header: toggles the column's direction and sorts by it.
    void ColumnClick(int column);
    // Sorts by `column` with `flags` as the column's direction (waits for the end).
    void SortNow(int column, uint32_t direction);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const PacketRowTexts* Texts(uint32_t number) const;
    void StartSort(int column, uint32_t direction);
    void ApplySort(std::vector<uint32_t> sorted, uint64_t generation);
    void JoinSorter();

    std::function<const QvrPacket*(uint32_t)> fetch_;
    std::vector<uint32_t> order_; // shown rows, in display order
    uint32_t rowCounter_ = 0;     // rows added, shown or not
    uint32_t directions_[ColumnCount] = {};
    mutable QCache<uint32_t, PacketRowTexts> cache_;
    QTimer batch_;

    std::thread sorter_;
    std::atomic<bool> cancelSort_{false};
    bool sorting_ = false;
    uint64_t generation_ = 0; // a clear makes a running sort's result stale
};

} // namespace AnalyzerProject
