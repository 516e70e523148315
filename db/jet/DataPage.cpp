#include "db/jet/DataPage.h"

#include <cstring>

namespace kw::jet {

namespace {

std::size_t SlotAt(const Format& f, std::uint16_t row) {
    return f.dataRowTable + 2u * row;
}

// The lowest row start: where the free space between the offset table and the rows ends.
std::size_t RowsStart(std::span<const std::uint8_t> page, const Format& f) {
    const std::uint16_t rows = RowsOnPage(page, f);
    return rows == 0 ? f.pageSize : RowBytesOnPage(page, f, rows - 1).start;
}

void SetFree(std::span<std::uint8_t> page, const Format& f) {
    Put16(page, 2, RowsStart(page, f) - SlotAt(f, RowsOnPage(page, f)));
}

} // namespace

std::uint16_t RowsOnPage(std::span<const std::uint8_t> page, const Format& f) {
    const std::uint16_t rows = Le16(page, f.dataRowCount);
    if (SlotAt(f, rows) > f.pageSize)
        Damaged("a data page claims more rows than it can hold");
    return rows;
}

RowSlotBytes RowBytesOnPage(std::span<const std::uint8_t> page, const Format& f,
                            std::uint16_t row) {
    const std::uint16_t raw = Le16(page, SlotAt(f, row));
    RowSlotBytes s;
    s.flags = raw & (RowFlag::Deleted | RowFlag::Lookup);
    s.start = raw & RowFlag::OffsetMask;
    s.end = row == 0 ? f.pageSize : (Le16(page, SlotAt(f, row - 1)) & RowFlag::OffsetMask);
    if (s.start > s.end || s.start < SlotAt(f, RowsOnPage(page, f)) || s.end > f.pageSize)
        throw JetError("A data page's rows are not in the order this writer keeps (row " +
                       std::to_string(row) + " lies outside its place); the page is left alone.");
    return s;
}

bool RowFits(std::span<const std::uint8_t> page, const Format& f, std::size_t size) {
    const std::uint16_t rows = RowsOnPage(page, f);
    return rows < kMaxRowsPerPage && size > 0 && SlotAt(f, rows + 1) + size <= RowsStart(page, f);
}

void InitDataPage(std::span<std::uint8_t> page, const Format& f, std::uint32_t tablePage) {
    std::fill(page.begin(), page.end(), 0);
    page[0] = PageType::Data;
    page[1] = 0x01;
    for (int i = 0; i < 4; ++i)
        page[4 + i] = static_cast<std::uint8_t>(tablePage >> (8 * i));
    SetFree(page, f);
}

std::uint16_t AddRowToPage(std::span<std::uint8_t> page, const Format& f,
                           std::span<const std::uint8_t> row) {
    const std::uint16_t number = RowsOnPage(page, f);
    const std::size_t start = RowsStart(page, f) - row.size();
    std::memcpy(page.data() + start, row.data(), row.size());
    Put16(page, SlotAt(f, number), start);
    Put16(page, f.dataRowCount, number + 1u);
    SetFree(page, f);
    return number;
}

void RemoveRowFromPage(std::span<std::uint8_t> page, const Format& f, std::uint16_t row) {
    const RowSlotBytes gone = RowBytesOnPage(page, f, row);
    const std::size_t length = gone.end - gone.start;
    const std::size_t low = RowsStart(page, f);
    // The rows below move up over the removed bytes; their slots follow them.
    std::memmove(page.data() + low + length, page.data() + low, gone.start - low);
    for (std::uint16_t r = row + 1; r < RowsOnPage(page, f); ++r) {
        const std::uint16_t raw = Le16(page, SlotAt(f, r));
        Put16(page, SlotAt(f, r), raw + length);
    }
    // Access flags a deleted row's slot with both bits; readers skip either.
    Put16(page, SlotAt(f, row), gone.end | RowFlag::Deleted | RowFlag::Lookup);
    SetFree(page, f);
}

} // namespace kw::jet
