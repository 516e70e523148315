// The reader against Access-made and Jackcess-made files: their dumps, the rows that their index
// entries point to, and clear refusals of damaged or foreign files.
#include "db/jet/Dump.h"
#include "db/jet/Jet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using namespace kw::jet;
namespace fs = std::filesystem;

const fs::path kData = KW_JET_TESTDATA;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::uint8_t> ReadBytes(const fs::path& p) {
    const std::string s = ReadText(p);
    return {s.begin(), s.end()};
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep) {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

std::string Dump(const Database& db) {
    std::ostringstream out;
    WriteDump(db, out);
    return out.str();
}

// Compares a dump with an expected one line by line; where `floatsByValue`, FLOAT and DOUBLE
// fields need only read back as the same number (the public dumps print them as Java does).
void ExpectSameDump(const std::string& actual, const std::string& expected, bool floatsByValue,
                    const std::string& what) {
    const auto a = Split(actual, '\n'), e = Split(expected, '\n');
    ASSERT_EQ(a.size(), e.size()) << what;
    std::vector<std::string> types;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (e[i].rfind("# table\t", 0) == 0) {
            types.clear();
        } else if (e[i].rfind("# column\t", 0) == 0) {
            types.push_back(Split(e[i], '\t')[2]);
        }
        if (!floatsByValue || e[i].empty() || e[i][0] == '#') {
            ASSERT_EQ(a[i], e[i]) << what << " line " << i + 1;
            continue;
        }
        const auto af = Split(a[i], '\t'), ef = Split(e[i], '\t');
        ASSERT_EQ(af.size(), ef.size()) << what << " line " << i + 1;
        for (std::size_t k = 0; k < ef.size(); ++k) {
            if (k < types.size() && types[k] == "FLOAT" && ef[k] != "\\N") {
                EXPECT_EQ(std::strtof(af[k].c_str(), nullptr), std::strtof(ef[k].c_str(), nullptr))
                    << what << " line " << i + 1;
            } else if (k < types.size() && types[k] == "DOUBLE" && ef[k] != "\\N") {
                EXPECT_EQ(std::strtod(af[k].c_str(), nullptr), std::strtod(ef[k].c_str(), nullptr))
                    << what << " line " << i + 1;
            } else {
                EXPECT_EQ(af[k], ef[k]) << what << " line " << i + 1;
            }
        }
    }
}

TEST(JetDump, ReproducesEveryTestDatabase) {
    struct Case {
        fs::path file, dump;
        std::string password;
        bool exact;
    };
    std::vector<Case> cases;
    for (const auto& entry : fs::directory_iterator(kData / "picbase")) {
        if (entry.path().extension() == ".pbd") {
            cases.push_back(
                {entry.path(), fs::path(entry.path()).replace_extension(".tsv"), "kolibrie", true});
        }
    }
    for (const auto& dir : {"jackcess", "mdb-reader"}) {
        for (const auto& entry : fs::directory_iterator(kData / "public" / dir)) {
            cases.push_back({entry.path(),
                             kData / "public/dumps" / entry.path().stem().concat(".tsv"),
                             "password", false});
        }
    }
    ASSERT_EQ(cases.size(), 23u);
    for (const Case& c : cases) {
        // A cache of a few pages reads the same as a roomy one.
        for (const std::size_t cachePages : {std::size_t{3}, std::size_t{256}}) {
            const auto db = Database::Open(c.file.string(), c.password, cachePages);
            ExpectSameDump(Dump(*db), ReadText(c.dump), !c.exact, c.file.filename().string());
            for (const TableDef& t : db->Tables()) {
                for (const Column& col : t.columns) {
                    if (col.type == Type::Text) {
                        EXPECT_EQ(col.sortOrder, 1033)
                            << c.file << " " << t.name << "." << col.name;
                    }
                }
            }
        }
    }
}

// Every index entry that Jackcess listed names a row; that row holds the entry's values.
TEST(JetRows, RowIdsAreWhereTheIndexesPoint) {
    const auto db = Database::Open((kData / "picbase/picbase-V2000-text.pbd").string(), "kolibrie");
    const std::pair<const char*, std::vector<const char*>> indexes[] = {
        {"pictogram.naam", {"naam"}},
        {"pictogram.PrimaryKey", {"nr"}},
        {"categorie_pictogram.PrimaryKey", {"categorie_nr", "nr"}},
        {"categorie.omschrijving", {"omschrijving"}},
    };
    for (const auto& [index, columns] : indexes) {
        const std::string table = Split(index, '.')[0];
        const auto def = db->FindTable(table);
        ASSERT_TRUE(def) << table;
        std::size_t entries = 0;
        for (const std::string& line :
             Split(ReadText(kData / ("keys/picbase-V2000-text." + std::string(index) + ".tsv")),
                   '\n')) {
            if (line.empty()) {
                continue;
            }
            const auto f = Split(line, '\t');
            const auto where = Split(f[1], ':');
            const RowId id{static_cast<std::uint32_t>(std::stoul(where[0])),
                           static_cast<std::uint16_t>(std::stoul(where[1]))};
            const auto row = db->ReadRow(*def, id);
            ASSERT_TRUE(row) << index << " " << f[1];
            for (std::size_t k = 0; k < columns.size(); ++k) {
                for (std::size_t c = 0; c < def->columns.size(); ++c) {
                    if (def->columns[c].name == columns[k]) {
                        EXPECT_EQ(FormatValue(def->columns[c], (*row)[c]), f[2 + k])
                            << index << " " << f[1];
                    }
                }
            }
            ++entries;
        }
        EXPECT_EQ(entries, def->rowCount) << index;
    }
    // A scan finds each row where ReadRow does, and no more rows than the definition counts.
    for (const TableDef& t : db->Tables()) {
        std::uint32_t rows = 0;
        db->ForEachRow(t, [&](RowId id, const std::vector<Value>& values) {
            ++rows;
            EXPECT_EQ(db->ReadRow(t, id), values);
        });
        EXPECT_EQ(rows, t.rowCount) << t.name;
    }
    EXPECT_TRUE(db->FindTable("CATEGORIE_pictogram"));
    EXPECT_FALSE(db->FindTable("categorie_pictogra"));
    const auto catalogue = db->FindTable("msysobjects");
    ASSERT_TRUE(catalogue);
    EXPECT_TRUE(catalogue->system);
    EXPECT_EQ(catalogue->defPage, 2u);
    const auto all = db->Tables(true);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const auto& t) { return !t.system; }), 3);
    EXPECT_EQ(db->Tables().size(), 3u);
}

// Damaged and foreign files, each refused with its own description.
TEST(JetOpen, RefusesWhatItCannotReadWithAClearReason) {
    const auto jet4 = ReadBytes(kData / "picbase/picbase-V2000-text.pbd");
    const auto jet3 = ReadBytes(kData / "public/jackcess/testV1997.mdb");
    // Sets a Jet 3 password: the field is zero there, so the masked bytes are the key stream.
    auto withJet3Password = [&](std::string pw) {
        auto b = jet3;
        for (std::size_t i = 0; i < pw.size(); ++i) {
            b[0x42 + i] ^= static_cast<std::uint8_t>(pw[i]);
        }
        return b;
    };
    // Where Table1 of the Jet 3 file keeps its first row and its owned-pages map.
    std::size_t table1Data = 0, table1Map = 0;
    {
        const auto db = Database::Open(PageFile::InMemory(jet3));
        const auto t = db->FindTable("Table1");
        table1Data = std::size_t{t->ownedPages.pages.at(0)} * 2048 + 0x0A;
        const auto mapPage = db->ReadPage(t->ownedPages.page);
        table1Map = std::size_t{t->ownedPages.page} * 2048 +
                    (((*mapPage)[0x0A + 2 * t->ownedPages.row] |
                      ((*mapPage)[0x0B + 2 * t->ownedPages.row] << 8)) &
                     0x1FFF);
    }
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* password;
        const char* expected; // in the description; null when the file must dump
    };
    auto changed = [](std::vector<std::uint8_t> b, std::function<void(decltype(b)&)> f) {
        f(b);
        return b;
    };
    const Case cases[] = {
        {"empty file", {}, "", "not an Access database"},
        {"wrong signature", changed(jet4, [](auto& b) { b[4] = 'X'; }), "kolibrie",
         "not an Access database"},
        {"Access 2007", changed(jet4, [](auto& b) { b[0x14] = 2; }), "kolibrie",
         "Access 2007 or later"},
        {"encrypted", changed(jet4, [](auto& b) { b[0x3E] ^= 0x5A; }), "kolibrie", "encrypted"},
        {"not whole pages", changed(jet4, [](auto& b) { b.resize(b.size() - 100); }), "kolibrie",
         "truncated"},
        {"pages cut off", changed(jet4, [](auto& b) { b.resize(30 * 4096); }), "kolibrie",
         "beyond the end of the file"},
        {"wrong password", jet4, "Kolibrie", "Not a valid password"},
        {"no password given", jet4, "", "Not a valid password"},
        {"Jet 4 password", ReadBytes(kData / "public/mdb-reader/V2003_with-password.mdb"),
         "passwor", "Not a valid password"},
        {"Jet 3 password", withJet3Password("geheim"), "geheim", nullptr},
        {"Jet 3 wrong password", withJet3Password("geheim"), "geheim2", "Not a valid password"},
        {"no password, any given", jet3, "whatever", nullptr},
        {"Jet 3 in code page 1250", changed(jet3, [](auto& b) { b[0x3C] ^= 0xE4 ^ 0xE2; }), "",
         "code page 1250"},
        {"catalogue page not a definition", changed(jet3, [](auto& b) { b[2 * 2048] = 1; }), "",
         "not a table definition page"},
        {"row outside its page", changed(jet3, [&](auto& b) { b[table1Data + 1] |= 0x1F; }), "",
         "has offsets outside its page"},
        {"usage map of unknown kind", changed(jet3, [&](auto& b) { b[table1Map] = 7; }), "",
         "usage map has an unknown kind"},
    };
    EXPECT_THROW(Database::Open((kData / "no such file.mdb").string()), JetError);
    for (const Case& c : cases) {
        try {
            const auto db = Database::Open(PageFile::InMemory(c.bytes), c.password);
            const std::string dump = Dump(*db);
            EXPECT_EQ(c.expected, nullptr) << c.name << ": opened and dumped";
        } catch (const JetError& e) {
            ASSERT_NE(c.expected, nullptr) << c.name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}

} // namespace
