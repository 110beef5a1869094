#include "sort_search.h"

#include <limits>
#include <numeric>

namespace AnalyzerProject {

namespace {

unsigned char FoldCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c; }

std::string FoldedText(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
    return folded;
}

// Numbers compare only when SORT_TEXT is absent and SORT_NUMBER present.
bool ComparesNumbers(uint32_t flags) { return !(flags & SORT_TEXT) && (flags & SORT_NUMBER); }

} // namespace

int CompareTextIgnoringCase(std::string_view a, std::string_view b)
{
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const unsigned char ca = FoldCase(static_cast<unsigned char>(a[i]));
        const unsigned char cb = FoldCase(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int64_t ListSortNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulated as a negative value, whose range reaches one further.
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

int ListSortCompare(std::string_view a, std::string_view b, uint32_t flags)
{
    int r;
    if (flags & SORT_TEXT) {
        r = CompareTextIgnoringCase(a, b);
    } else if (flags & SORT_NUMBER) {
        const int64_t na = ListSortNumber(a);
        const int64_t nb = ListSortNumber(b);
        r = na > nb ? -1 : (na == nb ? 0 : 1);
    } else {
        r = -CompareTextIgnoringCase(a, b);
    }
    return (flags & SORT_FORWARD) ? r : -r;
}

std::string_view ListRowCaption(const ListRowTexts& row) { return row.caption; }

std::string_view ListRowSubItem(const ListRowTexts& row, uint32_t index)
{
    return index < row.subItems.size() ? std::string_view(row.subItems[index]) : std::string_view();
}

void ToggleColumnDirection(uint32_t& direction) { direction = direction == SORT_FORWARD ? 0 : SORT_FORWARD; }

uint32_t ListSortColumn(const ListSortOrder& order)
{
    return order.kind == ListSortKind::ByCaption ? 0 : 1 + (order.flags & SORT_COLUMN_MASK);
}

bool ListSortAscending(uint32_t flags)
{
    const bool forward = (flags & SORT_FORWARD) != 0;
    return (flags & SORT_TEXT) ? forward : !forward;
}

void ListSortRowsByText(std::vector<uint32_t>& rows, const std::function<std::string(uint32_t)>& textOf,
                        uint32_t flags)
{
    // Keys by position in `rows`; positions are sorted, then the rows follow them.
    const bool numbers = ComparesNumbers(flags);
    std::vector<int64_t> numberKeys;
    std::vector<std::string> textKeys;
    if (numbers)
        numberKeys.reserve(rows.size());
    else
        textKeys.reserve(rows.size());
    for (uint32_t row : rows) {
        if (numbers)
            numberKeys.push_back(ListSortNumber(textOf(row)));
        else
            textKeys.push_back(FoldedText(textOf(row)));
    }

    std::vector<uint32_t> positions(rows.size());
    std::iota(positions.begin(), positions.end(), 0u);
    const bool ascending = ListSortAscending(flags);
    auto sortBy = [&](const auto& keys) {
        if (ascending)
            std::stable_sort(positions.begin(), positions.end(),
                             [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
        else
            std::stable_sort(positions.begin(), positions.end(),
                             [&](uint32_t a, uint32_t b) { return keys[b] < keys[a]; });
    };
    if (numbers)
        sortBy(numberKeys);
    else
        sortBy(textKeys);

    std::vector<uint32_t> sorted;
    sorted.reserve(rows.size());
    for (uint32_t p : positions)
        sorted.push_back(rows[p]);
    rows.swap(sorted);
}

std::optional<ListSortOrder> PacketListSortOrder(int column, uint32_t direction)
{
    if (column == PACKET_COLUMN_NUMBER)
        return ListSortOrder{ListSortKind::ByCaption, direction | SORT_NUMBER};
    if (column > PACKET_COLUMN_NUMBER && column < PACKET_COLUMN_COUNT)
        return ListSortOrder{ListSortKind::BySubItem,
                             direction | SORT_TEXT | static_cast<uint32_t>(column - PACKET_COLUMN_TIME)};
    return std::nullopt;
}

} // namespace AnalyzerProject
