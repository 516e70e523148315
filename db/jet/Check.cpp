#include "db/jet/Check.h"

#include "db/jet/IndexKey.h"
#include "db/jet/IndexTree.h"
#include "db/jet/JetError.h"
#include "db/jet/JetFormat.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace kw::jet {
namespace {

std::string RowText(RowId id) {
    return std::to_string(id.page) + ":" + std::to_string(id.row);
}

std::string IndexNames(const TableDef& table, const IndexData& data) {
    std::string names;
    for (const LogicalIndex& li : table.indexes) {
        if (li.dataNumber != data.number)
            continue;
        if (!names.empty())
            names += ',';
        names += li.name;
    }
    if (names.empty()) {
        names.push_back('#');
        names += std::to_string(data.number);
    }
    return names;
}

class Checker {
public:
    explicit Checker(const Database& db) : db_(db), pages_(db) {}

    std::vector<Finding> Run() {
        std::vector<TableDef> all;
        try {
            all = db_.Tables(true);
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, {}, {}, e.what());
            return std::move(findings_);
        }
        ReadFreePages();
        for (const TableDef& table : all) {
            CheckUsageMaps(table);
            CheckTable(table);
        }
        CheckUnclaimedPages(all);
        return std::move(findings_);
    }

private:
    // The other way round: a data or index page that names a table as its owner lies in one of
    // that table's maps.
    void CheckUnclaimedPages(const std::vector<TableDef>& all) {
        std::unordered_map<std::uint32_t, const TableDef*> byPage;
        for (const TableDef& t : all)
            byPage.emplace(t.defPage, &t);
        for (std::uint32_t p = 0; p < db_.PageCount(); ++p) {
            if (claimedBy_[p] != 0 || free_[p])
                continue;
            PageRef page;
            try {
                page = db_.ReadPage(p);
            } catch (const JetError& e) {
                Add(FindingKind::Damaged, {}, {}, e.what());
                return;
            }
            const std::uint8_t type = (*page)[0];
            if (type != PageType::Data && type != PageType::IndexNode &&
                type != PageType::IndexLeaf)
                continue;
            auto owner = byPage.find(Le32(*page, 4));
            if (owner != byPage.end())
                Add(FindingKind::UsageMap, owner->second->name, {},
                    "Page " + std::to_string(p) + ", a page of type " + std::to_string(type) +
                        " of the table, is neither free nor named by any of its usage maps.");
        }
    }

    // The database's own map of free pages; its bitmap pages are claimed like those of tables.
    void ReadFreePages() {
        free_.assign(db_.PageCount(), false);
        claimedBy_.assign(db_.PageCount(), 0);
        try {
            const UsageMap map = db_.FreePages();
            for (std::uint32_t p : map.pages)
                free_[p] = true;
            const std::uint32_t owner = NewOwner("the database's map of free pages");
            for (std::uint32_t p : map.mapPages)
                claimedBy_[p] = owner;
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, {}, {}, e.what());
        }
    }

    void Add(FindingKind kind, std::string table, std::string index, std::string text) {
        findings_.push_back({kind, std::move(table), std::move(index), std::move(text)});
    }

    struct IndexState {
        const IndexData* data = nullptr;
        std::string names;
        std::uint64_t entries = 0;  // in the leaf chain
        std::uint64_t expected = 0; // rows that the index must hold
        std::vector<bool> leaves;   // pages of the leaf chain
        bool broken = false;        // its tree can't be read: no further findings about it
        bool examine = false;       // something is off: look at every entry's row
    };

    // Rows against indexes, both ways. Each live row must be found, under the key of its values,
    // on a leaf of the chain; then, with entries in strict order and as many entries as indexed
    // rows, the entries are exactly those of the rows. Only where that fails is every entry's row
    // read, to say which entries are wrong.
    void CheckTable(const TableDef& table) {
        std::vector<IndexState> indexes;
        for (const IndexData& d : table.indexData) {
            IndexState& ix = indexes.emplace_back();
            ix.data = &d;
            ix.names = IndexNames(table, d);
            WalkEntries(table, ix);
            if (!ix.broken)
                CheckTree(table, ix);
        }

        std::uint64_t rows = 0;
        try {
            db_.ForEachRow(table, [&](RowId id, const std::vector<Value>& values) {
                ++rows;
                for (IndexState& ix : indexes)
                    CheckRowInIndex(table, ix, id, values);
            });
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, table.name, {}, e.what());
            return;
        }
        if (rows != table.rowCount)
            Add(FindingKind::RowCount, table.name, {},
                "The definition counts " + std::to_string(table.rowCount) + " rows; " +
                    std::to_string(rows) + " are live.");

        for (IndexState& ix : indexes) {
            if (ix.broken)
                continue;
            if (ix.entries != ix.expected) {
                Add(FindingKind::IndexCount, table.name, ix.names,
                    "The index holds " + std::to_string(ix.entries) + " entries for " +
                        std::to_string(ix.expected) + " rows.");
                ix.examine = true;
            }
            if (ix.examine)
                ExamineEntries(table, ix);
        }
    }

    // The leaf chain: each leaf pointing back to the one before it, entries in strict order, no
    // key twice in a unique index.
    void WalkEntries(const TableDef& table, IndexState& ix) {
        ix.leaves.assign(db_.PageCount(), false);
        const bool unique = ix.data->flags & IndexFlag::Unique;
        KeyBytes prevKey;
        RowId prevRow;
        std::uint32_t prevLeaf = 0;
        auto onLeaf = [&](const IndexPage& page, std::uint32_t leaf) {
            ix.leaves[leaf] = true;
            if (page.prev != prevLeaf)
                Add(FindingKind::IndexTree, table.name, ix.names,
                    "Leaf page " + std::to_string(leaf) + " names page " +
                        std::to_string(page.prev) + " as the one before it, but follows page " +
                        std::to_string(prevLeaf) + " in the chain.");
            prevLeaf = leaf;
        };
        auto onEntry = [&](const IndexEntry& e, std::uint32_t leaf) {
            if (ix.entries > 0) {
                if (CompareEntries(prevKey, prevRow, e.key, e.row) >= 0)
                    Add(FindingKind::IndexOrder, table.name, ix.names,
                        EntryText(e, leaf) + " doesn't follow the entry before it.");
                if (unique &&
                    std::equal(prevKey.begin(), prevKey.end(), e.key.begin(), e.key.end()) &&
                    !KeyHasNull(table, ix, prevRow) && !KeyHasNull(table, ix, e.row))
                    Add(FindingKind::IndexDuplicate, table.name, ix.names,
                        EntryText(e, leaf) + " repeats the key " + HexOf(prevKey) +
                            " in a unique index.");
            }
            ++ix.entries;
            prevKey.assign(e.key.begin(), e.key.end());
            prevRow = e.row;
        };
        try {
            ForEachIndexEntry(pages_, table, *ix.data, onEntry, onLeaf);
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, table.name, ix.names, e.what());
            ix.broken = true;
        }
    }

    // The intermediate pages: each entry is the last entry of the page it leads to, every page is
    // reached once, and every leaf so reached lies in the leaf chain.
    void CheckTree(const TableDef& table, IndexState& ix) {
        std::vector<bool> seen(db_.PageCount(), false);
        try {
            Descend(table, ix, ix.data->rootPage, seen, 0);
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, table.name, ix.names, e.what());
            ix.broken = true;
        }
    }

    // Returns the page, whose last entry its parent compares with its own entry; null when the
    // page is not to be looked at again.
    std::shared_ptr<const IndexPage> Descend(const TableDef& table, IndexState& ix,
                                             std::uint32_t number, std::vector<bool>& seen,
                                             int depth) {
        auto page = pages_.Get(table, number);
        const std::string where = "Index page " + std::to_string(number);
        if (seen[number] || depth > kMaxDepth) {
            Add(FindingKind::IndexTree, table.name, ix.names,
                where + (seen[number] ? " is reached twice from the root."
                                      : " lies deeper below the root than any index grows."));
            return nullptr;
        }
        seen[number] = true;
        const auto& used = ix.data->usedPages.pages;
        if (!std::binary_search(used.begin(), used.end(), number))
            Add(FindingKind::UsageMap, table.name, ix.names,
                where + " is part of the index but not named by the index's usage map.");
        if (page->type == PageType::IndexLeaf) {
            if (!page->entries.empty() && !ix.leaves[number])
                Add(FindingKind::IndexTree, table.name, ix.names,
                    where + " is a leaf below the root but not in the chain of leaves.");
            return page;
        }
        if (page->tail != 0 && (page->tail >= ix.leaves.size() || !ix.leaves[page->tail]))
            Add(FindingKind::IndexTree, table.name, ix.names,
                where + " names page " + std::to_string(page->tail) +
                    " as its tail leaf, which isn't in the chain of leaves.");
        for (const IndexEntry& e : page->entries) {
            const auto child = Descend(table, ix, e.child, seen, depth + 1);
            if (!child)
                continue;
            const bool agrees = !child->entries.empty() &&
                                CompareEntries(child->entries.back().key, child->entries.back().row,
                                               e.key, e.row) == 0;
            if (!agrees)
                Add(FindingKind::IndexTree, table.name, ix.names,
                    where + " names page " + std::to_string(e.child) + " under the entry for row " +
                        RowText(e.row) + ", which isn't that page's last entry.");
        }
        return page;
    }
    static constexpr int kMaxDepth = 32;

    // Whether the row at `id` has NULL in a key column (such rows may repeat in a unique index);
    // a row that can't be read counts as one, its entry being reported otherwise.
    bool KeyHasNull(const TableDef& table, const IndexState& ix, RowId id) {
        const auto values = ReadRowOrNothing(table, id);
        return !values || NullKeyColumns(table, *ix.data, *values) > 0;
    }

    std::optional<std::vector<Value>> ReadRowOrNothing(const TableDef& table, RowId id) {
        try {
            return db_.ReadRow(table, id);
        } catch (const JetError&) {
            return std::nullopt;
        }
    }

    static std::string EntryText(const IndexEntry& e, std::uint32_t leaf) {
        return "The entry for row " + RowText(e.row) + " on index page " + std::to_string(leaf);
    }

    void CheckRowInIndex(const TableDef& table, IndexState& ix, RowId id,
                         const std::vector<Value>& values) {
        if (ix.broken)
            return;
        if ((ix.data->flags & IndexFlag::IgnoreNulls) &&
            NullKeyColumns(table, *ix.data, values) == ix.data->columns.size())
            return;
        ++ix.expected;
        KeyResult key = ComputeKey(table, *ix.data, values, db_.GetVersion());
        if (!key.Ok()) {
            Add(FindingKind::Unencodable, table.name, ix.names,
                "The key of row " + RowText(id) + " can't be computed: " + key.unencodable + ".");
            ix.examine = true;
            return;
        }
        try {
            const std::uint32_t leaf = FindIndexEntry(pages_, table, *ix.data, key.bytes, id);
            if (leaf == 0 || !ix.leaves[leaf]) {
                Add(FindingKind::IndexMissing, table.name, ix.names,
                    "Row " + RowText(id) + " isn't found under its key " + HexOf(key.bytes) + ".");
                ix.examine = true;
            }
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, table.name, ix.names, e.what());
            ix.broken = true;
        }
    }

    // Every entry's row: live, and with the entry's key.
    void ExamineEntries(const TableDef& table, IndexState& ix) {
        try {
            ForEachIndexEntry(
                pages_, table, *ix.data, [&](const IndexEntry& e, std::uint32_t leaf) {
                    const auto values = ReadRowOrNothing(table, e.row);
                    if (!values) {
                        Add(FindingKind::IndexDangling, table.name, ix.names,
                            EntryText(e, leaf) + " points to no live row.");
                        return;
                    }
                    KeyResult key = ComputeKey(table, *ix.data, *values, db_.GetVersion());
                    if (key.Ok() &&
                        !std::equal(key.bytes.begin(), key.bytes.end(), e.key.begin(), e.key.end()))
                        Add(FindingKind::IndexKey, table.name, ix.names,
                            EntryText(e, leaf) + " has key " + HexOf(e.key) + "; its values give " +
                                HexOf(key.bytes) + ".");
                });
        } catch (const JetError& e) {
            Add(FindingKind::Damaged, table.name, ix.names, e.what());
        }
    }

    // Each page a usage map names must be of the kind it stands for and belong to the table;
    // no page may be claimed by two maps.
    void CheckUsageMaps(const TableDef& table) {
        Claim(table, table.ownedPages, "its data pages", PageType::Data);
        ClaimMapPages(table, table.freeSpacePages, "its pages with free space");
        for (std::uint32_t p : table.freeSpacePages.pages)
            if (!std::binary_search(table.ownedPages.pages.begin(), table.ownedPages.pages.end(),
                                    p))
                Add(FindingKind::UsageMap, table.name, {},
                    "Page " + std::to_string(p) +
                        " is marked as having free space but isn't "
                        "owned by the table.");
        for (const IndexData& d : table.indexData)
            Claim(table, d.usedPages, "index " + IndexNames(table, d), PageType::IndexLeaf);
    }

    // A map's own bitmap pages (of a reference map), claimed like any other page; and no page
    // past the end of the file.
    void ClaimMapPages(const TableDef& table, const UsageMap& map, const std::string& what) {
        const std::uint32_t owner = NewOwner("table " + table.name + " (the map of " + what + ")");
        for (std::uint32_t p : map.mapPages)
            ClaimOnce(table, p, owner);
        if (map.pagesBeyondEnd > 0)
            Add(FindingKind::UsageMap, table.name, {},
                "The usage map of " + what + " names " + std::to_string(map.pagesBeyondEnd) +
                    " pages past the end of the file.");
    }

    // Owners of pages are kept by number, one word per page of the file.
    std::uint32_t NewOwner(std::string name) {
        owners_.push_back(std::move(name));
        return static_cast<std::uint32_t>(owners_.size());
    }

    bool ClaimOnce(const TableDef& table, std::uint32_t p, std::uint32_t owner) {
        if (claimedBy_[p] != 0) {
            Add(FindingKind::PageOwnedTwice, table.name, {},
                "Page " + std::to_string(p) + " is claimed by " + owners_[claimedBy_[p] - 1] +
                    " and by " + owners_[owner - 1] + ".");
            return false;
        }
        claimedBy_[p] = owner;
        return true;
    }

    void Claim(const TableDef& table, const UsageMap& map, const std::string& what,
               std::uint8_t type) {
        ClaimMapPages(table, map, what);
        const std::string owner = "table " + table.name + " (" + what + ")";
        const std::uint32_t ownerNumber = NewOwner(owner);
        for (std::uint32_t p : map.pages) {
            if (!ClaimOnce(table, p, ownerNumber))
                continue;
            if (free_[p])
                Add(FindingKind::UsageMap, table.name, {},
                    "The usage map of " + owner + " names page " + std::to_string(p) +
                        ", which the database lists as free.");
            PageRef page;
            try {
                page = db_.ReadPage(p);
            } catch (const JetError& e) {
                Add(FindingKind::UsageMap, table.name, {},
                    "The usage map of " + owner + " names page " + std::to_string(p) +
                        ", which can't be read: " + e.what());
                continue;
            }
            const auto& b = *page;
            std::uint8_t actual = b[0];
            bool typeOk = type == PageType::IndexLeaf
                              ? actual == PageType::IndexLeaf || actual == PageType::IndexNode
                              : actual == type;
            const std::uint32_t pageOwner = Le32(b, 4);
            if (!typeOk || pageOwner != table.defPage)
                Add(FindingKind::UsageMap, table.name, {},
                    "The usage map of " + owner + " names page " + std::to_string(p) +
                        ", a page of type " + std::to_string(actual) + " of definition " +
                        std::to_string(pageOwner) + ".");
        }
    }

    const Database& db_;
    IndexPages pages_;
    std::vector<std::uint32_t> claimedBy_; // per page: 0, or the number of its owner
    std::vector<std::string> owners_;
    std::vector<bool> free_;
    std::vector<Finding> findings_;
};

} // namespace

const char* KindName(FindingKind kind) {
    static constexpr const char* kNames[] = {
        "damaged",        "row-count",   "index-order",   "index-tree",
        "index-dangling", "index-key",   "index-missing", "index-duplicate",
        "index-count",    "unencodable", "usage-map",     "page-owned-twice",
    };
    return kNames[static_cast<std::size_t>(kind)];
}

std::string Finding::ToString() const {
    std::string s = KindName(kind);
    if (!table.empty())
        s += "\t" + table;
    if (!index.empty())
        s += "\t" + index;
    return s + "\t" + text;
}

std::vector<Finding> Check(const Database& db) {
    return Checker(db).Run();
}

} // namespace kw::jet
