#include "db/jet/Writer.h"

#include "db/jet/DataPage.h"
#include "db/jet/IndexTree.h"
#include "db/jet/IndexWriter.h"
#include "db/jet/JetFormat.h"
#include "db/jet/Pager.h"
#include "db/jet/RowFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <numeric>
#include <tuple>
#include <utility>

namespace kw::jet {

namespace {

using Row = std::vector<Value>;

// The global usage map, which marks the pages that are free for any use.
constexpr std::uint32_t kGlobalMap = (1u << 8) | 0u;

// The pages as the open transaction sees them, for the reader.
class PagerView final : public PageFile {
public:
    explicit PagerView(Pager& pager) : pager_(pager) {}
    std::uint64_t Size() const override {
        return std::uint64_t{pager_.PageCount()} * pager_.PageSize();
    }
    PageRef HeldPage(std::uint32_t number, std::size_t) const override {
        return pager_.Read(number);
    }
    void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        const std::size_t size = pager_.PageSize();
        for (std::size_t done = 0; done < out.size();) {
            const std::uint64_t at = offset + done;
            const PageRef page = pager_.Read(static_cast<std::uint32_t>(at / size));
            const std::size_t within = at % size;
            const std::size_t take = std::min(out.size() - done, size - within);
            std::memcpy(out.data() + done, page->data() + within, take);
            done += take;
        }
    }

private:
    Pager& pager_;
};

bool IsWhole(std::uint8_t type) {
    return type == Type::Byte || type == Type::Integer || type == Type::Long;
}

bool Holds(std::int64_t value, const Comparison& c) {
    switch (c.op) {
    case Comparison::Op::Equal:
        return value == c.value;
    case Comparison::Op::NotEqual:
        return value != c.value;
    case Comparison::Op::Less:
        return value < c.value;
    case Comparison::Op::Greater:
        return value > c.value;
    case Comparison::Op::LessEqual:
        return value <= c.value;
    case Comparison::Op::GreaterEqual:
        return value >= c.value;
    }
    return false;
}

std::size_t ColumnIndex(const TableDef& table, std::string_view name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (SameName(table.columns[i].name, name))
            return i;
    throw JetError("Table \"" + table.name + "\" has no column \"" + std::string(name) + "\".");
}

// A condition with its columns found: (column index, comparison).
using Resolved = std::vector<std::pair<std::size_t, Comparison>>;

Resolved Resolve(const TableDef& table, const Condition& where) {
    Resolved out;
    for (const Comparison& c : where) {
        const std::size_t i = ColumnIndex(table, c.column);
        if (!IsWhole(table.columns[i].type))
            throw JetError("Column \"" + table.columns[i].name + "\" of table \"" + table.name +
                           "\" is not a whole-number column and can't be compared with " +
                           std::to_string(c.value) + ".");
        out.emplace_back(i, c);
    }
    return out;
}

bool Selects(const Resolved& where, const std::vector<Value>& row) {
    return std::all_of(where.begin(), where.end(), [&](const auto& w) {
        const auto* v = std::get_if<std::int64_t>(&row[w.first]);
        return v != nullptr && Holds(*v, w.second);
    });
}

// The entries of one index in index order, kept in memory between the reading of the index and
// its writing at a commit. Their keys lie end to end in one buffer and the entries are plain
// values, so that reading an index allocates nothing per entry. The entries lie in runs of at
// most 2 * kRun, each in order and none empty: an insert or a removal moves the entries of one
// run only, where one array of them all made each insert cost the size of the index. The keys
// of removed entries stay in the buffer until the entries are forgotten.
class IndexEntries {
public:
    struct Entry {
        std::uint32_t at, size; // in keys_
        RowId row;
    };
    using Run = std::vector<Entry>;

    class Iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = const Entry*;
        using reference = const Entry&;

        Iterator() = default;
        const Entry& operator*() const { return (*runs_)[run_][at_]; }
        const Entry* operator->() const { return &**this; }
        Iterator& operator++() {
            if (++at_ == (*runs_)[run_].size()) {
                ++run_;
                at_ = 0;
            }
            return *this;
        }
        Iterator& operator--() {
            if (at_ == 0)
                at_ = (*runs_)[--run_].size();
            --at_;
            return *this;
        }
        Iterator operator++(int) { return std::exchange(*this, std::next(*this)); }
        Iterator operator--(int) { return std::exchange(*this, std::prev(*this)); }
        bool operator==(const Iterator& o) const { return run_ == o.run_ && at_ == o.at_; }

    private:
        friend class IndexEntries;
        Iterator(const std::vector<Run>* runs, std::size_t run, std::size_t at)
            : runs_(runs), run_(run), at_(at) {}
        const std::vector<Run>* runs_ = nullptr;
        std::size_t run_ = 0, at_ = 0; // the end is {runs_->size(), 0}
    };

    std::span<const std::uint8_t> Key(const Entry& e) const {
        return {keys_.data() + e.at, e.size};
    }
    Iterator begin() const { return {&runs_, 0, 0}; }
    Iterator end() const { return {&runs_, runs_.size(), 0}; }
    std::size_t size() const { return size_; }

    /// The first entry not below (key, row).
    Iterator LowerBound(std::span<const std::uint8_t> key, RowId row) const {
        const auto below = [&](const Entry& e) {
            return CompareEntries(Key(e), e.row, key, row) < 0;
        };
        const auto run = std::partition_point(runs_.begin(), runs_.end(),
                                              [&](const Run& r) { return below(r.back()); });
        if (run == runs_.end())
            return end();
        return {&runs_, static_cast<std::size_t>(run - runs_.begin()),
                static_cast<std::size_t>(std::partition_point(run->begin(), run->end(), below) -
                                         run->begin())};
    }
    void Insert(Iterator at, std::span<const std::uint8_t> key, RowId row) {
        const Entry e{static_cast<std::uint32_t>(keys_.size()),
                      static_cast<std::uint32_t>(key.size()), row};
        keys_.insert(keys_.end(), key.begin(), key.end());
        ++size_;
        if (runs_.empty()) {
            runs_.push_back({e});
            return;
        }
        if (at == end())
            at = {&runs_, runs_.size() - 1, runs_.back().size()};
        Run& run = runs_[at.run_];
        run.insert(run.begin() + static_cast<std::ptrdiff_t>(at.at_), e);
        if (run.size() > 2 * kRun) {
            Run second(run.begin() + kRun, run.end());
            run.resize(kRun);
            runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(at.run_) + 1,
                         std::move(second));
        }
    }
    void Append(std::span<const std::uint8_t> key, RowId row) { Insert(end(), key, row); }
    void Erase(Iterator at) {
        Run& run = runs_[at.run_];
        run.erase(run.begin() + static_cast<std::ptrdiff_t>(at.at_));
        if (run.empty())
            runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(at.run_));
        --size_;
    }
    void Sort() {
        Run all;
        all.reserve(size_);
        for (Run& run : runs_)
            all.insert(all.end(), run.begin(), run.end());
        std::sort(all.begin(), all.end(), [&](const Entry& a, const Entry& b) {
            return CompareEntries(Key(a), a.row, Key(b), b.row) < 0;
        });
        runs_.clear();
        for (std::size_t i = 0; i < all.size(); i += kRun)
            runs_.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(i),
                               all.begin() +
                                   static_cast<std::ptrdiff_t>(std::min(i + kRun, all.size())));
    }

private:
    static constexpr std::size_t kRun = 1024;
    std::vector<std::uint8_t> keys_;
    std::vector<Run> runs_;
    std::size_t size_ = 0;
};

// Text in Windows-1252, as Jet 3 keeps names and text; nullopt when a character has no byte there.
std::optional<std::string> ToWindows1252(std::string_view utf8) {
    std::string out;
    for (const char16_t ch : Utf8ToUtf16(utf8)) {
        int byte = 1;
        while (byte < 256 && Windows1252ToUnicode(static_cast<std::uint8_t>(byte)) != ch)
            ++byte;
        if (byte == 256 || ch == 0xFFFD)
            return std::nullopt;
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

// The stored bytes of a table's, column's or index's name, refused where Access would refuse it:
// empty, over 64 characters, outside Windows-1252, starting with a space, or holding a control
// character or one of . ! ` [ ].
std::string ObjectName(std::string_view table, std::string_view name, const char* what) {
    const auto refuse = [&](const std::string& why) {
        throw JetError("Table \"" + std::string(table) + "\" can't be created: the " + what +
                       " name \"" + std::string(name) + "\" " + why + ". Nothing was changed.");
    };
    const std::optional<std::string> bytes = ToWindows1252(name);
    if (!bytes)
        refuse("has a character that Windows-1252 doesn't have");
    if (bytes->empty())
        refuse("is empty");
    if (bytes->size() > 64)
        refuse("is longer than the 64 characters Access allows");
    if (bytes->front() == ' ')
        refuse("starts with a space");
    for (const char c : *bytes)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr(".!`[]", c) != nullptr)
            refuse("holds a character that Access doesn't allow in names");
    return *bytes;
}

// Now as an OLE date, as the catalogue dates its entries.
DateTime Now() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return DateTime{25569.0 + seconds / 86400.0};
}

} // namespace

struct Writer::Impl {
    std::string password;
    std::unique_ptr<Pager> pager;
    Format format;
    // Reads through the pager, so it sees the open transaction and keeps no page of its own; its
    // catalogue is read once, and again (a new reader) after a table is made or a password set.
    std::unique_ptr<Database> reader;

    Database& Read() {
        if (!reader)
            reader = Database::Open(std::make_unique<PagerView>(*pager), password);
        return *reader;
    }

    // The definitions that statements have used, by name in lower case, kept across statements:
    // reading a definition and its usage maps again for each statement cost more than the
    // statement. The row count is kept as it is written; a definition one of whose usage maps
    // changed (a page added or given back) is read again when next asked for, and all are
    // forgotten when changes are undone.
    struct CachedTable {
        TableDef def;
        bool stale = false;
    };
    std::map<std::string, CachedTable> tables;

    const TableDef& Table(std::string_view name, bool system = false) {
        std::string key(name);
        std::transform(key.begin(), key.end(), key.begin(), AsciiLower);
        auto it = tables.find(key);
        if (it == tables.end() || it->second.stale) {
            std::optional<TableDef> table = Read().FindTable(name);
            if (!table || (table->system && !system))
                throw JetError("The database has no table \"" + std::string(name) + "\".");
            it = tables.insert_or_assign(std::move(key), CachedTable{std::move(*table)}).first;
        }
        return it->second.def;
    }

    // The cached definitions whose usage map lies at `pointer` are read again when next used.
    void MapChanged(std::uint32_t pointer) {
        for (auto& [name, cached] : tables) {
            const TableDef& t = cached.def;
            cached.stale =
                cached.stale || MapPointer(t.ownedPages) == pointer ||
                MapPointer(t.freeSpacePages) == pointer ||
                std::any_of(t.indexData.begin(), t.indexData.end(),
                            [&](const IndexData& x) { return x.usedPagesPointer == pointer; });
        }
    }

    // Forgets what the writer keeps of the database beside its pages, when changes are undone.
    void ForgetKept() {
        tables.clear();
        indexEntries.clear();
        if (catalogueChanged)
            reader.reset();
    }

    // The reader keeps the catalogue it read once: since a table was made in the open
    // transaction, undoing changes may take it away again, and the reader is opened anew (when
    // next used) to read the catalogue as it then is.
    bool catalogueChanged = false;

    void RefuseUnkept(const TableDef& table) const {
        for (const LogicalIndex& x : table.indexes)
            if (x.kind == IndexKind::ForeignKey)
                throw JetError("Table \"" + table.name + "\" takes part in a relationship (\"" +
                               x.name +
                               "\") whose rules Access enforces and this writer doesn't; the "
                               "table is left unchanged.");
        for (const Column& c : table.columns)
            if (c.flags & (ColumnFlag::AutoNumber | ColumnFlag::AutoGuid))
                throw JetError("Table \"" + table.name + "\" has an AutoNumber column (\"" +
                               c.name +
                               "\"), whose counter this writer doesn't keep; the table is left "
                               "unchanged.");
    }

    // Runs one statement: by itself in a transaction of its own, or inside the open one, undone
    // alone when it fails.
    template <class F> int Statement(F&& change) {
        const bool own = !pager->InTransaction();
        if (own)
            pager->Begin();
        Pager::Savepoint mark = pager->Mark();
        try {
            const int count = change();
            pager->Release(mark);
            if (own)
                CommitWithIndexes();
            return count;
        } catch (...) {
            ForgetKept();
            if (own) {
                unwrittenIndexes.clear();
                pager->Rollback();
            } else {
                pager->RollbackTo(mark);
            }
            throw;
        }
    }

    // Index pages are written once per transaction, at its commit, from the entries that the
    // statements kept in order: rewriting them after every statement made an update of a few
    // hundred rows cost as many whole B-trees. Nothing reads index pages inside a transaction;
    // the entries answer the unique checks. A failure undoes the transaction.
    void CommitWithIndexes() {
        try {
            for (const auto& [defPage, name] : unwrittenIndexes)
                WriteIndexes(Table(name, true));
            unwrittenIndexes.clear();
            pager->Commit();
            catalogueChanged = false;
        } catch (...) {
            ForgetKept();
            unwrittenIndexes.clear();
            if (pager->InTransaction())
                pager->Rollback();
            throw;
        }
    }

    // Sets page `page` in the usage map whose row `pointer` names. A map that has no room for it
    // moves its window (inline maps) or gains a map page (reference maps); the global map, for
    // which pages outside it count as free (`outsideIsSet`), becomes a reference map.
    void SetInMap(std::uint32_t pointer, std::uint32_t page, bool set, bool outsideIsSet) {
        MapChanged(pointer);
        const Format& f = format;
        const std::uint32_t mapPage = pointer >> 8;
        const auto mapRow = static_cast<std::uint16_t>(pointer & 0xFF);
        const RowSlotBytes where = RowBytesOnPage(*pager->Read(mapPage), f, mapRow);
        const std::size_t length = where.end - where.start;
        if (length < 5)
            Damaged("a usage map row is too short");
        const std::uint8_t kind = (*pager->Read(mapPage))[where.start];
        const auto refuse = [&](const std::string& why) {
            throw JetError("A usage map of the database can't record page " + std::to_string(page) +
                           ": " + why + ". Nothing was changed.");
        };
        if (kind == 0) {
            const std::uint32_t first = Le32(*pager->Read(mapPage), where.start + 1);
            const std::size_t bits = (length - 5) * 8;
            if (page >= first && page - first < bits) {
                std::span<std::uint8_t> row = pager->Change(mapPage).subspan(where.start, length);
                const std::size_t bit = page - first;
                if (set)
                    row[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
                else
                    row[5 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
                return;
            }
            if (set == outsideIsSet)
                return;
            if (outsideIsSet)
                PromoteGlobalMap(mapPage, where, page);
            else
                MoveInlineMap(mapPage, where, page);
            return;
        }
        if (kind != 1)
            Damaged("a usage map has an unknown kind");
        const std::size_t perPage = (f.pageSize - 4) * 8;
        const std::size_t index = page / perPage;
        if (1 + 4 * (index + 1) > length)
            refuse("it lies beyond the pages the map can name");
        std::uint32_t bitsPage = Le32(*pager->Read(mapPage), where.start + 1 + 4 * index);
        if (bitsPage == 0) {
            if (set == outsideIsSet)
                return;
            if (outsideIsSet)
                refuse("the global map has no page for it");
            bitsPage = NewMapPage();
            Put32(pager->Change(mapPage), where.start + 1 + 4 * index, bitsPage);
        }
        std::span<std::uint8_t> bitsBytes = pager->Change(bitsPage);
        if (bitsBytes[0] != PageType::UsageMap)
            Damaged("usage map page " + std::to_string(bitsPage) + " has the wrong type");
        const std::size_t bit = page % perPage;
        if (set)
            bitsBytes[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        else
            bitsBytes[4 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
    }

    // An inline map whose window doesn't reach `page`: the window moves when its pages and the
    // new one fit in it, else the map becomes a reference map with a map page of its own.
    void MoveInlineMap(std::uint32_t mapPage, const RowSlotBytes& where, std::uint32_t page) {
        const std::size_t length = where.end - where.start;
        const std::size_t bits = (length - 5) * 8;
        std::vector<std::uint32_t> pages{page};
        {
            const PageRef bytes = pager->Read(mapPage);
            const std::uint32_t first = Le32(*bytes, where.start + 1);
            for (std::size_t bit = 0; bit < bits; ++bit)
                if (((*bytes)[where.start + 5 + bit / 8] >> (bit % 8)) & 1)
                    pages.push_back(first + static_cast<std::uint32_t>(bit));
        }
        const auto [low, high] = std::minmax_element(pages.begin(), pages.end());
        const std::uint32_t start = *low - *low % 8;
        if (*high - start < bits) {
            std::span<std::uint8_t> row = pager->Change(mapPage).subspan(where.start, length);
            std::fill(row.begin() + 1, row.end(), 0);
            Put32(row, 1, start);
            for (std::uint32_t p : pages)
                row[5 + (p - start) / 8] |= static_cast<std::uint8_t>(1u << ((p - start) % 8));
            return;
        }
        const std::size_t perPage = (format.pageSize - 4) * 8;
        if (*high >= perPage)
            throw JetError("A usage map of the database can't record page " + std::to_string(page) +
                           ". Nothing was changed.");
        const std::uint32_t bitsPage = NewMapPage();
        std::span<std::uint8_t> bitsBytes = pager->Change(bitsPage);
        for (std::uint32_t p : pages)
            bitsBytes[4 + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
        std::span<std::uint8_t> row = pager->Change(mapPage).subspan(where.start, length);
        std::fill(row.begin(), row.end(), 0);
        row[0] = 1;
        Put32(row, 1, bitsPage);
    }

    // The global map is inline and the file has grown past its window (512 pages in Jet 4, 1,024
    // in Jet 3): it becomes a reference map, whose first map page covers the pages from 0 on, as
    // the format provides for larger files. The pages of the window keep their bits; pages beyond
    // the end of the file are free, as in the inline maps Access writes; any other page is taken
    // to be in use (a page wrongly taken as in use is only lost, never overwritten). The map page
    // comes from the end of the file itself, since taking it through the global map would need
    // the map being made.
    void PromoteGlobalMap(std::uint32_t mapPage, const RowSlotBytes& where, std::uint32_t page) {
        const std::size_t length = where.end - where.start;
        const std::size_t perPage = (format.pageSize - 4) * 8;
        std::vector<std::uint8_t> old;
        {
            const PageRef bytes = pager->Read(mapPage);
            old.assign(bytes->begin() + static_cast<std::ptrdiff_t>(where.start),
                       bytes->begin() + static_cast<std::ptrdiff_t>(where.end));
        }
        if (std::size_t{pager->PageCount()} + 1 > perPage)
            throw JetError("The database's map of free pages can't record page " +
                           std::to_string(page) + ". Nothing was changed.");
        const std::uint32_t first = Le32(old, 1);
        const std::size_t bits = (length - 5) * 8;
        const std::uint32_t bitsPage = pager->Grow();
        std::span<std::uint8_t> bitsBytes = pager->Change(bitsPage);
        std::fill(bitsBytes.begin(), bitsBytes.end(), 0);
        bitsBytes[0] = PageType::UsageMap;
        bitsBytes[1] = 0x01;
        for (std::size_t p = 0; p < perPage; ++p) {
            const bool free = p >= first && p - first < bits
                                  ? ((old[5 + (p - first) / 8] >> ((p - first) % 8)) & 1) != 0
                                  : p >= pager->PageCount();
            if (free)
                bitsBytes[4 + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
        }
        for (const std::uint32_t used : {page, bitsPage})
            bitsBytes[4 + used / 8] &= static_cast<std::uint8_t>(~(1u << (used % 8)));
        std::span<std::uint8_t> row = pager->Change(mapPage).subspan(where.start, length);
        std::fill(row.begin(), row.end(), 0);
        row[0] = 1;
        Put32(row, 1, bitsPage);
    }

    // A new page, taken out of the global map's free pages: the first free page within the file
    // (given back by a table or index before), cleared; else one at the end of the file.
    std::uint32_t NewPage() {
        std::uint32_t page = FreePageInFile();
        if (page == 0) {
            page = pager->Grow();
        } else {
            std::span<std::uint8_t> bytes = pager->Change(page);
            std::fill(bytes.begin(), bytes.end(), 0);
        }
        SetInMap(kGlobalMap, page, false, true);
        return page;
    }

    // The first page past the database's own (0 and 1) that the global map marks free and that
    // lies within the file; 0 when there is none.
    std::uint32_t FreePageInFile() const {
        const std::uint32_t count = pager->PageCount();
        const auto first = [&](std::span<const std::uint8_t> bits, std::uint64_t base) {
            for (std::size_t i = 0; i < bits.size() && base + i * 8 < count; ++i)
                for (int b = 0; b < 8 && bits[i] != 0; ++b) {
                    const std::uint64_t p = base + i * 8 + static_cast<unsigned>(b);
                    if (((bits[i] >> b) & 1) && p > 1 && p < count)
                        return static_cast<std::uint32_t>(p);
                }
            return std::uint32_t{0};
        };
        const std::uint32_t mapPage = kGlobalMap >> 8;
        const PageRef bytes = pager->Read(mapPage);
        const RowSlotBytes where = RowBytesOnPage(*bytes, format, kGlobalMap & 0xFF);
        const std::span<const std::uint8_t> row =
            std::span<const std::uint8_t>(*bytes).subspan(where.start, where.end - where.start);
        if (row.size() < 5)
            Damaged("a usage map row is too short");
        if (row[0] == 0)
            return first(row.subspan(5), Le32(row, 1));
        const std::size_t perPage = (format.pageSize - 4) * 8;
        for (std::size_t i = 0; 1 + 4 * (i + 1) <= row.size(); ++i) {
            const std::uint32_t bitsPage = Le32(row, 1 + 4 * i);
            if (bitsPage == 0 || bitsPage >= count)
                continue;
            const PageRef bits = pager->Read(bitsPage);
            if (const std::uint32_t p =
                    first(std::span<const std::uint8_t>(*bits).subspan(4), i * perPage))
                return p;
        }
        return 0;
    }

    std::uint32_t NewMapPage() {
        const std::uint32_t page = NewPage();
        std::span<std::uint8_t> bytes = pager->Change(page);
        bytes[0] = PageType::UsageMap;
        bytes[1] = 0x01;
        return page;
    }

    std::uint32_t MapPointer(const UsageMap& map) const { return (map.page << 8) | map.row; }

    void SetRowCount(const TableDef& table, std::int64_t count) {
        const auto stored = static_cast<std::uint32_t>(std::max<std::int64_t>(count, 0));
        Put32(pager->Change(table.defPage), format.tdefRowCount, stored);
        for (auto& [name, cached] : tables)
            if (cached.def.defPage == table.defPage)
                cached.def.rowCount = stored;
    }

    std::string IndexName(const TableDef& table, const IndexData& x) const {
        for (const LogicalIndex& l : table.indexes)
            if (l.dataNumber == x.number)
                return l.name;
        return std::to_string(x.number);
    }

    // The key of `row` in index `x`, or nullopt for a row the index leaves out (all NULL where
    // NULLs are ignored). Raises JetError for a value that has no known key.
    std::optional<KeyBytes> KeyOf(const TableDef& table, const IndexData& x, const Row& row) const {
        if ((x.flags & IndexFlag::Required) && (NullKeyColumns(table, x, row) > 0))
            throw JetError("Index \"" + IndexName(table, x) + "\" of table \"" + table.name +
                           "\" requires a value in each of its columns. Nothing was changed.");
        if ((x.flags & IndexFlag::IgnoreNulls) &&
            (NullKeyColumns(table, x, row) == x.columns.size()))
            return std::nullopt;
        KeyResult key = ComputeKey(table, x, row, format.version);
        if (!key.Ok())
            throw JetError("A value for index \"" + IndexName(table, x) + "\" of table \"" +
                           table.name + "\" can't be put into the index: " + key.unencodable +
                           ". Nothing was changed.");
        return std::move(key.bytes);
    }

    // The entries of each index of a table. Read once, then changed entry by entry; forgotten
    // whenever changes are undone.
    std::map<std::uint32_t, std::vector<IndexEntries>> indexEntries; // by definition page
    // Tables whose index pages lag behind their entries, by definition page, with their names.
    std::map<std::uint32_t, std::string> unwrittenIndexes;

    std::vector<IndexEntries>& Entries(const TableDef& table) {
        auto it = indexEntries.find(table.defPage);
        if (it != indexEntries.end())
            return it->second;
        std::vector<IndexEntries> all(table.indexData.size());
        const bool written = !unwrittenIndexes.contains(table.defPage) &&
                             std::all_of(table.indexData.begin(), table.indexData.end(),
                                         [](const IndexData& x) { return x.rootPage != 0; });
        if (written) {
            // The index pages hold the entries in order: reading their leaves costs a fraction
            // of reading every row and computing and sorting its keys.
            IndexPages pages(Read());
            for (std::size_t i = 0; i < all.size(); ++i)
                ForEachIndexEntry(
                    pages, table, table.indexData[i],
                    [&](const IndexEntry& e, std::uint32_t) { all[i].Append(e.key, e.row); });
        } else {
            // A failed statement has undone its changes to the entries by forgetting them all,
            // while the index pages still lack those of the transaction's earlier statements.
            Read().ForEachRow(table, [&](RowId id, const Row& row) {
                for (std::size_t i = 0; i < all.size(); ++i)
                    if (std::optional<KeyBytes> key = KeyOf(table, table.indexData[i], row))
                        all[i].Append(*key, id);
            });
            for (IndexEntries& entries : all)
                entries.Sort();
        }
        return indexEntries.emplace(table.defPage, std::move(all)).first->second;
    }

    // The entries of index `i` whose first key part lies within the bounds that `condition` sets
    // on the index's first column, or nullopt when it sets none. A whole-number key part has a
    // fixed length and sorts as the value (against it when the column is descending), so the
    // entries form one run.
    struct Range {
        IndexEntries::Iterator begin, end;
    };
    std::optional<Range> Bounded(const TableDef& table, std::size_t i, const Resolved& condition) {
        const IndexColumn& first = table.indexData[i].columns.front();
        const Column* column = table.ColumnByNumber(first.columnNumber);
        if (!column || !IsWhole(column->type))
            return std::nullopt;
        const std::int64_t widest = column->type == Type::Byte      ? 0xFF
                                    : column->type == Type::Integer ? 0x7FFF
                                                                    : 0x7FFFFFFF;
        std::int64_t low = column->type == Type::Byte ? 0 : -widest - 1, high = widest;
        bool bounded = false;
        for (const auto& [c, w] : condition) {
            if (table.columns[c].number != first.columnNumber)
                continue;
            using enum Comparison::Op;
            const std::int64_t v = w.value;
            bounded = bounded || w.op != NotEqual;
            if (w.op == Equal || w.op == GreaterEqual || w.op == Greater)
                low = std::max(low, w.op != Greater ? v : v >= high ? high + 1 : v + 1);
            if (w.op == Equal || w.op == LessEqual || w.op == Less)
                high = std::min(high, w.op != Less ? v : v <= low ? low - 1 : v - 1);
        }
        if (!bounded)
            return std::nullopt;
        const IndexEntries& entries = Entries(table)[i];
        if (low > high)
            return Range{entries.end(), entries.end()};
        KeyBytes from, to;
        std::string why;
        if (!AppendColumnKey(from, Value{low}, *column, first.ascending, format.version, why) ||
            !AppendColumnKey(to, Value{high}, *column, first.ascending, format.version, why))
            return std::nullopt;
        if (!first.ascending)
            std::swap(from, to);
        // Past the last key that starts with `to`: `to` with its last byte below 0xFF raised.
        while (!to.empty() && to.back() == 0xFF)
            to.pop_back();
        if (!to.empty())
            ++to.back();
        return Range{entries.LowerBound(from, {}),
                     to.empty() ? entries.end() : entries.LowerBound(to, {})};
    }

    // An index whose first column `condition` bounds (with "=" and a second column numbered
    // `next`, when `next` is given), and its entries within the bounds.
    std::optional<std::pair<std::size_t, Range>>
    BoundedIndex(const TableDef& table, const Resolved& condition,
                 std::optional<std::uint16_t> next = std::nullopt) {
        for (std::size_t i = 0; i < table.indexData.size(); ++i) {
            const IndexData& x = table.indexData[i];
            if (x.columns.empty())
                continue;
            if (next && (x.columns.size() < 2 || x.columns[1].columnNumber != *next ||
                         std::none_of(condition.begin(), condition.end(), [&](const auto& w) {
                             return w.second.op == Comparison::Op::Equal &&
                                    table.columns[w.first].number == x.columns.front().columnNumber;
                         })))
                continue;
            if (const auto range = Bounded(table, i, condition))
                return std::pair{i, *range};
        }
        return std::nullopt;
    }

    // Calls `f` for each row that `condition` selects. Where it bounds the first column of an
    // index, only the rows of that index's entries within the bounds are read (each row is still
    // tested against the whole condition); otherwise every row of the table.
    void ForEachSelected(const TableDef& table, const Resolved& condition, const RowCallback& f) {
        if (const auto found = BoundedIndex(table, condition)) {
            // Collected first: `f` may change the entries.
            std::vector<RowId> rows;
            for (auto it = found->second.begin; it != found->second.end; ++it)
                rows.push_back(it->row);
            for (const RowId id : rows)
                if (std::optional<Row> row = Read().ReadRow(table, id);
                    row && Selects(condition, *row))
                    f(id, *row);
            return;
        }
        Read().ForEachRow(table, [&](RowId id, const Row& row) {
            if (Selects(condition, row))
                f(id, row);
        });
    }

    // The highest value of column `c` over the rows `condition` selects. The entries of an index
    // whose first column the condition fixes with "=" and whose second is `c` lie in the order of
    // `c`: the first of them from the high end whose row the condition selects and holds a value
    // gives the answer, so that one row is read instead of all of them.
    std::optional<std::int64_t> Max(const TableDef& table, std::size_t c,
                                    const Resolved& condition) {
        const auto valueOf = [&](const Row& row) { return std::get_if<std::int64_t>(&row[c]); };
        if (const auto found = BoundedIndex(table, condition, table.columns[c].number)) {
            const auto& [i, range] = *found;
            const bool ascending = table.indexData[i].columns[1].ascending;
            for (auto it = ascending ? range.end : range.begin;
                 it != (ascending ? range.begin : range.end);) {
                const RowId id = ascending ? (--it)->row : (it++)->row;
                if (std::optional<Row> row = Read().ReadRow(table, id);
                    row && Selects(condition, *row) && valueOf(*row))
                    return *valueOf(*row);
            }
            return std::nullopt;
        }
        std::optional<std::int64_t> highest;
        ForEachSelected(table, condition, [&](RowId, const Row& row) {
            if (const auto* v = valueOf(row))
                highest = std::max(highest.value_or(*v), *v);
        });
        return highest;
    }

    // Adds the row's entries; `keys`, when given, are the row's keys in each index.
    void AddToIndexes(const TableDef& table, RowId id, const Row& row,
                      std::vector<std::optional<KeyBytes>> keys) {
        auto& all = Entries(table);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const IndexData& x = table.indexData[i];
            std::optional<KeyBytes> key = keys.empty() ? KeyOf(table, x, row) : std::move(keys[i]);
            if (!key)
                continue;
            IndexEntries& entries = all[i];
            const auto at = entries.LowerBound(*key, id);
            // A NULL's key part is one flag byte that no value's starts with, so an equal key has
            // its NULLs in the same columns.
            const auto same = [&](auto it) { return std::ranges::equal(entries.Key(*it), *key); };
            if ((x.flags & IndexFlag::Unique) && NullKeyColumns(table, x, row) == 0 &&
                ((at != entries.end() && same(at)) ||
                 (at != entries.begin() && same(std::prev(at)))))
                throw JetError("Index \"" + IndexName(table, x) + "\" of table \"" + table.name +
                               "\" allows each value once, and the value is already there. "
                               "Nothing was changed.");
            entries.Insert(at, *key, id);
        }
    }

    void RemoveFromIndexes(const TableDef& table, RowId id, const Row& row) {
        auto& all = Entries(table);
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::optional<KeyBytes> key = KeyOf(table, table.indexData[i], row);
            if (!key)
                continue;
            const auto at = all[i].LowerBound(*key, id);
            if (at == all[i].end() || !(at->row == id) ||
                !std::ranges::equal(all[i].Key(*at), *key))
                throw JetError("Index \"" + IndexName(table, table.indexData[i]) +
                               "\" of table \"" + table.name +
                               "\" doesn't hold a row it should; the database is damaged and "
                               "was left unchanged.");
            all[i].Erase(at);
        }
    }

    // Writes the table's indexes from their entries: each B-tree over its own pages (the root
    // stays where the definition names it; pages are added or given back as the entries need),
    // and the definition's count of distinct keys.
    void WriteIndexes(const TableDef& table) {
        if (table.indexData.empty())
            return;
        const auto& all = Entries(table);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const IndexData& x = table.indexData[i];
            std::vector<SortedEntry> sorted;
            std::uint32_t distinct = 0;
            sorted.reserve(all[i].size());
            for (const IndexEntries::Entry& e : all[i]) {
                const auto key = all[i].Key(e);
                distinct += sorted.empty() || !std::ranges::equal(sorted.back().key, key) ? 1 : 0;
                sorted.push_back({key, e.row});
            }
            std::vector<std::uint32_t> spare;
            for (std::uint32_t p : x.usedPages.pages)
                if (p != x.rootPage)
                    spare.push_back(p);
            std::reverse(spare.begin(), spare.end());
            const auto images = BuildIndexPages(format.version, format.pageSize, table.defPage,
                                                sorted, x.rootPage, [&]() -> std::uint32_t {
                                                    if (!spare.empty()) {
                                                        const std::uint32_t p = spare.back();
                                                        spare.pop_back();
                                                        return p;
                                                    }
                                                    const std::uint32_t p = NewPage();
                                                    SetInMap(x.usedPagesPointer, p, true, false);
                                                    return p;
                                                });
            // Only the pages that differ are changed: the leaves before the first changed entry
            // come out as they were.
            for (const auto& [number, image] : images)
                if (number >= pager->PageCount() || *pager->Read(number) != image)
                    std::ranges::copy(image, pager->Change(number).begin());
            // Pages the index no longer needs go back to the free pages.
            for (std::uint32_t p : spare) {
                SetInMap(x.usedPagesPointer, p, false, false);
                SetInMap(kGlobalMap, p, true, true);
                std::span<std::uint8_t> page = pager->Change(p);
                std::fill(page.begin(), page.end(), 0);
            }
            Put32(pager->Change(table.defPage),
                  format.tdefFirstEntry +
                      static_cast<std::size_t>(x.number) * format.indexCountEntry + 4,
                  distinct);
        }
    }

    int Insert(std::string_view name, const std::vector<Value>& values, bool system = false) {
        const TableDef& table = Table(name, system);
        RefuseUnkept(table);
        const std::uint16_t columnCount =
            Le16(*pager->Read(table.defPage), format.tdefTableType + 1);
        const std::vector<std::uint8_t> row = PackRow(format.version, table, columnCount, values);
        std::vector<std::optional<KeyBytes>> keys;
        for (const IndexData& x : table.indexData)
            keys.push_back(KeyOf(table, x, values));
        if (!table.indexData.empty())
            Entries(table); // read before anything changes
        if (format.dataRowTable + 2 + row.size() > format.pageSize)
            throw JetError("The row is too large for a page of table \"" + table.name + "\".");
        // The first of the table's pages with free space that the row fits. A page that it
        // doesn't fit leaves that map, as Access takes a full page out of it, until a delete gives
        // it room again: otherwise every insert would read every full page again, and an
        // update's inserts would each cost the size of the table.
        std::uint32_t target = 0;
        for (const std::uint32_t p : table.freeSpacePages.pages) {
            const PageRef page = pager->Read(p);
            if ((*page)[0] != PageType::Data || Le32(*page, 4) != table.defPage)
                continue;
            if (RowFits(*page, format, row.size())) {
                target = p;
                break;
            }
            SetInMap(MapPointer(table.freeSpacePages), p, false, false);
        }
        if (target == 0) {
            target = NewPage();
            InitDataPage(pager->Change(target), format, table.defPage);
            SetInMap(MapPointer(table.ownedPages), target, true, false);
            SetInMap(MapPointer(table.freeSpacePages), target, true, false);
        }
        const RowId id{target, AddRowToPage(pager->Change(target), format, row)};
        SetRowCount(table, std::int64_t{table.rowCount} + 1);
        if (!table.indexData.empty()) {
            // The keys of the row as it reads back, so that they are the checker's keys; those of
            // the values given unless the row reads back otherwise.
            const Row back = *Read().ReadRow(table, id);
            if (back != values)
                keys.clear();
            AddToIndexes(table, id, back, std::move(keys));
            unwrittenIndexes.emplace(table.defPage, table.name);
        }
        return 1;
    }

    // A new table, laid out as Access 97 lays out its own: the definition on one page, a page of
    // usage maps (the table's owned pages and pages with free space, then one per index, each
    // naming the index's root), an empty leaf as each index's root, and the catalogue's entry.
    // The table owns no data page until its first row.
    void CreateTable(std::string_view name, const std::vector<NewColumn>& columns,
                     const std::vector<NewIndex>& indexes) {
        const Format& f = format;
        const auto refuse = [&](const std::string& why) {
            throw JetError("Table \"" + std::string(name) + "\" can't be created: " + why +
                           ". Nothing was changed.");
        };
        if (f.version != Version::Jet3)
            refuse("tables are made only in Access 97 (Jet 3) databases");
        ObjectName(name, name, "table"); // the catalogue's row takes the name as text
        const std::vector<CatalogEntry>& catalogue = Read().Catalog();
        const auto container =
            std::find_if(catalogue.begin(), catalogue.end(), [](const CatalogEntry& e) {
                return e.type == 3 && SameName(e.name, "Tables");
            });
        if (container == catalogue.end())
            Damaged("the catalogue has no container \"Tables\"");
        // Tables and queries share the container's names.
        for (const CatalogEntry& e : catalogue)
            if ((e.parentId == static_cast<std::int32_t>(container->id) || e.type == 1) &&
                SameName(e.name, name))
                refuse("the database holds an object of that name");
        if (columns.empty() || columns.size() > 255)
            refuse("a table has 1 to 255 columns");
        std::vector<std::string> columnNames;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const NewColumn& c = columns[i];
            columnNames.push_back(ObjectName(name, c.name, "column"));
            for (std::size_t j = 0; j < i; ++j)
                if (SameName(columns[j].name, c.name))
                    refuse("two columns are named \"" + c.name + "\"");
            if (c.type == Type::Text && (c.length < 1 || c.length > 255))
                refuse("Text column \"" + c.name + "\" has length " + std::to_string(c.length) +
                       ", where Access allows 1 to 255");
            if (c.type != Type::Text && c.type != Type::Long)
                refuse("column \"" + c.name + "\" is of a type (" + std::to_string(c.type) +
                       ") that the writer doesn't create; it creates Long and Text columns");
        }
        std::vector<std::string> indexNames;
        std::vector<std::vector<std::uint16_t>> indexColumns;
        int primaries = 0;
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            const NewIndex& x = indexes[i];
            indexNames.push_back(ObjectName(name, x.name, "index"));
            for (std::size_t j = 0; j < i; ++j)
                if (SameName(indexes[j].name, x.name))
                    refuse("two indexes are named \"" + x.name + "\"");
            if (x.columns.empty() || x.columns.size() > 10)
                refuse("index \"" + x.name + "\" has " + std::to_string(x.columns.size()) +
                       " columns, where an index has 1 to 10");
            std::vector<std::uint16_t>& numbers = indexColumns.emplace_back();
            for (const std::string& column : x.columns) {
                const auto at =
                    std::find_if(columns.begin(), columns.end(),
                                 [&](const NewColumn& c) { return SameName(c.name, column); });
                if (at == columns.end())
                    refuse("index \"" + x.name + "\" names column \"" + column +
                           "\", which the table doesn't have");
                const auto number = static_cast<std::uint16_t>(at - columns.begin());
                if (std::find(numbers.begin(), numbers.end(), number) != numbers.end())
                    refuse("index \"" + x.name + "\" names column \"" + column + "\" twice");
                numbers.push_back(number);
            }
            primaries += x.primary ? 1 : 0;
        }
        if (primaries > 1)
            refuse("a table has one primary key at most");
        // Each usage map row: its kind, the first page it covers and 128 bytes of bits.
        constexpr std::size_t kMapRow = 1 + 4 + 128;
        if ((2 + indexes.size()) * (kMapRow + 2) > f.pageSize - f.dataRowTable)
            refuse("its usage maps don't fit one page; it has too many indexes");
        std::size_t size =
            f.tdefFirstEntry +
            indexes.size() * (f.indexCountEntry + f.indexDataEntry + f.logicalIndexEntry) +
            columns.size() * f.columnEntry + 2;
        for (const std::string& n : columnNames)
            size += 1 + n.size();
        for (const std::string& n : indexNames)
            size += 1 + n.size();
        if (size > f.pageSize)
            refuse("its definition doesn't fit one page");

        const TableDef& objects = Table("MSysObjects", true);
        const std::uint32_t defPage = NewPage();
        const std::uint32_t mapPage = NewPage();
        std::vector<std::uint32_t> roots;
        for (std::size_t i = 0; i < indexes.size(); ++i)
            roots.push_back(NewPage());

        std::vector<std::uint8_t> d(f.tdefFirstEntry, 0);
        const auto put8 = [&](std::uint32_t v) { d.push_back(static_cast<std::uint8_t>(v)); };
        const auto put16 = [&](std::uint32_t v) {
            put8(v);
            put8(v >> 8);
        };
        const auto put32 = [&](std::uint32_t v) {
            put16(v);
            put16(v >> 16);
        };
        const auto count = [](std::size_t n) { return static_cast<std::uint32_t>(n); };
        const auto varCount = static_cast<std::uint32_t>(
            std::count_if(columns.begin(), columns.end(),
                          [](const NewColumn& c) { return c.type == Type::Text; }));
        d[0] = PageType::TableDef;
        d[1] = 0x01;
        d[2] = 'V';
        d[3] = 'C';
        d[f.tdefTableType] = 0x4E;
        Put16(d, f.tdefTableType + 1, count(columns.size()));
        Put16(d, f.tdefVarColumns, varCount);
        Put16(d, f.tdefColumns, count(columns.size()));
        Put32(d, f.tdefIndexes, count(indexes.size()));
        Put32(d, f.tdefIndexData, count(indexes.size()));
        Put32(d, f.tdefOwnedPages, mapPage << 8);
        Put32(d, f.tdefFreePages, (mapPage << 8) | 1);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            put32(0); // the rows and distinct keys, of which there are none yet
            put32(0);
        }
        // Every column carries the database's sort order and code page, and its number twice;
        // a fixed column's place among the variable ones is the number of those before it.
        const std::uint16_t sortOrder = Read().GetSortOrder().value;
        const std::uint16_t codePage = Read().CodePage() != 0 ? Read().CodePage() : 1252;
        std::uint32_t fixedAt = 0, varAt = 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const bool text = columns[i].type == Type::Text;
            put8(columns[i].type);
            put16(count(i));
            put16(varAt);
            put16(count(i));
            put16(0x0001);
            put16(sortOrder);
            put16(codePage);
            put8(text ? ColumnFlag::Nullable : ColumnFlag::Fixed | ColumnFlag::Nullable);
            put16(text ? 0 : fixedAt);
            put16(text ? columns[i].length : 4);
            (text ? varAt : fixedAt) += text ? 1 : 4;
        }
        for (const std::string& n : columnNames) {
            put8(count(n.size()));
            d.insert(d.end(), n.begin(), n.end());
        }
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            for (std::size_t k = 0; k < 10; ++k) {
                put16(k < indexColumns[i].size() ? indexColumns[i][k] : 0xFFFF);
                put8(k < indexColumns[i].size() ? 0x01 : 0x00); // ascending
            }
            put32((mapPage << 8) | count(2 + i));
            put32(roots[i]);
            put8(indexes[i].primary  ? IndexFlag::Unique | IndexFlag::Required
                 : indexes[i].unique ? IndexFlag::Unique
                                     : 0);
        }
        // Access keeps the named indexes in the order of their names.
        std::vector<std::size_t> order(indexes.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::lexicographical_compare(
                indexNames[a].begin(), indexNames[a].end(), indexNames[b].begin(),
                indexNames[b].end(), [](char x, char y) { return AsciiLower(x) < AsciiLower(y); });
        });
        for (const std::size_t i : order) {
            put32(count(i));
            put32(count(i));
            put8(0);           // no related table
            put32(0xFFFFFFFF); // no related index
            put32(0);
            put8(0x04); // as Access 97 writes both cascade bytes of an index in no relationship
            put8(0x04);
            put8(indexes[i].primary ? IndexKind::Primary : IndexKind::Normal);
        }
        for (const std::size_t i : order) {
            put8(count(indexNames[i].size()));
            d.insert(d.end(), indexNames[i].begin(), indexNames[i].end());
        }
        put16(0xFFFF); // no usage maps of variable columns
        Put32(d, 8, count(d.size()));

        std::ranges::copy(d, pager->Change(defPage).begin());
        InitDataPage(pager->Change(mapPage), f, 0);
        for (std::size_t r = 0; r < 2 + indexes.size(); ++r) {
            std::vector<std::uint8_t> map(kMapRow, 0);
            if (r >= 2) {
                const std::uint32_t root = roots[r - 2];
                const std::uint32_t first = root < 128 * 8 ? 0 : root - root % 8;
                Put32(map, 1, first);
                map[5 + (root - first) / 8] |=
                    static_cast<std::uint8_t>(1u << ((root - first) % 8));
            }
            AddRowToPage(pager->Change(mapPage), f, map);
        }
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            const auto images = BuildIndexPages(
                f.version, f.pageSize, defPage, {}, roots[i],
                []() -> std::uint32_t { Damaged("an empty index takes one page"); });
            std::ranges::copy(images.front().second, pager->Change(roots[i]).begin());
        }

        // The catalogue's entry, as Access makes a table's: owned by the database's owner (that
        // of its MSysDb entry), flags 0, made and changed now.
        Value owner;
        const std::size_t nameColumn = ColumnIndex(objects, "Name");
        const std::size_t ownerColumn = ColumnIndex(objects, "Owner");
        Read().ForEachRow(objects, [&](RowId, const Row& row) {
            if (const auto* n = std::get_if<std::string>(&row[nameColumn]); n && *n == "MSysDb")
                owner = row[ownerColumn];
        });
        const DateTime now = Now();
        std::vector<Value> values(objects.columns.size());
        for (std::size_t i = 0; i < objects.columns.size(); ++i) {
            const std::string& column = objects.columns[i].name;
            if (SameName(column, "Id"))
                values[i] = std::int64_t{defPage};
            else if (SameName(column, "ParentId"))
                values[i] = std::int64_t{static_cast<std::int32_t>(container->id)};
            else if (SameName(column, "Name"))
                values[i] = std::string(name);
            else if (SameName(column, "Type"))
                values[i] = std::int64_t{1};
            else if (SameName(column, "DateCreate") || SameName(column, "DateUpdate"))
                values[i] = now;
            else if (SameName(column, "Owner"))
                values[i] = owner;
            else if (SameName(column, "Flags"))
                values[i] = std::int64_t{0};
        }
        catalogueChanged = true;
        Insert("MSysObjects", values, true);
        reader.reset();
    }

    void RemoveRow(RowId id) {
        const RowSlotBytes slot = RowBytesOnPage(*pager->Read(id.page), format, id.row);
        if (slot.flags & RowFlag::Lookup) {
            // The row's values lie on another page, in a row flagged deleted; both go.
            const std::uint32_t pointer = Le32(*pager->Read(id.page), slot.start);
            RemoveRowFromPage(pager->Change(pointer >> 8), format,
                              static_cast<std::uint16_t>(pointer & 0xFF));
        }
        RemoveRowFromPage(pager->Change(id.page), format, id.row);
    }

    int Delete(std::string_view name, const Condition& where) {
        const TableDef& table = Table(name);
        const Resolved condition = Resolve(table, where);
        std::vector<std::pair<RowId, Row>> chosen;
        ForEachSelected(table, condition,
                        [&](RowId id, const Row& row) { chosen.emplace_back(id, row); });
        if (chosen.empty())
            return 0;
        RefuseUnkept(table);
        for (const auto& [id, row] : chosen) {
            if (!table.indexData.empty())
                RemoveFromIndexes(table, id, row);
            RemoveRow(id);
            SetInMap(MapPointer(table.freeSpacePages), id.page, true, false);
        }
        SetRowCount(table, std::int64_t{table.rowCount} - static_cast<std::int64_t>(chosen.size()));
        if (!table.indexData.empty())
            unwrittenIndexes.emplace(table.defPage, table.name);
        return static_cast<int>(chosen.size());
    }
};

Writer::Writer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Writer::~Writer() = default;

std::unique_ptr<Writer> Writer::Open(const std::string& path, std::string_view password,
                                     FileSystem& files) {
    auto impl = std::make_unique<Impl>();
    impl->password = std::string(password);
    // Read once to learn the page size and check the password; then lock, and read again under
    // the lock through the pager.
    const std::size_t pageSize = Database::Open(path, password)->PageSize();
    impl->pager = Pager::Open(path, pageSize, files);
    impl->reader = Database::Open(std::make_unique<PagerView>(*impl->pager), password);
    impl->format = impl->Read().GetVersion() == Version::Jet3 ? Format::Jet3() : Format::Jet4();
    return std::unique_ptr<Writer>(new Writer(std::move(impl)));
}

void Writer::Begin() {
    impl_->pager->Begin();
}

void Writer::Commit() {
    impl_->CommitWithIndexes();
}

void Writer::Rollback() {
    impl_->ForgetKept();
    impl_->unwrittenIndexes.clear();
    impl_->pager->Rollback();
}

int Writer::Insert(std::string_view table, const std::vector<Value>& values) {
    return impl_->Statement([&] { return impl_->Insert(table, values); });
}

int Writer::Delete(std::string_view table, const Condition& where) {
    return impl_->Statement([&] { return impl_->Delete(table, where); });
}

std::optional<std::int64_t> Writer::Max(std::string_view table, std::string_view column,
                                        const Condition& where) {
    const TableDef& t = impl_->Table(table);
    return impl_->Max(t, ColumnIndex(t, column), Resolve(t, where));
}

std::vector<Value> Writer::Select(std::string_view table, std::string_view column,
                                  const Condition& where) {
    std::vector<Value> values;
    const TableDef& t = impl_->Table(table);
    const std::size_t i = ColumnIndex(t, column);
    const Resolved condition = Resolve(t, where);
    impl_->ForEachSelected(t, condition,
                           [&](RowId, const std::vector<Value>& row) { values.push_back(row[i]); });
    return values;
}

void Writer::CreateTable(std::string_view name, const std::vector<NewColumn>& columns,
                         const std::vector<NewIndex>& indexes) {
    impl_->Statement([&] {
        impl_->CreateTable(name, columns, indexes);
        return 0;
    });
}

void Writer::SetPassword(std::string_view password) {
    Impl& m = *impl_;
    const bool jet3 = m.format.version == Version::Jet3;
    const auto refuse = [](const std::string& why) {
        throw JetError("The database password can't be set: " + why + ". Nothing was changed.");
    };
    if (m.pager->InTransaction())
        refuse("a transaction is open");
    const std::u16string characters = Utf8ToUtf16(password);
    if (characters.size() > 20)
        refuse("it has more than 20 characters");
    if (std::find(characters.begin(), characters.end(), u'\0') != characters.end())
        refuse("it holds a NUL character");
    // Jet 3 keeps 20 bytes in the code page, Jet 4 20 UCS-2 characters.
    std::vector<std::uint8_t> plain(jet3 ? 20 : 40, 0);
    if (jet3) {
        const std::optional<std::string> bytes = ToWindows1252(password);
        if (!bytes)
            refuse("it has a character that Windows-1252 doesn't have");
        std::copy(bytes->begin(), bytes->end(), plain.begin());
    } else {
        for (std::size_t i = 0; i < characters.size(); ++i) {
            plain[2 * i] = static_cast<std::uint8_t>(characters[i]);
            plain[2 * i + 1] = static_cast<std::uint8_t>(characters[i] >> 8);
        }
    }
    const std::vector<std::uint8_t> mask = HeaderMask(m.format.headerMaskLength);
    constexpr std::size_t kMasked = 0x18, kPassword = 0x42, kCreated = 0x72;
    m.pager->Begin();
    try {
        std::span<std::uint8_t> page = m.pager->Change(0);
        if (!jet3) {
            // Jet 4 masks the password again with the whole days of the creation date.
            std::uint8_t bytes[8];
            for (std::size_t k = 0; k < 8; ++k)
                bytes[k] = page[kCreated + k] ^ mask[kCreated - kMasked + k];
            double created;
            std::memcpy(&created, bytes, sizeof created);
            const auto days =
                static_cast<std::uint32_t>(std::isfinite(created) && std::fabs(created) < 2e9
                                               ? static_cast<std::int32_t>(created)
                                               : 0);
            for (std::size_t i = 0; i < plain.size(); ++i)
                plain[i] ^= static_cast<std::uint8_t>(days >> (8 * (i % 4)));
        }
        for (std::size_t i = 0; i < plain.size(); ++i)
            page[kPassword + i] = plain[i] ^ mask[kPassword - kMasked + i];
        m.pager->Commit();
    } catch (...) {
        if (m.pager->InTransaction())
            m.pager->Rollback();
        throw;
    }
    m.password = std::string(password);
    m.reader.reset();
}

} // namespace kw::jet
