// Inside the Access library: where things lie in Jet 3 and Jet 4 pages, bounded little-endian
// reads that raise JetError instead of reading past a page, and text conversions.
#pragma once

#include "db/jet/Jet.h"

#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace kw::jet {

struct Format {
    Version version = Version::Jet4;
    std::size_t pageSize = 4096;
    std::size_t headerMaskLength = 128;
    // data pages
    std::size_t dataRowCount = 0x0C;
    std::size_t dataRowTable = 0x0E;
    // table definition pages
    std::size_t tdefRowCount = 0x10, tdefAutoNumber = 0x14, tdefTableType = 0x28,
                tdefVarColumns = 0x2B, tdefColumns = 0x2D, tdefIndexes = 0x2F, tdefIndexData = 0x33,
                tdefOwnedPages = 0x37, tdefFreePages = 0x3B, tdefFirstEntry = 0x3F;
    std::size_t indexCountEntry = 12; // per index data, before the columns
    std::size_t columnEntry = 25;
    std::size_t colNumber = 0x05, colVarIndex = 0x07, colPrecision = 0x0B, colScale = 0x0C,
                colSortOrder = 0x0B, colFlags = 0x0F, colFixedOffset = 0x15, colLength = 0x17;
    std::size_t nameLengthSize = 2;
    std::size_t indexDataEntry = 52, indexDataColumnsAt = 4, indexDataFlags = 42;
    std::size_t logicalIndexEntry = 28, logicalIndexAt = 4;

    static Format Jet3();
    static Format Jet4() { return Format{}; }
};

inline Format Format::Jet3() {
    Format f;
    f.version = Version::Jet3;
    f.pageSize = 2048;
    f.headerMaskLength = 126;
    f.dataRowCount = 0x08;
    f.dataRowTable = 0x0A;
    f.tdefRowCount = 0x0C;
    f.tdefAutoNumber = 0x10;
    f.tdefTableType = 0x14;
    f.tdefVarColumns = 0x17;
    f.tdefColumns = 0x19;
    f.tdefIndexes = 0x1B;
    f.tdefIndexData = 0x1F;
    f.tdefOwnedPages = 0x23;
    f.tdefFreePages = 0x27;
    f.tdefFirstEntry = 0x2B;
    f.indexCountEntry = 8;
    f.columnEntry = 18;
    f.colNumber = 0x01;
    f.colVarIndex = 0x03;
    f.colPrecision = 0x07;
    f.colScale = 0x08;
    f.colSortOrder = 0x09;
    f.colFlags = 0x0D;
    f.colFixedOffset = 0x0E;
    f.colLength = 0x10;
    f.nameLengthSize = 1;
    f.indexDataEntry = 39;
    f.indexDataColumnsAt = 0;
    f.indexDataFlags = 38;
    f.logicalIndexEntry = 20;
    f.logicalIndexAt = 0;
    return f;
}

/// Page types as stored in a page's first byte.
namespace PageType {
inline constexpr std::uint8_t Data = 0x01, TableDef = 0x02, IndexNode = 0x03, IndexLeaf = 0x04,
                              UsageMap = 0x05;
} // namespace PageType

/// Row offset flags in a data page's row table.
namespace RowFlag {
inline constexpr std::uint16_t Deleted = 0x8000, Lookup = 0x4000, OffsetMask = 0x1FFF;
} // namespace RowFlag

[[noreturn]] void Damaged(const std::string& what);

/// The key stream whose first `length` bytes mask page 0 from offset 0x18 (XOR).
std::vector<std::uint8_t> HeaderMask(std::size_t length);

/// The bytes a fixed column takes in a row's fixed part (0 for Boolean, which lives in the mask).
std::size_t FixedSize(const Column& c);

inline void Need(std::span<const std::uint8_t> b, std::size_t at, std::size_t n) {
    if (at > b.size() || n > b.size() - at) {
        Damaged("a structure runs past the end of its page or row");
    }
}
inline std::uint8_t Le8(std::span<const std::uint8_t> b, std::size_t at) {
    Need(b, at, 1);
    return b[at];
}
inline void Put16(std::span<std::uint8_t> b, std::size_t at, std::uint32_t value) {
    b[at] = static_cast<std::uint8_t>(value);
    b[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void Put32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    Need(b, at, 2);
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    Need(b, at, 4);
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
inline std::uint64_t Le64(std::span<const std::uint8_t> b, std::size_t at) {
    return Le32(b, at) | (std::uint64_t{Le32(b, at + 4)} << 32);
}
inline double LeDouble(std::span<const std::uint8_t> b, std::size_t at) {
    const std::uint64_t bits = Le64(b, at);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

/// The Unicode character of a Windows-1252 byte (undefined bytes map to the C1 control).
char16_t Windows1252ToUnicode(std::uint8_t byte);
void AppendUtf8(std::string& out, char32_t c);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

} // namespace kw::jet
