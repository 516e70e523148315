// The rows of a data page: a header with the free space, the owning table and the row count, then
// a table of row offsets, and the rows themselves from the page's end downwards (row 0 highest).
// Deleted rows keep their slot, flagged deleted and "lookup" as Access flags them, with their bytes
// taken out of the page.
#pragma once

#include "db/jet/JetFormat.h"

#include <cstdint>
#include <span>

namespace kw::jet {

/// Rows a page can hold: a row pointer keeps the row number in one byte.
inline constexpr std::uint16_t kMaxRowsPerPage = 255;

struct RowSlotBytes {
    std::size_t start = 0, end = 0; // the row's bytes
    std::uint16_t flags = 0;        // RowFlag::Deleted, RowFlag::Lookup
};

std::uint16_t RowsOnPage(std::span<const std::uint8_t> page, const Format& f);
/// Where row `row` lies. Raises JetError when the page's offsets are not in the order Access keeps
/// them (each row below the one before).
RowSlotBytes RowBytesOnPage(std::span<const std::uint8_t> page, const Format& f, std::uint16_t row);
/// Whether a row of `size` bytes fits, with its new slot.
bool RowFits(std::span<const std::uint8_t> page, const Format& f, std::size_t size);

/// Makes `page` an empty data page of the table defined on `tablePage`.
void InitDataPage(std::span<std::uint8_t> page, const Format& f, std::uint32_t tablePage);
/// Adds `row` in a new slot below the others; returns its number. The row must fit.
std::uint16_t AddRowToPage(std::span<std::uint8_t> page, const Format& f,
                           std::span<const std::uint8_t> row);
/// Flags row `row` deleted and gives its bytes back to the page's free space.
void RemoveRowFromPage(std::span<std::uint8_t> page, const Format& f, std::uint16_t row);

} // namespace kw::jet
