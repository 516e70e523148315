#include "db/jet/Jet.h"

#include "db/jet/JetFormat.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace kw::jet {

namespace {

constexpr std::uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

// The RC4 key stream, which masks part of page 0.
std::vector<std::uint8_t> Rc4Stream(std::span<const std::uint8_t> key, std::size_t length) {
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<std::uint8_t>(i);
    }
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[static_cast<std::size_t>(i) % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::vector<std::uint8_t> out(length);
    std::uint8_t a = 0, b = 0;
    for (auto& byte : out) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte = s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
    return out;
}

} // namespace

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

const Column* TableDef::ColumnByNumber(std::uint16_t number) const {
    for (const Column& c : columns) {
        if (c.number == number) {
            return &c;
        }
    }
    return nullptr;
}

std::vector<std::uint8_t> HeaderMask(std::size_t length) {
    return Rc4Stream(kHeaderKey, length);
}

void Damaged(const std::string& what) {
    throw JetError("The database file is damaged: " + what + ".");
}

std::size_t FixedSize(const Column& c) {
    switch (c.type) {
    case Type::Boolean:
        return 0;
    case Type::Byte:
        return 1;
    case Type::Integer:
        return 2;
    case Type::Long:
    case Type::Single:
        return 4;
    case Type::Currency:
    case Type::Double:
    case Type::DateTime:
        return 8;
    case Type::Guid:
        return 16;
    case Type::Numeric:
        return 17;
    default:
        return c.length;
    }
}

namespace {

// Bounds on chains and loops, so that a damaged file ends in an error rather than a hang.
constexpr int kMaxLookupHops = 8;

std::uint32_t PagePart(std::uint32_t pointer) {
    return pointer >> 8;
}
std::uint8_t RowPart(std::uint32_t pointer) {
    return static_cast<std::uint8_t>(pointer & 0xFF);
}

} // namespace

struct Database::Impl {
    std::unique_ptr<PageFile> file;
    Format format;
    std::unique_ptr<PageCache> cache;
    std::vector<std::uint8_t> header; // page 0, unmasked
    bool hasPassword = false;
    mutable std::optional<std::vector<CatalogEntry>> catalog;
    mutable std::optional<std::string> fileFormat;
    mutable std::vector<std::uint8_t> databaseProperties; // of MSysDb, read with the catalogue

    PageRef Page(std::uint32_t n) const {
        if (n == 0) {
            return std::make_shared<const std::vector<std::uint8_t>>(header);
        }
        return cache->Get(n);
    }

    // The bytes of row `row` of a data page, and its flags.
    struct Slot {
        std::size_t start = 0, end = 0;
        bool deleted = false, lookup = false;
    };
    std::uint16_t RowCount(std::span<const std::uint8_t> page) const {
        return Le16(page, format.dataRowCount);
    }
    Slot RowSlot(std::span<const std::uint8_t> page, std::uint16_t row) const {
        const std::uint16_t count = RowCount(page);
        if (row >= count) {
            Damaged("row " + std::to_string(row) + " is not in its page's row table");
        }
        const std::size_t tableEnd = format.dataRowTable + 2u * count;
        const std::uint16_t raw = Le16(page, format.dataRowTable + 2u * row);
        Slot s;
        s.deleted = (raw & RowFlag::Deleted) != 0;
        s.lookup = (raw & RowFlag::Lookup) != 0;
        s.start = raw & RowFlag::OffsetMask;
        s.end = row == 0 ? format.pageSize
                         : (Le16(page, format.dataRowTable + 2u * (row - 1)) & RowFlag::OffsetMask);
        if (!s.deleted && (s.start < tableEnd || s.end > format.pageSize || s.start > s.end)) {
            Damaged("row " + std::to_string(row) + " has offsets outside its page");
        }
        return s;
    }

    // The bytes of the row that `pointer` (row in the low byte, page above) designates.
    std::vector<std::uint8_t> PointedRow(std::uint32_t pointer, const char* what) const {
        const PageRef page = Page(PagePart(pointer));
        if ((*page)[0] != PageType::Data) {
            Damaged(std::string(what) + " points to page " + std::to_string(PagePart(pointer)) +
                    ", which is not a data page");
        }
        const Slot s = RowSlot(*page, RowPart(pointer));
        if (s.deleted) {
            Damaged(std::string(what) + " points to a deleted row");
        }
        return {page->begin() + static_cast<std::ptrdiff_t>(s.start),
                page->begin() + static_cast<std::ptrdiff_t>(s.end)};
    }

    UsageMap ReadUsageMap(std::uint32_t pointer) const {
        UsageMap map;
        map.page = PagePart(pointer);
        map.row = RowPart(pointer);
        const std::vector<std::uint8_t> row = PointedRow(pointer, "a usage map");
        const std::uint32_t pageCount = cache->PageCount();
        auto addBits = [&](std::span<const std::uint8_t> bits, std::uint64_t first) {
            for (std::size_t i = 0; i < bits.size(); ++i) {
                if (first + i * 8 >= pageCount) {
                    // Most of a map lies beyond the file and is zero: counting only what is set
                    // keeps reading a definition cheap.
                    if (bits[i] != 0)
                        map.pagesBeyondEnd += static_cast<std::uint32_t>(std::popcount(bits[i]));
                    continue;
                }
                for (int b = 0; b < 8 && bits[i] != 0; ++b) {
                    if ((bits[i] >> b) & 1) {
                        const std::uint64_t n = first + i * 8 + static_cast<unsigned>(b);
                        if (n < pageCount) {
                            map.pages.push_back(static_cast<std::uint32_t>(n));
                        } else {
                            ++map.pagesBeyondEnd;
                        }
                    }
                }
            }
        };
        switch (Le8(row, 0)) {
        case 0: {
            const std::uint32_t first = Le32(row, 1); // also proves the row long enough
            addBits(std::span(row).subspan(5), first);
            break;
        }
        case 1: {
            const std::uint64_t perPage = (format.pageSize - 4) * 8;
            for (std::size_t i = 0; 1 + 4 * (i + 1) <= row.size(); ++i) {
                const std::uint32_t mapPage = Le32(row, 1 + 4 * i);
                if (mapPage == 0) {
                    continue;
                }
                map.mapPages.push_back(mapPage);
                const PageRef bits = Page(mapPage);
                if ((*bits)[0] != PageType::UsageMap) {
                    Damaged("usage map page " + std::to_string(mapPage) + " has the wrong type");
                }
                addBits(std::span(*bits).subspan(4), i * perPage);
            }
            break;
        }
        default:
            Damaged("a usage map has an unknown kind");
        }
        return map;
    }

    // A definition's bytes over all its pages (continuations keep their 8-byte header out).
    std::vector<std::uint8_t> DefinitionBytes(std::uint32_t page) const {
        std::vector<std::uint8_t> bytes;
        std::set<std::uint32_t> seen;
        for (std::uint32_t n = page; n != 0;) {
            if (!seen.insert(n).second) {
                Damaged("the definition on page " + std::to_string(page) + " loops");
            }
            const PageRef p = Page(n);
            if ((*p)[0] != PageType::TableDef) {
                Damaged("page " + std::to_string(n) + " is not a table definition page");
            }
            bytes.insert(bytes.end(), p->begin() + (bytes.empty() ? 0 : 8), p->end());
            n = Le32(*p, 4);
        }
        return bytes;
    }

    std::string ReadName(std::span<const std::uint8_t> d, std::size_t& at) const {
        const std::size_t len = format.nameLengthSize == 1 ? Le8(d, at) : Le16(d, at);
        at += format.nameLengthSize;
        Need(d, at, len);
        std::string name = Text(d.subspan(at, len));
        at += len;
        return name;
    }

    TableDef ReadTableDef(std::uint32_t page, std::string name) const {
        const Format& f = format;
        const std::vector<std::uint8_t> d = DefinitionBytes(page);
        TableDef t;
        t.name = std::move(name);
        t.defPage = page;
        t.rowCount = Le32(d, f.tdefRowCount);
        t.nextAutoNumber = Le32(d, f.tdefAutoNumber);
        t.tableType = Le8(d, f.tdefTableType);
        t.system = t.tableType == 0x53;
        const std::uint16_t columnCount = Le16(d, f.tdefColumns);
        const std::uint32_t indexCount = Le32(d, f.tdefIndexes);
        const std::uint32_t dataCount = Le32(d, f.tdefIndexData);
        if (indexCount > 1000 || dataCount > 1000) {
            Damaged("table definition on page " + std::to_string(page) +
                    " claims too many indexes");
        }
        std::size_t at = f.tdefFirstEntry + dataCount * f.indexCountEntry;
        for (std::uint16_t i = 0; i < columnCount; ++i, at += f.columnEntry) {
            Need(d, at, f.columnEntry);
            Column c;
            c.type = d[at];
            c.number = Le16(d, at + f.colNumber);
            c.varIndex = Le16(d, at + f.colVarIndex);
            c.precision = d[at + f.colPrecision];
            c.scale = d[at + f.colScale];
            c.sortOrder = Le16(d, at + f.colSortOrder);
            c.flags = d[at + f.colFlags];
            c.fixed = (c.flags & ColumnFlag::Fixed) != 0;
            c.compressed = f.version == Version::Jet4 && (d[at + f.colFlags + 1] & 0x01);
            c.fixedOffset = Le16(d, at + f.colFixedOffset);
            c.length = Le16(d, at + f.colLength);
            t.columns.push_back(std::move(c));
        }
        for (Column& c : t.columns) {
            c.name = ReadName(d, at);
        }
        std::stable_sort(t.columns.begin(), t.columns.end(),
                         [](const Column& a, const Column& b) { return a.number < b.number; });
        for (std::uint32_t i = 0; i < dataCount; ++i, at += f.indexDataEntry) {
            Need(d, at, f.indexDataEntry);
            IndexData x;
            x.number = static_cast<int>(i);
            const std::size_t cols = at + f.indexDataColumnsAt;
            for (int k = 0; k < 10; ++k) {
                const std::uint16_t number = Le16(d, cols + 3 * k);
                if (number != 0xFFFF) {
                    x.columns.push_back({number, d[cols + 3 * k + 2] == 0x01});
                }
            }
            x.usedPagesPointer = Le32(d, cols + 30);
            x.rootPage = Le32(d, cols + 34);
            x.flags = d[cols + f.indexDataFlags];
            t.indexData.push_back(std::move(x));
        }
        for (std::uint32_t i = 0; i < indexCount; ++i, at += f.logicalIndexEntry) {
            Need(d, at, f.logicalIndexEntry);
            const std::size_t e = at + f.logicalIndexAt;
            LogicalIndex x;
            x.number = static_cast<int>(Le32(d, e));
            x.dataNumber = static_cast<int>(Le32(d, e + 4));
            x.relatedIndex = static_cast<int>(Le32(d, e + 9));
            x.relatedTablePage = Le32(d, e + 13);
            x.cascadeUpdates = d[e + 17] != 0;
            x.cascadeDeletes = d[e + 18] != 0;
            x.kind = d[e + 19];
            if (x.dataNumber < 0 || static_cast<std::uint32_t>(x.dataNumber) >= dataCount) {
                Damaged("index " + std::to_string(i) + " of the table on page " +
                        std::to_string(page) + " uses index data that doesn't exist");
            }
            t.indexes.push_back(std::move(x));
        }
        for (LogicalIndex& x : t.indexes) {
            x.name = ReadName(d, at);
        }
        t.ownedPages = ReadUsageMap(Le32(d, f.tdefOwnedPages));
        t.freeSpacePages = ReadUsageMap(Le32(d, f.tdefFreePages));
        for (IndexData& x : t.indexData) {
            if (x.usedPagesPointer != 0) {
                x.usedPages = ReadUsageMap(x.usedPagesPointer);
            }
        }
        return t;
    }

    // Text as stored: Jet 3 in Windows-1252, Jet 4 UCS-2 or "compressed Unicode".
    std::string Text(std::span<const std::uint8_t> b) const {
        std::u16string u;
        if (format.version == Version::Jet3) {
            for (std::uint8_t c : b) {
                u.push_back(Windows1252ToUnicode(c));
            }
        } else if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
            bool compressed = true;
            for (std::size_t i = 2; i < b.size();) {
                if (b[i] == 0) {
                    compressed = !compressed;
                    ++i;
                } else if (compressed) {
                    u.push_back(b[i++]);
                } else if (i + 1 < b.size()) {
                    u.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
                    i += 2;
                } else {
                    break;
                }
            }
        } else {
            for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
                u.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
            }
        }
        return Utf16ToUtf8(u);
    }

    // A Memo's or OLE object's bytes: inline, on one long-value page, or over a chain of them.
    std::vector<std::uint8_t> LongValue(std::span<const std::uint8_t> field) const {
        const std::uint32_t word = Le32(field, 0);
        const std::uint32_t length = word & 0x3FFFFFFF;
        if (word & 0x80000000) {
            Need(field, 12, length);
            return {field.begin() + 12, field.begin() + 12 + length};
        }
        if (word & 0x40000000) {
            std::vector<std::uint8_t> row = PointedRow(Le32(field, 4), "a long value");
            if (row.size() < length) {
                Damaged("a long value is shorter than its stated length");
            }
            row.resize(length);
            return row;
        }
        std::vector<std::uint8_t> out;
        std::set<std::uint32_t> visited;
        for (std::uint32_t next = Le32(field, 4); out.size() < length;) {
            if (next == 0 || !visited.insert(next).second) {
                Damaged("a long value's chain of pages ends early or loops");
            }
            const std::vector<std::uint8_t> row = PointedRow(next, "a long value");
            next = Le32(row, 0);
            const std::size_t take = std::min<std::size_t>(row.size() - 4, length - out.size());
            out.insert(out.end(), row.begin() + 4, row.begin() + 4 + static_cast<long>(take));
        }
        return out;
    }

    Value FixedValue(const Column& c, std::span<const std::uint8_t> b) const {
        switch (c.type) {
        case Type::Byte:
            return std::int64_t{b[0]};
        case Type::Integer:
            return std::int64_t{static_cast<std::int16_t>(Le16(b, 0))};
        case Type::Long:
            return std::int64_t{static_cast<std::int32_t>(Le32(b, 0))};
        case Type::Currency:
            return Currency{static_cast<std::int64_t>(Le64(b, 0))};
        case Type::Single: {
            const std::uint32_t bits = Le32(b, 0);
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return double{v};
        }
        case Type::Double:
            return LeDouble(b, 0);
        case Type::DateTime:
            return DateTime{LeDouble(b, 0)};
        case Type::Guid: {
            Guid g;
            std::copy(b.begin(), b.begin() + 16, g.bytes.begin());
            return g;
        }
        case Type::Numeric: {
            Numeric n;
            n.negative = (b[0] & 0x80) != 0;
            n.high = (std::uint64_t{Le32(b, 1)} << 32) | Le32(b, 5);
            n.low = (std::uint64_t{Le32(b, 9)} << 32) | Le32(b, 13);
            n.precision = c.precision;
            n.scale = c.scale;
            return n;
        }
        default:
            return VariableValue(c, b);
        }
    }

    Value VariableValue(const Column& c, std::span<const std::uint8_t> b) const {
        switch (c.type) {
        case Type::Text:
            return Text(b);
        case Type::Memo:
            return Text(LongValue(b));
        case Type::Ole:
            return LongValue(b);
        case Type::Byte:
        case Type::Integer:
        case Type::Long:
        case Type::Currency:
        case Type::Single:
        case Type::Double:
        case Type::DateTime:
        case Type::Guid:
        case Type::Numeric:
            // Newer system tables keep some numbers and dates among the variable columns.
            if (b.size() != FixedSize(c)) {
                Damaged("a variable column of type " + std::to_string(c.type) +
                        " has the wrong length");
            }
            return FixedValue(c, b);
        default:
            return std::vector<std::uint8_t>(b.begin(), b.end());
        }
    }

    // The values of one row's bytes, in the order of table.columns.
    std::vector<Value> CrackRow(const TableDef& table, std::span<const std::uint8_t> r) const {
        const bool jet3 = format.version == Version::Jet3;
        const std::size_t countSize = jet3 ? 1 : 2;
        const std::size_t columnCount = jet3 ? Le8(r, 0) : Le16(r, 0);
        const std::size_t maskSize = (columnCount + 7) / 8;
        if (r.size() < countSize + maskSize + countSize) {
            Damaged("a row is shorter than its null mask");
        }
        const std::size_t maskAt = r.size() - maskSize;
        const std::size_t varCount = jet3 ? r[maskAt - 1] : Le16(r, maskAt - 2);
        std::vector<std::size_t> varOffsets(varCount + 1);
        if (jet3) {
            std::size_t jumps = (r.size() - 1) / 256;
            if (maskAt < jumps + 2 + varCount + 1) {
                Damaged("a row's variable offsets overlap its start");
            }
            const std::size_t first = maskAt - jumps - 2; // the first offset, read backwards
            if ((first - varCount) / 256 < jumps) {
                --jumps; // the last jump is unused
            }
            std::size_t used = 0;
            for (std::size_t i = 0; i <= varCount; ++i) {
                while (used < jumps && r[maskAt - 2 - used] == i) {
                    ++used;
                }
                varOffsets[i] = r[first - i] + used * 256;
            }
        } else {
            if (maskAt < 2 + 2 * (varCount + 1) + 2) {
                Damaged("a row's variable offsets overlap its start");
            }
            for (std::size_t i = 0; i <= varCount; ++i) {
                varOffsets[i] = Le16(r, maskAt - 4 - 2 * i);
            }
        }
        std::vector<Value> values;
        values.reserve(table.columns.size());
        for (const Column& c : table.columns) {
            const bool present =
                c.number < columnCount && ((r[maskAt + c.number / 8] >> (c.number % 8)) & 1);
            if (c.type == Type::Boolean) {
                values.emplace_back(present);
            } else if (!present) {
                values.emplace_back();
            } else if (c.fixed) {
                const std::size_t at = countSize + c.fixedOffset;
                const std::size_t size = FixedSize(c);
                Need(r.first(maskAt), at, size);
                values.push_back(FixedValue(c, r.subspan(at, size)));
            } else if (c.varIndex >= varCount) {
                values.emplace_back();
            } else {
                const std::size_t from = varOffsets[c.varIndex];
                const std::size_t to = varOffsets[c.varIndex + 1];
                if (from > to || to > maskAt) {
                    Damaged("a variable column of a row lies outside the row");
                }
                values.push_back(VariableValue(c, r.subspan(from, to - from)));
            }
        }
        return values;
    }

    // The row in `slot` of `page`, following lookup rows to where the row really lies.
    std::optional<std::vector<Value>> RowAt(const TableDef& table, const PageRef& page,
                                            std::uint16_t row) const {
        Slot s = RowSlot(*page, row);
        if (s.deleted) {
            return std::nullopt;
        }
        PageRef holder = page;
        for (int hops = 0; s.lookup; ++hops) {
            if (hops == kMaxLookupHops) {
                Damaged("a row's chain of overflow pointers is too long");
            }
            const std::uint32_t pointer =
                Le32(std::span(*holder).subspan(s.start, s.end - s.start), 0);
            holder = Page(PagePart(pointer));
            if ((*holder)[0] != PageType::Data) {
                Damaged("an overflow row points to a page that is not a data page");
            }
            // The row an overflow pointer leads to is flagged deleted, so that a scan of its page
            // passes it by; its offsets must still be sound.
            s = RowSlot(*holder, RowPart(pointer));
            s.deleted = false;
            if (s.start > s.end || s.end > format.pageSize) {
                Damaged("an overflow row points to a row outside its page");
            }
        }
        return CrackRow(table, std::span(*holder).subspan(s.start, s.end - s.start));
    }

    // The database's AccessVersion property, from the property blob of the catalogue's MSysDb
    // entry: a header, then blocks (length, kind); kind 0x80 lists the property names, the others
    // hold entries (length, flags, data type, name number, data length, data).
    std::string AccessVersion() const {
        const std::span<const std::uint8_t> b(databaseProperties);
        std::vector<std::string> names;
        for (std::size_t at = 4; at + 6 <= b.size();) {
            const std::uint32_t length = Le32(b, at);
            const std::uint16_t kind = Le16(b, at + 4);
            if (length < 6 || length > b.size() - at) {
                break;
            }
            const std::span<const std::uint8_t> block = b.subspan(at, length);
            if (kind == 0x80) {
                for (std::size_t p = 6; p + 2 <= block.size();) {
                    const std::uint16_t len = Le16(block, p);
                    Need(block, p + 2, len);
                    names.push_back(Text(block.subspan(p + 2, len)));
                    p += 2 + len;
                }
            } else if (block.size() >= 10) {
                for (std::size_t p = 6 + Le32(block, 6); p + 8 <= block.size();) {
                    const std::uint16_t len = Le16(block, p);
                    const std::uint16_t nameIndex = Le16(block, p + 4);
                    const std::uint16_t dataLength = Le16(block, p + 6);
                    if (len < 8 || p + len > block.size() || 8u + dataLength > len) {
                        break;
                    }
                    if (nameIndex < names.size() && names[nameIndex] == "AccessVersion") {
                        return Text(block.subspan(p + 8, dataLength));
                    }
                    p += len;
                }
            }
            at += length;
        }
        return {};
    }

    TableDef TableOf(const CatalogEntry& e) const {
        TableDef t = ReadTableDef(e.id & 0x00FFFFFF, e.name);
        t.system = t.system || e.system;
        return t;
    }

    bool IsDataPageOf(const std::vector<std::uint8_t>& page, const TableDef& table) const {
        return page[0] == PageType::Data && Le32(page, 4) == table.defPage;
    }
};

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Database::~Database() = default;

std::unique_ptr<Database> Database::Open(const std::string& path, std::string_view password,
                                         std::size_t cachePages) {
    return Open(PageFile::OpenForReading(path), password, cachePages);
}

std::unique_ptr<Database> Database::Open(std::unique_ptr<PageFile> file, std::string_view password,
                                         std::size_t cachePages) {
    auto impl = std::make_unique<Impl>();
    const std::uint64_t size = file->Size();
    std::vector<std::uint8_t> head(std::min<std::uint64_t>(size, 0x80 + 0x18));
    file->ReadAt(0, head);
    static constexpr char kSignature[] = "Standard Jet DB";
    static constexpr char kAceSignature[] = "Standard ACE DB";
    if (head.size() < 0x15 ||
        (std::memcmp(head.data() + 4, kSignature, sizeof kSignature) != 0 &&
         std::memcmp(head.data() + 4, kAceSignature, sizeof kAceSignature) != 0)) {
        throw JetError("The file is not an Access database (no Jet signature at its start).");
    }
    const std::uint8_t version = head[0x14];
    if (version > 1 || std::memcmp(head.data() + 4, kAceSignature, sizeof kAceSignature) == 0) {
        throw JetError("The file is an Access 2007 or later database (.accdb format, version " +
                       std::to_string(version) +
                       "); only Access 97 and Access 2000-2003 databases can be read.");
    }
    impl->format = version == 0 ? Format::Jet3() : Format::Jet4();
    const Format& f = impl->format;
    if (size < f.pageSize * 3 || size % f.pageSize != 0) {
        throw JetError("The database file is truncated or damaged: its size (" +
                       std::to_string(size) + " bytes) is not a whole number of " +
                       std::to_string(f.pageSize) + "-byte pages of at least three pages.");
    }
    impl->header.resize(f.pageSize);
    file->ReadAt(0, impl->header);
    auto& h = impl->header;
    const auto stream = HeaderMask(f.headerMaskLength);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        h[0x18 + i] ^= stream[i];
    }
    if (Le32(h, 0x3E) != 0) {
        throw JetError("The database is encrypted (its pages are encoded with a key); encrypted "
                       "databases can't be read.");
    }
    // Jet 3 stores text in the database's code page; only Western European is decoded, so another
    // one is refused rather than read as wrong characters.
    if (f.version == Version::Jet3 && Le16(h, 0x3C) != 1252 && Le16(h, 0x3C) != 0) {
        throw JetError("The database's text is in code page " + std::to_string(Le16(h, 0x3C)) +
                       "; only Access 97 databases in code page 1252 (Western European) can be "
                       "read.");
    }

    // The database password guards opening only; an empty stored password opens with any.
    std::u16string stored;
    if (f.version == Version::Jet3) {
        for (std::size_t i = 0; i < 20 && h[0x42 + i] != 0; ++i) {
            stored.push_back(Windows1252ToUnicode(h[0x42 + i]));
        }
    } else {
        const double created = LeDouble(h, 0x72);
        const auto maskValue = static_cast<std::uint32_t>(
            std::isfinite(created) && std::fabs(created) < 2e9 ? static_cast<std::int32_t>(created)
                                                               : 0);
        for (std::size_t i = 0; i < 20; ++i) {
            const std::size_t at = 0x42 + 2 * i;
            const auto lo = static_cast<std::uint8_t>(h[at] ^ (maskValue >> (8 * ((2 * i) % 4))));
            const auto hi =
                static_cast<std::uint8_t>(h[at + 1] ^ (maskValue >> (8 * ((2 * i + 1) % 4))));
            const auto c = static_cast<char16_t>(lo | (hi << 8));
            if (c == 0) {
                break;
            }
            stored.push_back(c);
        }
    }
    impl->hasPassword = !stored.empty();
    if (impl->hasPassword && Utf8ToUtf16(password) != stored) {
        throw JetError(password.empty()
                           ? "Not a valid password: the database has a password and none was given."
                           : "Not a valid password: the database password is different.");
    }

    impl->file = std::move(file);
    impl->cache = std::make_unique<PageCache>(*impl->file, f.pageSize, cachePages);
    return std::unique_ptr<Database>(new Database(std::move(impl)));
}

Version Database::GetVersion() const {
    return impl_->format.version;
}
std::size_t Database::PageSize() const {
    return impl_->format.pageSize;
}
std::uint32_t Database::PageCount() const {
    return impl_->cache->PageCount();
}
bool Database::HasPassword() const {
    return impl_->hasPassword;
}
std::uint16_t Database::CodePage() const {
    return Le16(impl_->header, 0x3C);
}

SortOrder Database::GetSortOrder() const {
    const auto& h = impl_->header;
    if (impl_->format.version == Version::Jet3) {
        const std::uint16_t value = Le16(h, 0x3A);
        return {value == 0 ? std::uint16_t{1033} : value, -1};
    }
    const std::uint16_t value = Le16(h, 0x6E);
    return {value == 0 ? std::uint16_t{1033} : value, h[0x71]};
}

PageRef Database::ReadPage(std::uint32_t number) const {
    return impl_->Page(number);
}

UsageMap Database::FreePages() const {
    return impl_->ReadUsageMap(1u << 8); // page 1, row 0
}

TableDef Database::ReadTableDef(std::uint32_t page, std::string name) const {
    return impl_->ReadTableDef(page, std::move(name));
}

void Database::ForEachRow(const TableDef& table, const RowCallback& callback) const {
    for (const std::uint32_t n : table.ownedPages.pages) {
        const PageRef page = impl_->Page(n);
        if (!impl_->IsDataPageOf(*page, table)) {
            continue;
        }
        const std::uint16_t count = impl_->RowCount(*page);
        for (std::uint16_t row = 0; row < count; ++row) {
            if (auto values = impl_->RowAt(table, page, row)) {
                callback(RowId{n, row}, *values);
            }
        }
    }
}

std::optional<std::vector<Value>> Database::ReadRow(const TableDef& table, RowId id) const {
    const PageRef page = impl_->Page(id.page);
    if (!impl_->IsDataPageOf(*page, table)) {
        Damaged("page " + std::to_string(id.page) + " is not a data page of table \"" + table.name +
                "\"");
    }
    if (id.row >= impl_->RowCount(*page)) {
        return std::nullopt;
    }
    return impl_->RowAt(table, page, id.row);
}

const std::vector<CatalogEntry>& Database::Catalog() const {
    if (impl_->catalog) {
        return *impl_->catalog;
    }
    const TableDef objects = impl_->ReadTableDef(2, "MSysObjects");
    auto find = [&](std::string_view name) -> int {
        for (std::size_t i = 0; i < objects.columns.size(); ++i) {
            if (SameName(objects.columns[i].name, name)) {
                return static_cast<int>(i);
            }
        }
        Damaged("the catalogue has no column " + std::string(name));
    };
    const int id = find("Id"), parent = find("ParentId"), name = find("Name"), type = find("Type"),
              flags = find("Flags");
    int properties = -1;
    for (std::size_t i = 0; i < objects.columns.size(); ++i) {
        if (SameName(objects.columns[i].name, "LvProp")) {
            properties = static_cast<int>(i);
        }
    }
    auto integer = [](const Value& v) {
        const auto* i = std::get_if<std::int64_t>(&v);
        return i ? *i : 0;
    };
    std::vector<CatalogEntry> entries;
    ForEachRow(objects, [&](RowId, const std::vector<Value>& row) {
        CatalogEntry e;
        if (const auto* text = std::get_if<std::string>(&row[name])) {
            e.name = *text;
        }
        e.id = static_cast<std::uint32_t>(integer(row[id]));
        e.parentId = static_cast<std::int32_t>(integer(row[parent]));
        e.type = static_cast<std::int16_t>(integer(row[type]));
        e.flags = static_cast<std::uint32_t>(integer(row[flags]));
        e.system = (e.flags & 0x80000002u) != 0 || e.name.rfind("MSys", 0) == 0;
        if (properties >= 0 && e.name == "MSysDb" && impl_->databaseProperties.empty()) {
            if (const auto* blob = std::get_if<std::vector<std::uint8_t>>(&row[properties])) {
                impl_->databaseProperties = *blob;
            }
        }
        entries.push_back(std::move(e));
    });
    impl_->catalog = std::move(entries);
    return *impl_->catalog;
}

std::string Database::FileFormat() const {
    if (impl_->format.version == Version::Jet3) {
        return "V1997";
    }
    if (!impl_->fileFormat) {
        Catalog(); // reads the database's properties on the way
        const std::string version = impl_->AccessVersion();
        impl_->fileFormat = version == "08.50"   ? "V2000"
                            : version == "09.50" ? "V2003"
                            : version.empty()    ? "GENERIC_JET4"
                                                 : "JET4 (AccessVersion " + version + ")";
    }
    return *impl_->fileFormat;
}

std::vector<TableDef> Database::Tables(bool withSystem) const {
    std::vector<const CatalogEntry*> chosen;
    for (const CatalogEntry& e : Catalog()) {
        if (e.type == 1 && (withSystem || !e.system)) {
            chosen.push_back(&e);
        }
    }
    std::sort(chosen.begin(), chosen.end(), [](const CatalogEntry* a, const CatalogEntry* b) {
        return std::lexicographical_compare(
            a->name.begin(), a->name.end(), b->name.begin(), b->name.end(),
            [](char x, char y) { return AsciiLower(x) < AsciiLower(y); });
    });
    std::vector<TableDef> tables;
    for (const CatalogEntry* e : chosen) {
        tables.push_back(impl_->TableOf(*e));
    }
    return tables;
}

std::optional<TableDef> Database::FindTable(std::string_view name) const {
    for (const CatalogEntry& e : Catalog()) {
        if (e.type == 1 && SameName(e.name, name)) {
            return impl_->TableOf(e);
        }
    }
    return std::nullopt;
}

} // namespace kw::jet
