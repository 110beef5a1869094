// List sorting: the raw comparison rules and their direction, the column clicks of the
// packet list (per-column direction, numbers for NO., text without case for the rest),
// stability, and the keyed sort of row indexes agreeing with the plain comparison.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "sort_search.h"

using namespace AnalyzerProject;

namespace {

struct CompareCase {
    const char* a;
    const char* b;
    uint32_t flags;
    int expected;
};

const CompareCase kCompareCases[] = {
    // Text: negative when a sorts first, case ignored; without SORT_FORWARD reversed.
    {"abc", "ABD", SORT_TEXT | SORT_FORWARD, -1},
    {"abc", "ABD", SORT_TEXT, 1},
    {"ABC", "abc", SORT_TEXT | SORT_FORWARD, 0},
    {"ab", "abc", SORT_TEXT | SORT_FORWARD, -1},
    {"10", "9", SORT_TEXT | SORT_FORWARD, -1},
    {"\xc3\xa9", "z", SORT_TEXT | SORT_FORWARD, 1}, // bytes above 0x7f sort after ASCII
    {"a", "b", SORT_TEXT | SORT_FORWARD | 3, -1},    // the column index is no part of it
    // Numbers: -1 when a is greater, then the direction.
    {"10", "9", SORT_NUMBER | SORT_FORWARD, -1},
    {"10", "9", SORT_NUMBER, 1},
    {"9", "10", SORT_NUMBER | SORT_FORWARD, 1},
    {"007", "7", SORT_NUMBER | SORT_FORWARD, 0},
    {"4294967295", "2147483648", SORT_NUMBER | SORT_FORWARD, -1},
    {"-3", "2", SORT_NUMBER | SORT_FORWARD, 1},
    {" 12abc", "12", SORT_NUMBER | SORT_FORWARD, 0},
    {"", "0", SORT_NUMBER, 0},
    {"99999999999999999999", "9223372036854775807", SORT_NUMBER, 0}, // held at the limit
    // Text wins over numbers.
    {"10", "9", SORT_TEXT | SORT_NUMBER | SORT_FORWARD, -1},
    // Neither: text without case, negated.
    {"a", "B", SORT_FORWARD, 1},
    {"a", "B", 0, -1},
    {"A", "a", 0, 0},
};

// Rows as the packet list shows them: NO., then Time, Source, Destination, Encapsulation.
ListRowTexts PacketRow(const char* number, const char* source)
{
    return {number, {"2004/05/01 12:34:56.000000 \n", source, "10.0.0.9", "ETH2,len:60;ARP"}};
}

std::vector<ListRowTexts> PacketRows()
{
    return {PacketRow("0", "b-host"), PacketRow("1", "A-host"), PacketRow("2", "c-host"),
            PacketRow("3", "a-HOST"), PacketRow("4", "B-host"), PacketRow("5", "a-host"),
            PacketRow("6", "C-host"), PacketRow("7", "b-HOST"), PacketRow("8", "a-host"),
            PacketRow("9", "c-host"), PacketRow("10", "b-host"), PacketRow("11", "A-host")};
}

std::vector<std::string> Captions(const std::vector<ListRowTexts>& rows)
{
    std::vector<std::string> captions;
    for (const ListRowTexts& r : rows)
        captions.push_back(r.caption);
    return captions;
}

// The packet list's column clicks over rows held as texts, and the same clicks over row
// indexes sorted by keys, so both ways can be compared after every click.
class ClickedList {
public:
    explicit ClickedList(std::vector<ListRowTexts> rows) : rows_(std::move(rows)), texts_(rows_)
    {
        for (uint32_t i = 0; i < rows_.size(); ++i)
            indexes_.push_back(i);
    }

    void click(int column)
    {
        ToggleColumnDirection(directions_[static_cast<size_t>(column)]);
        const std::optional<ListSortOrder> order = PacketListSortOrder(column, directions_[static_cast<size_t>(column)]);
        ASSERT_TRUE(order);
        ListSortStable(rows_, *order);
        const uint32_t textColumn = ListSortColumn(*order);
        ListSortRowsByText(
            indexes_,
            [&](uint32_t i) {
                return textColumn == 0 ? texts_[i].caption : texts_[i].subItems[textColumn - 1];
            },
            order->flags);
    }

    std::vector<std::string> captions() const { return Captions(rows_); }
    std::vector<std::string> indexedCaptions() const
    {
        std::vector<std::string> captions;
        for (uint32_t i : indexes_)
            captions.push_back(texts_[i].caption);
        return captions;
    }

private:
    std::vector<ListRowTexts> rows_;
    const std::vector<ListRowTexts> texts_;
    std::vector<uint32_t> indexes_;
    std::array<uint32_t, PACKET_COLUMN_COUNT> directions_{};
};

// A row that makes its texts when asked, as a list over a packet store does.
struct StoredRow {
    const std::vector<std::array<std::string, 2>>* store;
    uint32_t index;
};
std::string ListRowCaption(const StoredRow& row) { return std::to_string(row.index); }
std::string ListRowSubItem(const StoredRow& row, uint32_t i) { return i < 2 ? (*row.store)[row.index][i] : ""; }

} // namespace

TEST(ListSort, CompareFollowsTheFlagWord)
{
    for (const CompareCase& c : kCompareCases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b + " flags " + std::to_string(c.flags));
        EXPECT_EQ(ListSortCompare(c.a, c.b, c.flags), c.expected);
    }
}

TEST(ListSort, DirectionTogglesBetweenForwardAndZero)
{
    uint32_t direction = 0;
    ToggleColumnDirection(direction);
    EXPECT_EQ(direction, SORT_FORWARD);
    ToggleColumnDirection(direction);
    EXPECT_EQ(direction, 0u);
    direction = SORT_FORWARD | SORT_TEXT;
    ToggleColumnDirection(direction);
    EXPECT_EQ(direction, SORT_FORWARD);
}

TEST(ListSort, PacketListColumnsChooseComparisonAndFlags)
{
    struct OrderCase {
        int column;
        uint32_t direction;
        ListSortOrder order;
        uint32_t textColumn;
    };
    const OrderCase cases[] = {
        {PACKET_COLUMN_NUMBER, SORT_FORWARD, {ListSortKind::ByCaption, SORT_NUMBER | SORT_FORWARD}, 0},
        {PACKET_COLUMN_NUMBER, 0, {ListSortKind::ByCaption, SORT_NUMBER}, 0},
        {PACKET_COLUMN_TIME, SORT_FORWARD, {ListSortKind::BySubItem, SORT_TEXT | SORT_FORWARD | 0}, 1},
        {PACKET_COLUMN_SOURCE, 0, {ListSortKind::BySubItem, SORT_TEXT | 1}, 2},
        {PACKET_COLUMN_DESTINATION, SORT_FORWARD, {ListSortKind::BySubItem, SORT_TEXT | SORT_FORWARD | 2}, 3},
        {PACKET_COLUMN_ENCAPSULATION, 0, {ListSortKind::BySubItem, SORT_TEXT | 3}, 4},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.column);
        const std::optional<ListSortOrder> order = PacketListSortOrder(c.column, c.direction);
        ASSERT_TRUE(order);
        EXPECT_EQ(*order, c.order);
        EXPECT_EQ(ListSortColumn(*order), c.textColumn);
    }
    EXPECT_FALSE(PacketListSortOrder(-1, 0));
    EXPECT_FALSE(PacketListSortOrder(PACKET_COLUMN_COUNT, 0));
}

TEST(ListSort, PacketListClicksSortStablyWithOwnDirections)
{
    using Names = std::vector<std::string>;
    struct Step {
        int column;
        Names captions;
    };
    const Step steps[] = {
        // First click on NO.: highest first, as numbers.
        {PACKET_COLUMN_NUMBER, {"11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}},
        // Second click: ascending again.
        {PACKET_COLUMN_NUMBER, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}},
        // First click on Source: ascending without case, equal texts keep their order.
        {PACKET_COLUMN_SOURCE, {"1", "3", "5", "8", "11", "0", "4", "7", "10", "2", "6", "9"}},
        // Second click on Source: descending, equal texts still in their order.
        {PACKET_COLUMN_SOURCE, {"2", "6", "9", "0", "4", "7", "10", "1", "3", "5", "8", "11"}},
        // A column whose texts are all equal leaves the rows as they are.
        {PACKET_COLUMN_ENCAPSULATION, {"2", "6", "9", "0", "4", "7", "10", "1", "3", "5", "8", "11"}},
        // NO. kept its own direction: its third click is its first one again.
        {PACKET_COLUMN_NUMBER, {"11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}},
    };
    ClickedList list(PacketRows());
    for (const Step& s : steps) {
        list.click(s.column);
        EXPECT_EQ(list.captions(), s.captions) << "after a click on column " << s.column;
        EXPECT_EQ(list.indexedCaptions(), s.captions) << "keyed, after a click on column " << s.column;
    }
}

TEST(ListSort, MissingSubItemsReadAsEmptyText)
{
    std::vector<ListRowTexts> rows = {{"0", {"x", "b"}}, {"1", {"y"}}, {"2", {"z", "a"}}};
    ListSortStable(rows, {ListSortKind::BySubItem, SORT_TEXT | SORT_FORWARD | 1});
    EXPECT_EQ(Captions(rows), (std::vector<std::string>{"1", "2", "0"}));
    ListSortStable(rows, {ListSortKind::BySubItem, SORT_TEXT | SORT_FORWARD | 9});
    EXPECT_EQ(Captions(rows), (std::vector<std::string>{"1", "2", "0"}));
}

TEST(ListSort, RowsThatMakeTheirTextsSortLikeRowsOfTexts)
{
    const std::vector<std::array<std::string, 2>> store = {{"b", "3"}, {"A", "20"}, {"a", "100"}, {"c", "3"}};
    std::vector<StoredRow> rows;
    for (uint32_t i = 0; i < store.size(); ++i)
        rows.push_back({&store, i});
    auto indexes = [&] {
        std::vector<uint32_t> out;
        for (const StoredRow& r : rows)
            out.push_back(r.index);
        return out;
    };
    ListSortStable(rows, {ListSortKind::BySubItem, SORT_NUMBER | 1}); // ascending numbers
    EXPECT_EQ(indexes(), (std::vector<uint32_t>{0, 3, 1, 2}));
    ListSortStable(rows, {ListSortKind::BySubItem, SORT_TEXT | SORT_FORWARD | 0});
    EXPECT_EQ(indexes(), (std::vector<uint32_t>{1, 2, 0, 3}));
    ListSortStable(rows, {ListSortKind::ByCaption, SORT_NUMBER | SORT_FORWARD}); // descending
    EXPECT_EQ(indexes(), (std::vector<uint32_t>{3, 2, 1, 0}));
}

TEST(ListSort, KeyedSortOfIndexesMatchesTheComparison)
{
    // Short texts from a small alphabet give many ties, case twins and number-like texts.
    std::mt19937 random(20040501);
    const std::string alphabet = "aAbB09- x";
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) {
        std::string t;
        const int length = static_cast<int>(random() % 4);
        for (int k = 0; k < length; ++k)
            t += alphabet[random() % alphabet.size()];
        texts.push_back(t);
    }
    const uint32_t flagWords[] = {SORT_TEXT,   SORT_TEXT | SORT_FORWARD, SORT_NUMBER,
                                  SORT_NUMBER | SORT_FORWARD, 0, SORT_FORWARD, SORT_TEXT | SORT_NUMBER};
    for (uint32_t flags : flagWords) {
        SCOPED_TRACE(flags);
        std::vector<ListRowTexts> rows;
        std::vector<uint32_t> indexes;
        for (uint32_t i = 0; i < texts.size(); ++i) {
            rows.push_back({std::to_string(i), {texts[i]}});
            indexes.push_back(i);
        }
        ListSortStable(rows, {ListSortKind::BySubItem, flags});
        ListSortRowsByText(indexes, [&](uint32_t i) { return texts[i]; }, flags);
        std::vector<uint32_t> expected;
        for (const ListRowTexts& r : rows)
            expected.push_back(static_cast<uint32_t>(std::stoul(r.caption)));
        EXPECT_EQ(indexes, expected);
    }
}
