// Reading an index's B-tree: intermediate pages (0x03) over leaf pages (0x04), each holding entries
// of key bytes and the row they point to, marked by a bitmap and sharing a prefix with the page's
// first entry. Leaves are chained by next/previous pointers; a tail leaf may hang after the last
// one that the intermediate pages know.
#pragma once

#include "db/jet/IndexKey.h"
#include "db/jet/Jet.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kw::jet {

struct IndexEntry {
    std::span<const std::uint8_t> key; // into the IndexPage that holds the entry
    RowId row;
    std::uint32_t child = 0; // intermediate pages: the page whose last entry this is
};

struct IndexPage {
    std::uint8_t type = 0;   // PageType::IndexNode or PageType::IndexLeaf
    std::uint32_t owner = 0; // the table definition's page
    std::uint32_t prev = 0, next = 0, tail = 0;
    std::vector<IndexEntry> entries;
    std::vector<std::uint8_t> keyBytes; // the entries' keys, prefixes restored

    IndexPage() = default;
    IndexPage(const IndexPage&) = delete; // the entries point into keyBytes
    IndexPage(IndexPage&&) = default;
};

/// Parses one index page. Raises JetError when it isn't a sound index page.
IndexPage ParseIndexPage(std::span<const std::uint8_t> page, Version version, std::uint32_t number);

/// Orders entries as the index does: by key bytes, then by row.
int CompareEntries(std::span<const std::uint8_t> a, RowId ra, std::span<const std::uint8_t> b,
                   RowId rb);

/// Parsed index pages of one database, kept for reuse; memory is bounded by `capacity` pages.
class IndexPages {
public:
    explicit IndexPages(const Database& db, std::size_t capacity = 256);

    /// Index page `number` of `table`. Raises JetError when it isn't a sound index page of it.
    std::shared_ptr<const IndexPage> Get(const TableDef& table, std::uint32_t number);

    const Database& Db() const { return db_; }

private:
    const Database& db_;
    std::size_t capacity_;
    std::unordered_map<std::uint32_t, std::shared_ptr<const IndexPage>> pages_;
};

/// Every entry of `index` in order (leftmost leaf, then along the next pointers), with the leaf
/// page it lies on; `onLeaf`, when given, sees each leaf page before its entries. Raises JetError
/// on a damaged page, a page that isn't the index's, or a cycle.
void ForEachIndexEntry(
    IndexPages& pages, const TableDef& table, const IndexData& index,
    const std::function<void(const IndexEntry&, std::uint32_t leaf)>& callback,
    const std::function<void(const IndexPage&, std::uint32_t leaf)>& onLeaf = nullptr);

/// The leaf page on which the entry (key, row) is found by descending from the root, choosing at
/// each intermediate page the first child whose last entry is not below it; 0 when it isn't found
/// so. Raises JetError as above.
std::uint32_t FindIndexEntry(IndexPages& pages, const TableDef& table, const IndexData& index,
                             const KeyBytes& key, RowId row);

/// Writes every entry of the index named `index` of table `table` in order, one per line: the key
/// in hex, the row as page:row, and the row's values of the indexed columns as the dump prints
/// them. Raises JetError when there is no such table or index, or a page is damaged.
void WriteIndexKeys(const Database& db, std::string_view table, std::string_view index,
                    std::ostream& out);

} // namespace kw::jet
