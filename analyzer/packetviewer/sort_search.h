// Sorting of the analysis lists by a clicked column. A flag word chooses how two texts
// compare: SORT_TEXT (case-insensitive text), SORT_NUMBER (decimal integers) or neither
// (case-insensitive text, reversed); SORT_FORWARD keeps the raw result, its absence
// reverses it; the low 16 bits hold the further column that ListSortBySubItem reads
// (0 is the first column after the caption). A negative result puts `a` before `b`.
//
// Raw results, before SORT_FORWARD is applied:
//   SORT_TEXT    compare(a, b)        (negative when a sorts first)
//   SORT_NUMBER  -1 when a's number is greater, 0 when equal, 1 when smaller
//   neither      -compare(a, b)
// So with SORT_FORWARD, text sorts ascending and numbers descending. Each column keeps its
// own direction value (0 at first) that a click toggles with ToggleColumnDirection before
// the list is sorted. Sorts are stable: rows whose keys compare equal keep their order.
//
// A row is anything with a caption and further column texts: ListRowTexts, or any type
// for which ListRowCaption(row) and ListRowSubItem(row, index) can be found by argument
// lookup, returning something convertible to std::string_view.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace AnalyzerProject {

inline constexpr uint32_t SORT_TEXT = 0x10000;
inline constexpr uint32_t SORT_NUMBER = 0x40000;
inline constexpr uint32_t SORT_FORWARD = 0x100000;
inline constexpr uint32_t SORT_COLUMN_MASK = 0xFFFF;

// -1, 0 or 1 as `a` sorts before, with or after `b` when ASCII letters are compared
// without their case; other bytes compare by their unsigned value.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);

// The decimal integer at the start of `text`: leading blanks and tabs are skipped, one
// sign is accepted, reading stops at the first byte that is no digit; no digits give 0.
// Values beyond the 64-bit range stay at its limit.
int64_t ListSortNumber(std::string_view text);

// The comparison of two column texts under `flags` (see above).
int ListSortCompare(std::string_view a, std::string_view b, uint32_t flags);

// A list row held as texts. A further column beyond `subItems` reads as an empty text.
struct ListRowTexts {
    std::string caption;
    std::vector<std::string> subItems;
};

std::string_view ListRowCaption(const ListRowTexts& row);
std::string_view ListRowSubItem(const ListRowTexts& row, uint32_t index);

template <class Row>
concept ListSortRow = requires(const Row& row, uint32_t index) {
    { ListRowCaption(row) } -> std::convertible_to<std::string_view>;
    { ListRowSubItem(row, index) } -> std::convertible_to<std::string_view>;
};

// Compares the rows' captions.
template <ListSortRow Row>
int ListSortByCaption(const Row& a, const Row& b, uint32_t flags)
{
    return ListSortCompare(ListRowCaption(a), ListRowCaption(b), flags);
}

// Compares the rows' further columns at the index in the low 16 bits of `flags`.
template <ListSortRow Row>
int ListSortBySubItem(const Row& a, const Row& b, uint32_t flags)
{
    const uint32_t index = flags & SORT_COLUMN_MASK;
    return ListSortCompare(ListRowSubItem(a, index), ListRowSubItem(b, index), flags);
}

// SORT_FORWARD becomes 0, anything else becomes SORT_FORWARD.
void ToggleColumnDirection(uint32_t& direction);

enum class ListSortKind { ByCaption, BySubItem };

// One sort of a list: which comparison, and its flag word.
struct ListSortOrder {
    ListSortKind kind;
    uint32_t flags;
    bool operator==(const ListSortOrder&) const = default;
};

// The list column whose texts `order` compares: 0 for the caption, 1 + index for a
// further column.
uint32_t ListSortColumn(const ListSortOrder& order);

// True when `order` puts smaller keys first (smaller texts, or smaller numbers).
bool ListSortAscending(uint32_t flags);

template <ListSortRow Row>
int ListSortRows(const Row& a, const Row& b, const ListSortOrder& order)
{
    return order.kind == ListSortKind::ByCaption ? ListSortByCaption(a, b, order.flags)
                                                 : ListSortBySubItem(a, b, order.flags);
}

// Strict weak ordering for std::stable_sort and friends: `a` goes before `b` when the
// comparison is negative.
struct ListSortLess {
    ListSortOrder order;
    template <ListSortRow Row>
    bool operator()(const Row& a, const Row& b) const
    {
        return ListSortRows(a, b, order) < 0;
    }
};

// Sorts `rows` stably by `order`.
template <ListSortRow Row>
void ListSortStable(std::vector<Row>& rows, const ListSortOrder& order)
{
    std::stable_sort(rows.begin(), rows.end(), ListSortLess{order});
}

// Puts `rows` (row identifiers, e.g. packet store indexes) in the order in which a stable
// sort with ListSortCompare(textOf(a), textOf(b), flags) would put them, without
// recomputing texts per comparison: `textOf` is called once per row and each key is
// prepared once (case folded, or read as a number).
void ListSortRowsByText(std::vector<uint32_t>& rows, const std::function<std::string(uint32_t)>& textOf,
                        uint32_t flags);

// The packet list's columns, in their order.
enum PacketListColumn : int {
    PACKET_COLUMN_NUMBER = 0, // "NO.", the caption
    PACKET_COLUMN_TIME,
    PACKET_COLUMN_SOURCE,
    PACKET_COLUMN_DESTINATION,
    PACKET_COLUMN_ENCAPSULATION,
    PACKET_COLUMN_COUNT
};

// The sort that a click on `column` of the packet list runs, given that column's direction
// value after the click's toggle: "NO." by caption as numbers, the other columns by their
// texts (column index 0 to 3). Nothing for a column the list does not have.
std::optional<ListSortOrder> PacketListSortOrder(int column, uint32_t direction);

} // namespace AnalyzerProject
