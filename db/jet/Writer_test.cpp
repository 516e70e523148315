// The writer against the test databases: rows packed as Access packed them, random inserts and
// deletes against a model of the rows, the update's statements, refusals that change no byte, and
// every statement interrupted at every write. The checker runs over every file written.
#include "db/jet/Writer.h"

#include "db/jet/Check.h"
#include "db/jet/DataPage.h"
#include "db/jet/FaultyFileSystem.h"
#include "db/jet/IndexKey.h"
#include "db/jet/IndexTree.h"
#include "db/jet/Pager.h"
#include "db/jet/RowFormat.h"
#include "db/jet/UpdateScript.h"
#include "db/jet/WriterModel.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

#include "db/jet/JetFormat.h"
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace kw::jet {
namespace {

namespace fs = std::filesystem;
const fs::path kData = KW_JET_TESTDATA;

using test::Compare;
using test::Findings;
using test::Packable;
using test::Printed;
using test::Refusal;
using test::Row;
using test::Rows;
using test::RowsOf;
using test::Writable;

struct Fixture {
    fs::path file;
    std::string password;
};

std::vector<Fixture> AllFixtures() {
    std::vector<Fixture> out;
    for (const auto& e : fs::directory_iterator(kData / "picbase"))
        if (e.path().extension() == ".pbd")
            out.push_back({e.path(), "kolibrie"});
    std::ifstream manifest(kData / "public" / "MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line);
    while (std::getline(manifest, line)) {
        std::vector<std::string> f(1);
        for (char c : line) {
            if (c == '\t')
                f.emplace_back();
            else
                f.back().push_back(c);
        }
        out.push_back({kData / "public" / f[0], f.size() > 6 ? f[6] : ""});
    }
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.file < b.file; });
    return out;
}

// Every row that the packer can make comes out byte for byte as Access (or Jackcess) stored it.
TEST(RowFormatTest, PackedRowsEqualTheStoredRowsOfEveryTestDatabase) {
    int compared = 0, jet3 = 0;
    std::vector<std::string> differing;
    for (const Fixture& fx : AllFixtures()) {
        SCOPED_TRACE(fx.file.filename().string());
        const auto db = Database::Open(fx.file.string(), fx.password);
        const Format f = db->GetVersion() == Version::Jet3 ? Format::Jet3() : Format::Jet4();
        for (const TableDef& table : db->Tables()) {
            const std::uint16_t columns = Le16(*db->ReadPage(table.defPage), f.tdefTableType + 1);
            if (columns != table.columns.size())
                continue; // rows keep the bytes of deleted columns, which the packer leaves zero
            db->ForEachRow(table, [&](RowId id, const Row& row) {
                for (std::size_t i = 0; i < row.size(); ++i)
                    if (!Packable(table.columns[i], row[i]))
                        return;
                const PageRef page = db->ReadPage(id.page);
                const RowSlotBytes slot = RowBytesOnPage(*page, f, id.row);
                if (slot.flags & RowFlag::Lookup)
                    return;
                std::vector<std::uint8_t> stored(page->begin() + slot.start,
                                                 page->begin() + slot.end);
                const std::vector<std::uint8_t> packed =
                    PackRow(db->GetVersion(), table, columns, row);
                // Access leaves whatever was there in the bytes of a NULL fixed column.
                const std::size_t countSize = db->GetVersion() == Version::Jet3 ? 1 : 2;
                for (std::size_t i = 0; i < row.size(); ++i) {
                    const Column& c = table.columns[i];
                    if (c.fixed && std::holds_alternative<std::monostate>(row[i]) &&
                        stored.size() == packed.size())
                        std::copy_n(packed.begin() + countSize + c.fixedOffset, FixedSize(c),
                                    stored.begin() + countSize + c.fixedOffset);
                }
                if (packed != stored)
                    differing.push_back(fx.file.filename().string() + " " + table.name + " " +
                                        Printed(row));
                ++compared;
                jet3 += db->GetVersion() == Version::Jet3;
            });
        }
    }
    EXPECT_GT(compared, 5000);
    EXPECT_GT(jet3, 100);
    // One row that Access wrote with a spare zero byte between its variable part and offsets.
    const std::vector<std::string> known = {
        "testIndexPropertiesV2000.mdb TableIgnoreNulls2 'row3'|NULL|-45|",
        "testIndexPropertiesV2003.mdb TableIgnoreNulls2 'row3'|NULL|-45|"};
    EXPECT_EQ(differing, known);
}

// With KW_JET_WRITTEN set, keeps a written file there for the comparison with mdb-export and
// mdb-reader (written-differential.sh), listed as the public test files are.
void KeepWritten(const std::string& path, const std::string& name, const std::string& password) {
    const char* folder = std::getenv("KW_JET_WRITTEN");
    if (folder == nullptr)
        return;
    fs::copy_file(path, fs::path(folder) / "public" / name, fs::copy_options::overwrite_existing);
    std::ofstream(fs::path(folder) / "public" / "MANIFEST.tsv", std::ios::app)
        << name << "\t\t\t\t\t\t" << password << "\n";
}

class WriterTest : public ::testing::Test {
protected:
    // A copy of `from` in the test's folder.
    std::string Copy(const fs::path& from) {
        const fs::path to = dir_.Path() / from.filename();
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
        fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
        return to.string();
    }
    kw::test::TempDir dir_;
};

// A random value that column `c` can hold; texts with accents and apostrophes.
Value RandomValue(const Column& c, std::mt19937& random) {
    if (c.type != Type::Boolean && random() % 8 == 0)
        return {};
    const auto small = [&] { return std::int64_t(random() % 40); };
    switch (c.type) {
    case Type::Boolean:
        return random() % 2 == 0;
    case Type::Byte:
    case Type::Integer:
    case Type::Long:
        return small();
    case Type::Currency:
        return Currency{small() * 10000};
    case Type::Single:
    case Type::Double:
        return double(small()) / 4;
    case Type::DateTime:
        return DateTime{double(small() + 30000)};
    default: {
        static const std::vector<std::string> pieces = {"a", "B", "\xC3\xA9", "\xC3\xAB",    "'",
                                                        "-", " ", "z",        "\xE2\x82\xAC"};
        const std::size_t limit = std::min<std::size_t>(8, c.length / 2u);
        std::string text;
        // Never empty: mdb-export prints an empty text as NULL, so the comparison with it can't
        // tell them apart.
        for (std::size_t n = 1 + random() % limit; n > 0; --n)
            text += pieces[random() % pieces.size()];
        return text;
    }
    }
}

// Random inserts, deletes and queries (MAX, SELECT), also inside transactions that roll back, on
// every table the writer accepts, against a model of the rows; the file then reads back as the
// model and passes the checker.
TEST_F(WriterTest, RandomInsertsAndDeletesFollowAModel) {
    int tables = 0, refused = 0;
    for (const Fixture& fx : AllFixtures()) {
        const auto original = Database::Open(fx.file.string(), fx.password);
        for (const TableDef& table : original->Tables()) {
            if (!Writable(table))
                continue;
            ++tables;
            const unsigned seed = static_cast<unsigned>(
                std::hash<std::string>{}(fx.file.filename().string() + table.name));
            SCOPED_TRACE(fx.file.filename().string() + " " + table.name + ", seed " +
                         std::to_string(seed));
            std::mt19937 random(seed);
            const std::string path = Copy(fx.file);
            std::vector<Row> model;
            original->ForEachRow(table, [&](RowId, const Row& row) { model.push_back(row); });
            std::vector<std::size_t> whole;
            for (std::size_t i = 0; i < table.columns.size(); ++i)
                if (table.columns[i].type == Type::Long || table.columns[i].type == Type::Integer ||
                    table.columns[i].type == Type::Byte)
                    whole.push_back(i);
            auto writer = Writer::Open(path, fx.password);
            std::vector<Row> saved;
            for (int step = 0; step < 100; ++step) {
                const unsigned pick = random() % 20;
                if (pick == 0 && saved.empty()) {
                    writer->Begin();
                    saved = model;
                    saved.push_back({}); // marks the transaction open
                } else if (pick == 1 && !saved.empty()) {
                    const bool keep = random() % 2 == 0;
                    saved.pop_back();
                    if (keep) {
                        writer->Commit();
                    } else {
                        writer->Rollback();
                        model = saved;
                    }
                    saved.clear();
                } else if (pick < 9 && !whole.empty() && !model.empty()) {
                    // One or two comparisons with values that rows hold, so that "=" finds rows
                    // and bounds cut through the indexes.
                    Condition where;
                    std::vector<std::size_t> columns;
                    for (unsigned n = 1 + random() % 2; n > 0; --n) {
                        const std::size_t column = whole[random() % whole.size()];
                        const auto* v =
                            std::get_if<std::int64_t>(&model[random() % model.size()][column]);
                        where.push_back({table.columns[column].name,
                                         static_cast<Comparison::Op>(random() % 6), v ? *v : 0});
                        columns.push_back(column);
                    }
                    const auto selects = [&](const Row& r) {
                        for (std::size_t k = 0; k < where.size(); ++k) {
                            const auto* x = std::get_if<std::int64_t>(&r[columns[k]]);
                            if (!x || !Compare(*x, where[k]))
                                return false;
                        }
                        return true;
                    };
                    if (pick < 6) {
                        const auto before = model.size();
                        std::erase_if(model, selects);
                        ASSERT_EQ(writer->Delete(table.name, where), int(before - model.size()));
                        continue;
                    }
                    std::size_t of = whole[random() % whole.size()];
                    // Half the time the MAX that an index answers: its first column fixed, of
                    // its second.
                    for (const IndexData& x : table.indexData) {
                        const auto at = [&](std::size_t k) {
                            return std::find_if(whole.begin(), whole.end(), [&](std::size_t c) {
                                return table.columns[c].number == x.columns[k].columnNumber;
                            });
                        };
                        if (random() % 2 == 0 || x.columns.size() < 2 || at(0) == whole.end() ||
                            at(1) == whole.end())
                            continue;
                        const auto* v =
                            std::get_if<std::int64_t>(&model[random() % model.size()][*at(0)]);
                        where[0] = {table.columns[*at(0)].name, Comparison::Op::Equal, v ? *v : 0};
                        columns[0] = *at(0);
                        of = *at(1);
                        break;
                    }
                    std::optional<std::int64_t> highest;
                    std::multiset<std::string> values;
                    for (const Row& r : model)
                        if (selects(r)) {
                            if (const auto* x = std::get_if<std::int64_t>(&r[of]))
                                highest = std::max(highest.value_or(*x), *x);
                            values.insert(Printed({r[of]}));
                        }
                    EXPECT_EQ(writer->Max(table.name, table.columns[of].name, where), highest);
                    std::multiset<std::string> selected;
                    for (const Value& v : writer->Select(table.name, table.columns[of].name, where))
                        selected.insert(Printed({v}));
                    EXPECT_EQ(selected, values);
                } else {
                    Row row;
                    for (const Column& c : table.columns)
                        row.push_back(RandomValue(c, random));
                    const std::string refusal = Refusal(table, row, model, original->GetVersion());
                    if (refusal.empty()) {
                        ASSERT_EQ(writer->Insert(table.name, row), 1) << Printed(row);
                        model.push_back(row);
                        continue;
                    }
                    const std::string before = kw::test::ReadFile(path);
                    try {
                        writer->Insert(table.name, row);
                        ADD_FAILURE() << "inserted " << Printed(row) << " (" << refusal << ")";
                    } catch (const JetError& e) {
                        EXPECT_NE(std::string(e.what()).find(refusal), std::string::npos)
                            << e.what();
                    }
                    EXPECT_EQ(kw::test::ReadFile(path) == before, true) << "a refusal wrote";
                    ++refused;
                }
            }
            if (!saved.empty())
                writer->Commit();
            writer.reset();
            const auto db = Database::Open(path, fx.password);
            Rows expected;
            for (const Row& r : model)
                expected.insert(Printed(r));
            EXPECT_EQ(RowsOf(*db, *db->FindTable(table.name)), expected);
            EXPECT_EQ(Findings(*db), "");
            KeepWritten(path, "random-" + table.name + "-" + fx.file.filename().string(),
                        fx.password);
        }
    }
    EXPECT_GE(tables, 10);
    EXPECT_GT(refused, 10);
}

// A table whose usage maps must grow as Access lets them: an inline map whose window lies past
// the file's end moves down to the new pages, and a reference map without bitmap pages gains one.
// The test databases never need either (every window starts at page 0 and covers the file), so
// the maps of an empty table are set to these states, which the format allows and the checker
// passes, and rows enough for several pages are inserted.
TEST_F(WriterTest, UsageMapsMoveTheirWindowOrGainAMapPage) {
    struct Case {
        const char* file;
        const char* table;
        std::uint8_t kind; // 0 inline, 1 reference
    };
    const Case cases[] = {{"jackcess/testV1997.mdb", "Table2", 0},
                          {"jackcess/testV1997.mdb", "Table2", 1},
                          {"jackcess/testIndexPropertiesV2000.mdb", "TableIgnoreNulls1_temp", 0},
                          {"jackcess/testIndexPropertiesV2000.mdb", "TableIgnoreNulls1_temp", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table + " kind " + std::to_string(c.kind));
        const std::string path = Copy(kData / "public" / c.file);
        std::uint32_t window = 0;
        const TableDef t = *Database::Open(path, "")->FindTable(c.table);
        {
            const auto db = Database::Open(path, "");
            ASSERT_TRUE(t.ownedPages.pages.empty() && t.freeSpacePages.pages.empty());
            const Format f = db->GetVersion() == Version::Jet3 ? Format::Jet3() : Format::Jet4();
            window = (db->PageCount() + 64) / 8 * 8;
            std::string bytes = kw::test::ReadFile(path);
            for (const UsageMap* map : {&t.ownedPages, &t.freeSpacePages}) {
                const RowSlotBytes row = RowBytesOnPage(*db->ReadPage(map->page), f, map->row);
                const std::size_t at = std::size_t{map->page} * f.pageSize + row.start;
                std::fill(bytes.begin() + at, bytes.begin() + at + (row.end - row.start), 0);
                bytes[at] = static_cast<char>(c.kind);
                for (int i = 0; c.kind == 0 && i < 4; ++i)
                    bytes[at + 1 + i] = static_cast<char>(window >> (8 * i));
            }
            kw::test::WriteFile(path, bytes);
        }
        ASSERT_EQ(Findings(*Database::Open(path, "")), "") << "the maps as set";
        Rows expected;
        {
            auto w = Writer::Open(path, "");
            w->Begin();
            for (std::int64_t i = 0; i < 300; ++i) {
                // A unique text first, then texts of a few lengths (never empty, which mdb-export
                // shows as NULL) and NULLs.
                Row row{"rij " + std::to_string(i)};
                for (std::size_t k = 1; k < t.columns.size(); ++k)
                    row.push_back(k % 3 == 0 ? Value{} : Value{std::string(1 + (i + k) % 7, 'x')});
                w->Insert(c.table, row);
                expected.insert(Printed(row));
                if (i == 150)
                    w->Commit(), w->Begin(); // a second transaction finds the map as changed
            }
            w->Commit();
        }
        const auto db = Database::Open(path, "");
        const TableDef after = *db->FindTable(c.table);
        EXPECT_EQ(RowsOf(*db, after), expected);
        EXPECT_EQ(Findings(*db), "");
        EXPECT_GE(after.ownedPages.pages.size(), 2u);
        if (c.kind == 0)
            EXPECT_LT(after.ownedPages.pages.front(), window) << "the window moved down";
        else
            EXPECT_EQ(after.ownedPages.mapPages.size(), 1u) << "a map page was added";
        KeepWritten(
            path, "maps" + std::to_string(c.kind) + "-" + fs::path(c.file).filename().string(), "");
    }
}

// Rows inserted in random order under long text keys, so that few entries fit on an index page
// and the tree grows to several levels of intermediate pages, and the file grows past the pages
// that the global map's inline window covers; then every row deleted and the new ones inserted
// again into the pages given back. Each file passes the checker (which finds every row from the
// root), and the index's leaves lead to exactly the rows of the model.
TEST_F(WriterTest, IndexesGrowToSeveralLevels) {
    struct Case {
        const char* file;
        const char* password;
        const char* table;
        const char* index;
        int rows;
        int depth;          // levels of intermediate pages at least
        std::uint32_t past; // the pages the global map's inline window covers
        std::function<Row(int)> row;
    };
    const auto name = [](int i, std::size_t length) {
        std::string s = "k" + std::to_string(100000 + i * 7919 % 100000);
        return s + std::string(length - s.size(), 'a' + i % 26);
    };
    const Case cases[] = {
        {"public/jackcess/testIndexCodesV1997.mdb", "", "Table10", "PrimaryKey", 3000, 3, 1024,
         [&](int i) {
             return Row{name(i, 250), i % 3 == 0};
         }},
        {"picbase/picbase-V2000-text.pbd", "kolibrie", "pictogram", "naam", 5000, 2, 512,
         [&](int i) {
             return Row{std::int64_t{5000 + i}, "d" + std::to_string(i), name(i, 100)};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table);
        const std::string path = Copy(kData / c.file);
        Rows expected;
        {
            const auto before = Database::Open(path, c.password);
            expected = RowsOf(*before, *before->FindTable(c.table));
        }
        std::vector<int> order(static_cast<std::size_t>(c.rows));
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        // A writer per transaction, each reading the tree that the one before wrote.
        const auto insertAll = [&] {
            for (std::size_t k = 0; k < order.size(); k += 500) {
                auto w = Writer::Open(path, c.password);
                w->Begin();
                for (std::size_t i = k; i < std::min(order.size(), k + 500); ++i) {
                    w->Insert(c.table, c.row(order[i]));
                    expected.insert(Printed(c.row(order[i])));
                }
                w->Commit();
            }
        };
        insertAll();
        // Pages beside the map pages of the table's map of pages with free space: the delete below
        // gives every data page room again, and the map that names them may need a page of its
        // own for that.
        const auto pagesBesideFreeMap = [&](const Database& db) {
            return db.PageCount() - db.FindTable(c.table)->freeSpacePages.mapPages.size();
        };
        std::size_t grown = 0;
        {
            const auto db = Database::Open(path, c.password);
            EXPECT_EQ(Findings(*db), "");
            grown = pagesBesideFreeMap(*db);
            EXPECT_GT(grown, c.past);
        }
        // Every row deleted and the new ones inserted again: the pages the index gave back are
        // taken again before the file grows.
        EXPECT_EQ(Writer::Open(path, c.password)->Delete(c.table, {}), int(expected.size()));
        EXPECT_EQ(Findings(*Database::Open(path, c.password)), "");
        expected.clear();
        insertAll();
        const auto db = Database::Open(path, c.password);
        const TableDef table = *db->FindTable(c.table);
        EXPECT_EQ(RowsOf(*db, table), expected);
        EXPECT_EQ(Findings(*db), "");
        EXPECT_LE(pagesBesideFreeMap(*db), grown);
        const IndexData* data = nullptr;
        for (const LogicalIndex& li : table.indexes)
            for (const IndexData& d : table.indexData)
                if (li.name == c.index && d.number == li.dataNumber)
                    data = &d;
        ASSERT_NE(data, nullptr);
        IndexPages pages(*db);
        int depth = 0;
        for (auto page = pages.Get(table, data->rootPage); page->type == PageType::IndexNode;
             page = pages.Get(table, page->entries.front().child))
            ++depth;
        EXPECT_GE(depth, c.depth);
        Rows viaIndex;
        ForEachIndexEntry(pages, table, *data, [&](const IndexEntry& e, std::uint32_t) {
            viaIndex.insert(Printed(db->ReadRow(table, e.row).value_or(Row{})));
        });
        EXPECT_EQ(viaIndex, expected);
        KeepWritten(path, "deep-" + fs::path(c.file).filename().string(), c.password);
    }
}

// The catalogue's row of table `name`: Id, ParentId, Type, Owner and Flags.
Row CatalogueRow(const Database& db, const std::string& name) {
    const TableDef objects = *db.FindTable("MSysObjects");
    Row out;
    db.ForEachRow(objects, [&](RowId, const Row& row) {
        std::map<std::string, Value> byName;
        for (std::size_t i = 0; i < row.size(); ++i)
            byName[objects.columns[i].name] = row[i];
        if (byName["Name"] == Value{name})
            out = {byName["Id"], byName["ParentId"], byName["Type"], byName["Owner"],
                   byName["Flags"]};
    });
    return out;
}

// Tables that Access 97 made in the fixtures, made again by CreateTable with the same columns and
// indexes in another Access 97 file and filled with the same rows: their definitions read back
// field for field as Access's, their catalogue rows as Access's (but for the Id, the definition's
// page), their rows as Access's (those that Windows-1252 can hold), and the file is sound.
TEST_F(WriterTest, CreatedTablesReadAsAccess97MadeTheSame) {
    const std::pair<const char*, const char*> cases[] = {{"testIndexCodesV1997.mdb", "Table1"},
                                                         {"testIndexCodesV1997.mdb", "Table2"},
                                                         {"testIndexCodesV1997.mdb", "Table12"},
                                                         {"delTestV1997.mdb", "Table"}};
    const std::string path = Copy(kData / "public" / "jackcess" / "delTestV1997.mdb");
    for (const auto& [file, table] : cases) {
        SCOPED_TRACE(std::string(file) + " " + table);
        const auto access = Database::Open((kData / "public" / "jackcess" / file).string());
        const TableDef made = *access->FindTable(table);
        std::vector<NewColumn> columns;
        for (const Column& c : made.columns)
            columns.push_back({c.name, c.type, c.type == Type::Text ? c.length : std::uint16_t{0}});
        std::vector<NewIndex> indexes;
        for (const LogicalIndex& x : made.indexes) {
            const IndexData& data = made.indexData[static_cast<std::size_t>(x.dataNumber)];
            NewIndex& index = indexes.emplace_back(
                NewIndex{x.name, {}, x.kind == IndexKind::Primary, (data.flags & 1) != 0});
            for (const IndexColumn& c : data.columns)
                index.columns.push_back(made.ColumnByNumber(c.columnNumber)->name);
        }
        const std::string name = std::string("new") + table;
        Rows rows;
        {
            auto w = Writer::Open(path, "");
            w->Begin();
            w->CreateTable(name, columns, indexes);
            // Rows with bytes that Windows-1252 leaves undefined can't be written again.
            access->ForEachRow(made, [&](RowId, const Row& row) {
                for (std::size_t i = 0; i < row.size(); ++i)
                    if (!Packable(made.columns[i], row[i]))
                        return;
                w->Insert(name, row);
                rows.insert(Printed(row));
            });
            w->Commit();
        }
        const auto db = Database::Open(path);
        const TableDef ours = *db->FindTable(name);
        EXPECT_EQ(ours.tableType, made.tableType);
        EXPECT_EQ(ours.rowCount, rows.size());
        ASSERT_EQ(ours.columns.size(), made.columns.size());
        for (std::size_t i = 0; i < made.columns.size(); ++i) {
            const Column &a = ours.columns[i], &b = made.columns[i];
            // Precision and scale, which only decimal columns use, are 1 and 0 in four of the five
            // Access 97 files here, as CreateTable writes them, and 0 and 0 in the fifth.
            EXPECT_EQ(std::tie(a.name, a.type, a.number, a.fixed, a.varIndex, a.length, a.flags,
                               a.sortOrder, a.compressed),
                      std::tie(b.name, b.type, b.number, b.fixed, b.varIndex, b.length, b.flags,
                               b.sortOrder, b.compressed))
                << a.name;
            // Access leaves whatever was there in a variable column's fixed offset.
            if (b.fixed) {
                EXPECT_EQ(a.fixedOffset, b.fixedOffset) << a.name;
            }
        }
        ASSERT_EQ(ours.indexes.size(), made.indexes.size());
        ASSERT_EQ(ours.indexData.size(), made.indexData.size());
        for (const LogicalIndex& b : made.indexes) {
            const auto a = std::find_if(ours.indexes.begin(), ours.indexes.end(),
                                        [&](const LogicalIndex& x) { return x.name == b.name; });
            ASSERT_NE(a, ours.indexes.end()) << b.name;
            EXPECT_EQ(std::tie(a->kind, a->relatedIndex, a->relatedTablePage, a->cascadeUpdates,
                               a->cascadeDeletes),
                      std::tie(b.kind, b.relatedIndex, b.relatedTablePage, b.cascadeUpdates,
                               b.cascadeDeletes))
                << b.name;
            const IndexData &x = ours.indexData[static_cast<std::size_t>(a->dataNumber)],
                            &y = made.indexData[static_cast<std::size_t>(b.dataNumber)];
            EXPECT_EQ(x.flags, y.flags) << b.name;
            ASSERT_EQ(x.columns.size(), y.columns.size()) << b.name;
            for (std::size_t k = 0; k < x.columns.size(); ++k)
                EXPECT_EQ(std::tie(x.columns[k].columnNumber, x.columns[k].ascending),
                          std::tie(y.columns[k].columnNumber, y.columns[k].ascending));
        }
        Row catalogued = CatalogueRow(*db, name), expected = CatalogueRow(*access, table);
        ASSERT_EQ(catalogued.size(), 5u);
        ASSERT_EQ(expected.size(), 5u);
        EXPECT_EQ(catalogued[0], Value{std::int64_t{ours.defPage}});
        catalogued[0] = expected[0];
        EXPECT_EQ(catalogued, expected);
        EXPECT_EQ(RowsOf(*db, ours), rows);
        EXPECT_GT(rows.size(), 0u);
        EXPECT_EQ(Findings(*db), "");
    }
    KeepWritten(path, "created-delTestV1997.mdb", "");
}

// What CreateTable refuses, and tables made in a transaction that is undone, leave the file byte
// for byte as it was; a name taken in the open transaction is taken.
TEST_F(WriterTest, RefusedOrUndoneTablesLeaveTheFileAsItWas) {
    const std::string jet3 = "public/jackcess/delTestV1997.mdb";
    const std::vector<NewColumn> nr{{"nr", Type::Long}};
    const std::vector<NewIndex> none;
    struct Case {
        std::string file, table;
        std::vector<NewColumn> columns;
        std::vector<NewIndex> indexes;
        const char* why;
    };
    const Case cases[] = {
        {"picbase/picbase-V2000-none.pbd", "nieuw", nr, none, "only in Access 97"},
        {jet3, "TABLE", nr, none, "holds an object of that name"},
        {jet3, "MSysObjects", nr, none, "holds an object of that name"},
        {jet3, std::string(65, 't'), nr, none, "64 characters"},
        {jet3, "nieuw", {{std::string(65, 'c'), Type::Long}}, none, "64 characters"},
        {jet3, "a.b", nr, none, "doesn't allow in names"},
        {jet3, "\xC4\x80", nr, none, "Windows-1252 doesn't have"},
        {jet3, "nieuw", {{"x", Type::Double}}, none, "creates Long and Text"},
        {jet3, "nieuw", {{"x", Type::Text, 0}}, none, "1 to 255"},
        {jet3, "nieuw", {{"x", Type::Text, 256}}, none, "1 to 255"},
        {jet3, "nieuw", {}, none, "1 to 255 columns"},
        {jet3, "nieuw", {{"x", Type::Long}, {"X", Type::Long}}, none, "two columns"},
        {jet3, "nieuw", nr, {{"i", {"y"}}}, "doesn't have"},
        {jet3, "nieuw", nr, {{"i", {"nr", "NR"}}}, "twice"},
        {jet3, "nieuw", nr, {{"i", {"nr"}}, {"I", {"nr"}}}, "two indexes"},
        {jet3, "nieuw", nr, {{"a", {"nr"}, true, true}, {"b", {"nr"}, true, true}}, "one primary"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string path = Copy(kData / c.file);
        const std::string before = kw::test::ReadFile(path);
        std::string error;
        try {
            Writer::Open(path, "kolibrie")->CreateTable(c.table, c.columns, c.indexes);
        } catch (const JetError& e) {
            error = e.what();
        }
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_TRUE(kw::test::ReadFile(path) == before) << "a refusal wrote";
    }
    const std::string path = Copy(kData / jet3);
    const std::string before = kw::test::ReadFile(path);
    {
        auto w = Writer::Open(path, "");
        w->Begin();
        w->CreateTable("nieuw", nr, {{"PrimaryKey", {"nr"}, true, true}});
        w->Insert("nieuw", {std::int64_t{1}});
        EXPECT_THROW(w->CreateTable("Nieuw", nr, none), JetError);
        w->Insert("nieuw", {std::int64_t{2}});
        w->Rollback();
        EXPECT_THROW(w->Insert("nieuw", {std::int64_t{3}}), JetError);
    }
    EXPECT_TRUE(kw::test::ReadFile(path) == before) << "an undone table stayed";
    EXPECT_FALSE(Database::Open(path)->FindTable("nieuw"));
}

// A password that the writer sets is the only one that opens the file, in Access 97 and Jet 4
// files; cleared, any opens it; one the file can't hold is refused with the file unchanged.
TEST_F(WriterTest, ASetPasswordIsTheOnlyOneThatOpensTheFile) {
    const std::string password = "Geheim-\xC3\xA9\xC3\xAF";
    const std::pair<const char*, const char*> files[] = {
        {"public/jackcess/delTestV1997.mdb", ""}, {"picbase/picbase-V2000-none.pbd", "kolibrie"}};
    for (const auto& [file, old] : files) {
        SCOPED_TRACE(file);
        const std::string path = Copy(kData / file);
        const auto rowsOf = [&](const std::string& p) {
            const auto db = Database::Open(path, p);
            std::map<std::string, Rows> out;
            for (const TableDef& t : db->Tables())
                out[t.name] = RowsOf(*db, t);
            return out;
        };
        const auto rows = rowsOf(old);
        const std::string before = kw::test::ReadFile(path);
        // Access 97 keeps the password in Windows-1252, which has no U+0100.
        std::vector<std::string> refused{std::string(21, 'x')};
        if (Database::Open(path, old)->GetVersion() == Version::Jet3)
            refused.push_back("a\xC4\x80");
        for (const std::string& r : refused)
            EXPECT_THROW(Writer::Open(path, old)->SetPassword(r), JetError) << r;
        {
            auto w = Writer::Open(path, old);
            w->Begin();
            EXPECT_THROW(w->SetPassword(password), JetError);
        }
        EXPECT_TRUE(kw::test::ReadFile(path) == before) << "a refusal wrote";
        Writer::Open(path, old)->SetPassword(password);
        for (const std::string& wrong : {std::string(), std::string("kolibrie"), password + "x"})
            EXPECT_THROW(Database::Open(path, wrong), JetError) << wrong;
        EXPECT_TRUE(Database::Open(path, password)->HasPassword());
        EXPECT_EQ(rowsOf(password), rows);
        KeepWritten(path, "password-" + fs::path(file).filename().string(), password);
        Writer::Open(path, password)->SetPassword("");
        EXPECT_FALSE(Database::Open(path, "anything")->HasPassword());
    }
}

using Entry = UpdateEntry;
using Op = Comparison::Op;

// The update's rows, computed from the file's rows by the update's rules.
// With `categories` below 10, the update stops at that category's insert (a name that a unique
// index already holds), after its first deletes.
std::map<std::string, Rows>
ExpectedAfterUpdate(const Database& db, const std::vector<Entry>& catalogue, int categories = 10) {
    std::map<std::string, std::vector<Row>> t;
    for (const char* name : {"categorie", "pictogram", "categorie_pictogram"})
        db.ForEachRow(*db.FindTable(name), [&](RowId, const Row& r) { t[name].push_back(r); });
    const auto n = [](const Row& r, int i) { return std::get<std::int64_t>(r[i]); };
    std::erase_if(t["categorie"], [&](const Row& r) { return n(r, 0) > 28 && n(r, 0) < 10000; });
    std::erase_if(t["categorie_pictogram"], [&](const Row& r) {
        return (n(r, 1) > 28 && n(r, 0) < 10000) || n(r, 2) > 1172;
    });
    std::erase_if(t["pictogram"], [&](const Row& r) { return n(r, 0) > 1172; });
    for (int i = 0; i < categories; ++i)
        t["categorie"].push_back({std::int64_t{29 + i}, std::int64_t{1141},
                                  std::string(kUpdateCategories[i]), std::int64_t{1}});
    for (const Entry& e : categories == 10 ? catalogue : std::vector<Entry>{}) {
        t["pictogram"].push_back({e.number, "i" + std::to_string(e.number), e.name});
        std::int64_t highest = 0;
        for (const Row& r : t["categorie_pictogram"])
            if (n(r, 1) == e.category)
                highest = std::max(highest, n(r, 0));
        t["categorie_pictogram"].push_back({highest + 1, e.category, e.number});
    }
    std::map<std::string, Rows> out;
    for (auto& [name, rows] : t)
        for (const Row& r : rows)
            out[name].insert(Printed(r));
    return out;
}

std::map<std::string, Rows> AllRows(const Database& db) {
    std::map<std::string, Rows> out;
    for (const char* name : {"categorie", "pictogram", "categorie_pictogram"})
        out[name] = RowsOf(db, *db.FindTable(name));
    return out;
}

// The 938 statements of the update on every picbase file: the rows the update's rules give, twice
// in a row the same, and a sound file with every index kept.
TEST_F(WriterTest, TheUpdatesStatementsGiveTheRowsOfItsRules) {
    const std::vector<Entry> catalogue = ReadUpdateCatalogue(KW_CATALOGUE_FILE);
    ASSERT_EQ(catalogue.size(), 308u);
    // The Jet 4 variants, and the Access 97 one that the build makes.
    std::vector<fs::path> files{KW_PICBASE_V1997};
    for (const auto& e : fs::directory_iterator(kData / "picbase"))
        if (e.path().extension() == ".pbd")
            files.push_back(e.path());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string path = Copy(file);
        // Where category names are unique, "Gezondheid" (33) is there already as 12, and the
        // update stops at its insert as it would through the Access driver.
        const auto before = Database::Open(path, "kolibrie");
        const TableDef categorie = *before->FindTable("categorie");
        const bool uniqueNames = std::any_of(
            categorie.indexData.begin(), categorie.indexData.end(), [](const IndexData& x) {
                return (x.flags & IndexFlag::Unique) && x.columns.size() == 1 &&
                       x.columns[0].columnNumber == 2;
            });
        const std::map<std::string, Rows> expected =
            ExpectedAfterUpdate(*before, catalogue, uniqueNames ? 4 : 10);
        for (int run = 0; run < 2; ++run) {
            auto w = Writer::Open(path, "kolibrie");
            if (uniqueNames) {
                std::string error;
                try {
                    RunUpdateScript(*w, catalogue);
                } catch (const JetError& e) {
                    error = e.what();
                }
                EXPECT_NE(error.find("allows each value once"), std::string::npos) << error;
            } else {
                EXPECT_EQ(RunUpdateScript(*w, catalogue), 938);
            }
            w.reset();
            const auto db = Database::Open(path, "kolibrie");
            EXPECT_EQ(AllRows(*db), expected) << "run " << run;
            EXPECT_EQ(Findings(*db), "");
            KeepWritten(path, "updated-" + file.filename().string(), "kolibrie");
        }
    }
}

// Statements of every kind, one a transaction of several; `after` runs after each.
void Statements(Writer& w, const std::function<void()>& after) {
    w.Begin();
    for (std::int64_t i = 0; i < 20; ++i)
        w.Insert("categorie_pictogram", {i + 1, std::int64_t{40}, 2000 + i});
    w.Commit();
    after();
    w.Delete("categorie_pictogram", {{"categorie_nr", Op::Equal, 40}, {"nr", Op::Less, 100}});
    after();
    w.Insert("pictogram", {std::int64_t{5000}, "i5000", "Ge\xC3\xAFnterviewd"});
    after();
    w.Delete("pictogram", {{"nr", Op::GreaterEqual, 1100}});
    after();
    w.Delete("categorie", {{"nr", Op::NotEqual, 3}});
    after();
}

// A writer stopped (as by a crash) or failed once (as by a full disk) after each one of its writes,
// flushes, renames and removals: the file is always exactly the state after the statements that
// succeeded, and sound.
TEST_F(WriterTest, AnInterruptedStatementLeavesTheWholeBeforeOrTheWholeAfter) {
    const std::string path = Copy(kData / "picbase" / "picbase-V2000-full.pbd");
    std::vector<std::string> states{kw::test::ReadFile(path)};
    test::FaultyFileSystem counting;
    int steps = 0;
    {
        auto w = Writer::Open(path, "kolibrie", counting);
        const int atOpen = counting.Operations();
        Statements(*w, [&] {
            states.push_back(kw::test::ReadFile(path));
            EXPECT_EQ(Findings(*Database::Open(path, "kolibrie")), "");
        });
        steps = counting.Operations() - atOpen;
    }
    ASSERT_EQ(states.size(), 6u);
    ASSERT_GE(steps, 25);
    for (const auto fault :
         {test::FaultyFileSystem::Fault::Stop, test::FaultyFileSystem::Fault::Fail}) {
        for (int k = 0; k <= steps; ++k) {
            SCOPED_TRACE("fault " + std::to_string(int(fault)) + " after step " +
                         std::to_string(k));
            kw::test::WriteFile(path, states.front());
            test::FaultyFileSystem files;
            auto w = Writer::Open(path, "kolibrie", files);
            files.Arm(k, fault);
            std::size_t done = 0;
            try {
                Statements(*w, [&] { ++done; });
            } catch (const JetError&) {
            }
            w.reset();
            // Byte for byte a state that the checker passed above.
            EXPECT_TRUE(kw::test::ReadFile(path) == states[done]) << done << " done";
        }
    }
}

// A process running the update through the writer, killed at random moments and run again from
// the start: each time the file is sound and holds whole statements (every pictogram the update
// added has its link, but the last one added may lack it).
TEST_F(WriterTest, AnUpdateKilledAtRandomMomentsLeavesWholeStatements) {
    const std::string path = Copy(kData / "picbase" / "picbase-V2000-full.pbd");
    const std::vector<Entry> catalogue = ReadUpdateCatalogue(KW_CATALOGUE_FILE);
    std::mt19937 random(17);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                auto w = Writer::Open(path, "kolibrie");
                RunUpdateScript(*w, catalogue);
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(50000 + random() % 400000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0) << status;
        const auto db = Database::Open(path, "kolibrie");
        EXPECT_EQ(Findings(*db), "");
        std::set<std::int64_t> added, linked;
        db->ForEachRow(*db->FindTable("pictogram"), [&](RowId, const Row& r) {
            if (std::get<std::int64_t>(r[0]) > 1172)
                added.insert(std::get<std::int64_t>(r[0]));
        });
        db->ForEachRow(*db->FindTable("categorie_pictogram"), [&](RowId, const Row& r) {
            if (std::get<std::int64_t>(r[2]) > 1172)
                linked.insert(std::get<std::int64_t>(r[2]));
        });
        // Between deleting the added pictograms and their links, links stand alone.
        if (!added.empty()) {
            EXPECT_TRUE(std::includes(added.begin(), added.end(), linked.begin(), linked.end()));
            EXPECT_LE(added.size(), linked.size() + 1);
        }
    }
}

} // namespace
} // namespace kw::jet
