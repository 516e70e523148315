#include "db/jet/IndexTree.h"

#include "db/jet/Dump.h"
#include "db/jet/JetError.h"
#include "db/jet/JetFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace kw::jet {
namespace {

struct Layout {
    std::size_t prev, next, tail, prefix, mask, first;
    bool widePrefix;
};
// Jet 3 keeps the prefix length in one byte at 0x14 (Access 97 writes 0x01 into 0x15).
constexpr Layout kJet3{0x08, 0x0C, 0x10, 0x14, 0x16, 0xF8, false};
constexpr Layout kJet4{0x0C, 0x10, 0x14, 0x18, 0x1B, 0x1E0, true};

std::uint32_t Be(std::span<const std::uint8_t> p, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[at + i];
    return v;
}

[[noreturn]] void Damaged(std::uint32_t number, const std::string& what) {
    throw JetError("Index page " + std::to_string(number) + " is damaged: " + what + ".");
}

} // namespace

IndexPages::IndexPages(const Database& db, std::size_t capacity) : db_(db), capacity_(capacity) {}

std::shared_ptr<const IndexPage> IndexPages::Get(const TableDef& table, std::uint32_t number) {
    auto it = pages_.find(number);
    std::shared_ptr<const IndexPage> page;
    if (it != pages_.end()) {
        page = it->second;
    } else {
        PageRef bytes = db_.ReadPage(number);
        page = std::make_shared<const IndexPage>(ParseIndexPage(*bytes, db_.GetVersion(), number));
        if (pages_.size() >= capacity_)
            pages_.clear();
        pages_.emplace(number, page);
    }
    if (page->owner != table.defPage)
        Damaged(number, "it belongs to table definition " + std::to_string(page->owner) +
                            ", not to table " + table.name);
    return page;
}

IndexPage ParseIndexPage(std::span<const std::uint8_t> page, Version version,
                         std::uint32_t number) {
    const Layout& l = version == Version::Jet3 ? kJet3 : kJet4;
    if (page.size() <= l.first)
        Damaged(number, "it is too short");
    IndexPage out;
    out.type = page[0];
    if (out.type != PageType::IndexNode && out.type != PageType::IndexLeaf)
        Damaged(number, "its type is " + std::to_string(out.type) + ", not an index page");
    out.owner = Le32(page, 4);
    out.prev = Le32(page, l.prev);
    out.next = Le32(page, l.next);
    out.tail = Le32(page, l.tail);
    std::size_t prefixLen =
        l.widePrefix ? (page[l.prefix] | page[l.prefix + 1] << 8) : page[l.prefix];
    std::size_t pointer = out.type == PageType::IndexNode ? 8 : 4;

    // Keys go into one buffer (the first entry's prefix restored on the others); spans follow
    // once it no longer grows.
    std::vector<std::pair<std::size_t, std::size_t>> keys; // offset, length in keyBytes
    std::size_t count = 0;
    for (std::size_t at = l.mask; at < l.first; ++at)
        count += static_cast<std::size_t>(std::popcount(page[at]));
    keys.reserve(count);
    out.entries.reserve(count);
    out.keyBytes.reserve(page.size() - l.first + count * prefixLen);
    KeyBytes prefix;
    std::size_t start = l.first;
    for (std::size_t bit = 0; bit < (l.first - l.mask) * 8; ++bit) {
        if (bit % 8 == 0 && page[l.mask + bit / 8] == 0) {
            bit += 7; // a byte of the mask without an entry's end
            continue;
        }
        if (!(page[l.mask + bit / 8] >> (bit % 8) & 1))
            continue;
        std::size_t end = l.first + bit;
        if (end > page.size() || end <= start)
            Damaged(number, "an entry ends outside the page");
        std::span<const std::uint8_t> stored = page.subspan(start, end - start);
        const std::size_t at = out.keyBytes.size();
        if (keys.empty()) {
            if (prefixLen > stored.size())
                Damaged(number, "its shared prefix is longer than its first entry");
            prefix.assign(stored.begin(), stored.begin() + prefixLen);
        } else {
            out.keyBytes.insert(out.keyBytes.end(), prefix.begin(), prefix.end());
        }
        out.keyBytes.insert(out.keyBytes.end(), stored.begin(), stored.end());
        const std::size_t full = out.keyBytes.size() - at;
        if (full < pointer + 1)
            Damaged(number, "an entry is too short");
        std::span<const std::uint8_t> f(out.keyBytes.data() + at, full);
        const std::size_t keyLen = full - pointer;
        IndexEntry e;
        e.row.page = Be(f, keyLen, 3);
        e.row.row = f[keyLen + 3];
        if (out.type == PageType::IndexNode)
            e.child = Be(f, keyLen + 4, 4);
        out.keyBytes.resize(at + keyLen);
        keys.emplace_back(at, keyLen);
        out.entries.push_back(e);
        start = end;
    }
    for (std::size_t i = 0; i < keys.size(); ++i)
        out.entries[i].key = {out.keyBytes.data() + keys[i].first, keys[i].second};
    return out;
}

int CompareEntries(std::span<const std::uint8_t> a, RowId ra, std::span<const std::uint8_t> b,
                   RowId rb) {
    const std::size_t n = std::min(a.size(), b.size());
    if (int c = n ? std::memcmp(a.data(), b.data(), n) : 0; c != 0)
        return c < 0 ? -1 : 1;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    if (ra.page != rb.page)
        return ra.page < rb.page ? -1 : 1;
    if (ra.row != rb.row)
        return ra.row < rb.row ? -1 : 1;
    return 0;
}

void ForEachIndexEntry(IndexPages& pages, const TableDef& table, const IndexData& index,
                       const std::function<void(const IndexEntry&, std::uint32_t)>& callback,
                       const std::function<void(const IndexPage&, std::uint32_t)>& onLeaf) {
    std::uint32_t budget = pages.Db().PageCount(); // more pages than the file has means a cycle
    std::uint32_t number = index.rootPage;
    auto page = pages.Get(table, number);
    while (page->type == PageType::IndexNode) {
        if (page->entries.empty())
            Damaged(number, "an intermediate page holds no entries");
        if (budget-- == 0)
            Damaged(number, "its pages form a cycle");
        number = page->entries.front().child;
        page = pages.Get(table, number);
    }
    for (;;) {
        if (page->type != PageType::IndexLeaf)
            Damaged(number, "the chain of leaf pages reaches an intermediate page");
        if (onLeaf)
            onLeaf(*page, number);
        for (const IndexEntry& e : page->entries)
            callback(e, number);
        if (page->next == 0)
            return;
        if (budget-- == 0)
            Damaged(number, "its pages form a cycle");
        number = page->next;
        page = pages.Get(table, number);
    }
}

namespace {
// The first entry of `page` that is not below (key, row); entries are in order.
std::vector<IndexEntry>::const_iterator FirstNotBelow(const IndexPage& page, const KeyBytes& key,
                                                      RowId row) {
    return std::lower_bound(
        page.entries.begin(), page.entries.end(), 0,
        [&](const IndexEntry& e, int) { return CompareEntries(e.key, e.row, key, row) < 0; });
}
} // namespace

std::uint32_t FindIndexEntry(IndexPages& pages, const TableDef& table, const IndexData& index,
                             const KeyBytes& key, RowId row) {
    std::uint32_t budget = pages.Db().PageCount();
    std::uint32_t number = index.rootPage;
    auto page = pages.Get(table, number);
    while (page->type == PageType::IndexNode) {
        auto it = FirstNotBelow(*page, key, row);
        std::uint32_t child = it != page->entries.end() ? it->child : page->tail;
        if (child == 0)
            return 0;
        if (budget-- == 0)
            Damaged(number, "its pages form a cycle");
        number = child;
        page = pages.Get(table, number);
    }
    auto it = FirstNotBelow(*page, key, row);
    const bool found = it != page->entries.end() && CompareEntries(it->key, it->row, key, row) == 0;
    return found ? number : 0;
}

void WriteIndexKeys(const Database& db, std::string_view tableName, std::string_view indexName,
                    std::ostream& out) {
    const std::optional<TableDef> table = db.FindTable(tableName);
    if (!table)
        throw JetError("The database has no table named " + std::string(tableName) + ".");
    const IndexData* data = nullptr;
    for (const LogicalIndex& li : table->indexes)
        for (const IndexData& d : table->indexData)
            if (SameName(li.name, indexName) && d.number == li.dataNumber)
                data = &d;
    if (!data)
        throw JetError("Table " + table->name + " has no index named " + std::string(indexName) +
                       ".");
    IndexPages pages(db);
    ForEachIndexEntry(pages, *table, *data, [&](const IndexEntry& e, std::uint32_t) {
        out << HexOf(e.key) << "\t" << e.row.page << ":" << e.row.row;
        const auto values = db.ReadRow(*table, e.row);
        for (const IndexColumn& ic : data->columns) {
            out << "\t";
            for (std::size_t i = 0; values && i < table->columns.size(); ++i)
                if (table->columns[i].number == ic.columnNumber)
                    out << FormatValue(table->columns[i], (*values)[i]);
            if (!values)
                out << "(no row)";
        }
        out << "\n";
    });
}

} // namespace kw::jet
