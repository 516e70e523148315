// Reading Access database files (Jet 3 = Access 97, Jet 4 = Access 2000-2003): the catalogue, the
// table definitions with their indexes and usage maps, and the rows. Every failure raises JetError.
#pragma once

#include "db/jet/JetError.h"
#include "db/jet/PageFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kw::jet {

enum class Version { Jet3, Jet4 };

/// Column types as stored in a table definition.
namespace Type {
inline constexpr std::uint8_t Boolean = 0x01, Byte = 0x02, Integer = 0x03, Long = 0x04,
                              Currency = 0x05, Single = 0x06, Double = 0x07, DateTime = 0x08,
                              Binary = 0x09, Text = 0x0A, Ole = 0x0B, Memo = 0x0C, Guid = 0x0F,
                              Numeric = 0x10;
} // namespace Type

/// Column flags as stored in a table definition.
namespace ColumnFlag {
inline constexpr std::uint8_t Fixed = 0x01, Nullable = 0x02, AutoNumber = 0x04, AutoGuid = 0x40,
                              Hyperlink = 0x80;
} // namespace ColumnFlag

/// Index data flags.
namespace IndexFlag {
inline constexpr std::uint8_t Unique = 0x01, IgnoreNulls = 0x02, Required = 0x08;
} // namespace IndexFlag

/// Logical index kinds.
namespace IndexKind {
inline constexpr std::uint8_t Normal = 0, Primary = 1, ForeignKey = 2;
} // namespace IndexKind

struct Column {
    std::string name;
    std::uint8_t type = 0;
    std::uint16_t number = 0;      // the column's number, which rows and indexes refer to
    bool fixed = false;            // fixed-length part of the row, else a variable column
    std::uint16_t fixedOffset = 0; // of a fixed column, after the row's column count
    std::uint16_t varIndex = 0;    // of a variable column, in the row's variable offsets
    std::uint16_t length = 0;      // in bytes (Jet 4 text: two per character)
    std::uint8_t flags = 0;        // ColumnFlag
    std::uint8_t precision = 0;    // Numeric
    std::uint8_t scale = 0;        // Numeric
    std::uint16_t sortOrder = 0;   // text: the column's sort order (1033 = "General")
    bool compressed = false;       // Jet 4 text kept as "compressed Unicode" where it can be
};

/// A set of pages: the owned pages or those with free space of a table, the pages of an index.
struct UsageMap {
    std::uint32_t page = 0; // where the map's row lies
    std::uint8_t row = 0;
    std::vector<std::uint32_t> pages;    // ascending, all inside the file
    std::uint32_t pagesBeyondEnd = 0;    // pages the map claims past the end of the file
    std::vector<std::uint32_t> mapPages; // a reference map's bitmap pages
};

struct IndexColumn {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
};

/// A physical index: one B-tree, possibly shared by several logical indexes.
struct IndexData {
    int number = 0;
    std::vector<IndexColumn> columns;
    std::uint32_t rootPage = 0;         // the first index page
    std::uint8_t flags = 0;             // IndexFlag
    std::uint32_t usedPagesPointer = 0; // row (low byte) and page of the map below
    UsageMap usedPages;
};

/// A named index as the user sees it.
struct LogicalIndex {
    std::string name;
    int number = 0;
    int dataNumber = 0;    // the IndexData it uses
    std::uint8_t kind = 0; // IndexKind
    // Relationship of a foreign-key index: the other side's index number and table.
    int relatedIndex = -1;
    std::uint32_t relatedTablePage = 0;
    bool cascadeUpdates = false;
    bool cascadeDeletes = false;
};

struct TableDef {
    std::string name;
    std::uint32_t defPage = 0; // first page of the definition; the table's id in the catalogue
    bool system = false;
    std::uint8_t tableType = 0; // 0x4E user, 0x53 system
    std::uint32_t rowCount = 0;
    std::uint32_t nextAutoNumber = 0;
    std::vector<Column> columns; // by column number
    std::vector<IndexData> indexData;
    std::vector<LogicalIndex> indexes;
    UsageMap ownedPages;
    UsageMap freeSpacePages;

    /// The column with `number`, or null.
    const Column* ColumnByNumber(std::uint16_t number) const;
};

/// Money: the stored integer, in ten-thousandths.
struct Currency {
    std::int64_t tenThousandths = 0;
    bool operator==(const Currency&) const = default;
};

/// Date/Time: days since 30 December 1899, the time as the fraction (an OLE date).
struct DateTime {
    double days = 0;
    bool operator==(const DateTime&) const = default;
};

/// A GUID in its stored byte order (first three groups little-endian).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
};

/// Decimal: magnitude as a 128-bit integer (high, low) divided by 10^scale.
struct Numeric {
    bool negative = false;
    std::uint64_t high = 0, low = 0;
    std::uint8_t precision = 0, scale = 0;
    bool operator==(const Numeric&) const = default;
};

/// A column value: NULL, Boolean, the integer types (Byte, Integer, Long), Single and Double,
/// Currency, Date/Time, GUID, Numeric, Text and Memo as UTF-8, Binary and OLE as bytes.
using Value = std::variant<std::monostate, bool, std::int64_t, double, Currency, DateTime, Guid,
                           Numeric, std::string, std::vector<std::uint8_t>>;

/// Where a row lies: its data page and its number in that page's row offset table.
struct RowId {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
    bool operator==(const RowId&) const = default;
};

/// A table's row values, one per column of its TableDef::columns, in that order.
using RowCallback = std::function<void(RowId, const std::vector<Value>&)>;

/// Sort order of the database's text (1033 "General"; version 0 in Jet 4, -1 for Jet 3's).
struct SortOrder {
    std::uint16_t value = 0;
    int version = 0;
};

/// An entry of the catalogue (MSysObjects).
struct CatalogEntry {
    std::string name;
    std::uint32_t id = 0; // for a table: its definition page
    std::int32_t parentId = 0;
    std::int16_t type = 0; // 1 = local table
    std::uint32_t flags = 0;
    bool system = false;
};

class Database {
public:
    /// Opens the file at `path`, checking `password` against the database password (any password
    /// opens a database without one). Raises JetError when the file can't be read, isn't a Jet 3
    /// or Jet 4 database, is encrypted or damaged, or the password is wrong.
    static std::unique_ptr<Database> Open(const std::string& path, std::string_view password = {},
                                          std::size_t cachePages = 256);
    /// The same over any PageFile.
    static std::unique_ptr<Database> Open(std::unique_ptr<PageFile> file,
                                          std::string_view password = {},
                                          std::size_t cachePages = 256);
    ~Database();

    Version GetVersion() const;
    std::size_t PageSize() const;
    std::uint32_t PageCount() const;
    bool HasPassword() const;
    SortOrder GetSortOrder() const;
    std::uint16_t CodePage() const;
    /// "V1997" (Jet 3), or for Jet 4 "V2000", "V2003" by the database's AccessVersion property,
    /// "GENERIC_JET4" when it has none (files not made by Access).
    std::string FileFormat() const;

    /// Page `number` as stored (page 0 unmasked). Raises JetError beyond the end of the file.
    PageRef ReadPage(std::uint32_t number) const;
    /// The database's map of free pages (row 0 of page 1). Raises JetError when it can't be read.
    UsageMap FreePages() const;

    /// Every entry of the catalogue. Raises JetError when it can't be read.
    const std::vector<CatalogEntry>& Catalog() const;
    /// The tables' definitions, by name without regard to case; system tables only when asked.
    /// Raises JetError when a definition can't be read.
    std::vector<TableDef> Tables(bool withSystem = false) const;
    /// The table named `name` (ASCII case ignored), or nullopt. Raises JetError as Tables().
    std::optional<TableDef> FindTable(std::string_view name) const;
    /// The definition starting at `page`. Raises JetError when it isn't a sound one.
    TableDef ReadTableDef(std::uint32_t page, std::string name = {}) const;

    /// Calls `callback` for every live row of `table`, page by page through its owned pages.
    /// Raises JetError on a damaged data page, row or long value.
    void ForEachRow(const TableDef& table, const RowCallback& callback) const;
    /// The row at `id`, or nullopt when that slot is deleted or absent. Raises JetError when `id`
    /// isn't a data page of `table` or the row is damaged.
    std::optional<std::vector<Value>> ReadRow(const TableDef& table, RowId id) const;

private:
    struct Impl;
    explicit Database(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

/// Whether two names are equal without regard to ASCII case, as Access compares object names.
bool SameName(std::string_view a, std::string_view b);

} // namespace kw::jet
