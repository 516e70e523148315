// Index keys and the consistency checker against Access-made and Jackcess-made files: the keys they
// store, sound files passing, and damaged copies made here failing with the fault they carry.
#include "db/jet/Check.h"
#include "db/jet/IndexKey.h"
#include "db/jet/IndexTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using namespace kw::jet;
namespace fs = std::filesystem;

const fs::path kData = KW_JET_TESTDATA;
constexpr std::size_t kPage = 4096; // Jet 4

std::vector<std::uint8_t> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Describe(const std::vector<Finding>& findings) {
    std::string s;
    for (const Finding& f : findings)
        s += f.ToString() + "\n";
    return s;
}

// Every index that the fixtures list entry by entry comes out of the B-tree exactly so.
TEST(JetIndexKeys, ListEveryFixtureIndexAsStored) {
    const auto db = Database::Open((kData / "picbase/picbase-V2000-text.pbd").string(), "kolibrie");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kData / "keys")) {
        if (entry.path().extension() != ".tsv")
            continue;
        // picbase-V2000-text.<table>.<index>.tsv
        const std::string stem = entry.path().stem().string();
        const std::string rest = stem.substr(stem.find('.') + 1);
        std::ostringstream out;
        WriteIndexKeys(*db, rest.substr(0, rest.find('.')), rest.substr(rest.find('.') + 1), out);
        const auto expected = ReadBytes(entry.path());
        EXPECT_EQ(out.str(), std::string(expected.begin(), expected.end())) << stem;
        ++files;
    }
    EXPECT_EQ(files, 5);
}

// Every test file is sound: every stored key equals the key computed from its row (Jet 3 text of
// testIndexCodesV1997 included). Rows whose keys have no known encoding are only those with
// characters outside the tables (Cyrillic, Greek, CJK) and one accent whose place the files leave
// open.
TEST(JetCheck, PassesEveryTestDatabase) {
    int files = 0;
    for (const char* dir : {"picbase", "public/jackcess", "public/mdb-reader"}) {
        for (const auto& entry : fs::directory_iterator(kData / dir)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".pbd" && ext != ".mdb")
                continue;
            const std::string name = entry.path().filename().string();
            const auto db =
                Database::Open(entry.path().string(), ext == ".pbd" ? "kolibrie" : "password");
            const auto findings = Check(*db);
            const auto unencodable = std::count_if(findings.begin(), findings.end(), [](auto& f) {
                return f.kind == FindingKind::Unencodable;
            });
            EXPECT_EQ(static_cast<std::size_t>(unencodable), findings.size()) << name << "\n"
                                                                              << Describe(findings);
            EXPECT_EQ(unencodable, name == "testUnicodeCompV2003.mdb" ? 4 : 0)
                << name << "\n"
                << Describe(findings);
            ++files;
        }
    }
    EXPECT_EQ(files, 23);
}

// A text key is either exactly what Access stores or reported as unknown, never guessed.
TEST(JetIndexKeys, TextOutsideTheKnownTablesIsReportedNotGuessed) {
    struct Case {
        Version version;
        std::string text;
        bool ascending;
        std::string key; // hex; empty: unencodable
    } cases[] = {
        {Version::Jet4, "Hobby's", true, "7f57644c4c766b01010101801b068000"},
        {Version::Jet4, "Crème brûlée", true,
         "7f4d69516051074c696f5e51510102020f020202020212020e00"},
        {Version::Jet4, "\xd0\x9c\xd0\xb8\xd1\x80", true, ""}, // Cyrillic
        {Version::Jet4, "\xe2\x82\xac", true, ""},             // euro sign: no Access key seen
        {Version::Jet4, "1\xc3\xa9", true, ""},                // digit before an accent
        {Version::Jet3,
         "a\xc3\x8a"
         "a",
         true, "7f6066600250"},                            // aÊa
        {Version::Jet3, "stuff", false, "808988879898ff"}, // descending inverts
        {Version::Jet3,
         "a\xef\xbf\xbd"
         "a",
         true, "7f60106000"},                   // an undefined code page byte
        {Version::Jet3, "\x1a", true, ""},      // never reached an index
        {Version::Jet3, "\xd0\x9c", true, ""},  // not in the code page
        {Version::Jet3, "1\xc3\xa9", true, ""}, // digit before an accent
    };
    for (const Case& c : cases) {
        KeyBytes out;
        std::string why;
        const bool ok = AppendTextKey(out, c.text, c.ascending, c.version, why);
        EXPECT_EQ(ok, !c.key.empty()) << c.text << ": " << why;
        if (ok)
            EXPECT_EQ(HexOf(out), c.key) << c.text;
        else
            EXPECT_FALSE(why.empty()) << c.text;
    }
}

// Offset of row `row` on data page `page` of a Jet 4 file.
std::size_t RowOffset(const std::vector<std::uint8_t>& b, std::uint32_t page, int row) {
    const std::size_t at = page * kPage + 0x0E + 2 * static_cast<std::size_t>(row);
    return page * kPage + ((b[at] | b[at + 1] << 8) & 0x1FFF);
}

// Sets (or clears) the bit of `page` in the usage map `map` of a Jet 4 file, inline (type 0: start
// page and bits) or by reference (type 1: pages of bits, each covering (4096 - 4) * 8 pages).
void Claim(std::vector<std::uint8_t>& b, const UsageMap& map, std::uint32_t page, bool on = true) {
    const std::size_t at = RowOffset(b, map.page, map.row);
    auto le32 = [&](std::size_t i) {
        return static_cast<std::uint32_t>(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | b[i + 3] << 24);
    };
    std::size_t byte = 0;
    std::uint32_t bit = page;
    if (b[at] == 0) {
        bit -= le32(at + 1);
        byte = at + 5 + bit / 8;
    } else {
        const std::uint32_t perPage = (kPage - 4) * 8;
        byte = le32(at + 1 + 4 * (page / perPage)) * kPage + 4 + (page % perPage) / 8;
        bit = page % perPage;
    }
    const auto mask = static_cast<std::uint8_t>(1 << (bit % 8));
    b[byte] = on ? b[byte] | mask : b[byte] & ~mask;
}

// Damaged copies of a sound file, each with one fault, each found as that fault.
TEST(JetCheck, FindsTheFaultOfEveryDamagedCopy) {
    const fs::path file = kData / "picbase/picbase-V2000-text.pbd";
    const auto good = ReadBytes(file);
    const auto db = Database::Open(file.string(), "kolibrie");
    const TableDef categorie = *db->FindTable("categorie");
    const TableDef pictogram = *db->FindTable("pictogram");
    const UsageMap freePages = db->FreePages();

    struct Case {
        const char* fault;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        FindingKind expected;
    } cases[] = {
        {"a key byte changed (leaf of categorie.omschrijving)",
         [](auto& b) { b[27 * kPage + 0x1E0 + 2] ^= 0x01; }, FindingKind::IndexKey},
        {"a row flagged deleted behind the indexes' back",
         [](auto& b) { b[63 * kPage + 0x0E + 2 * 5 + 1] |= 0x80; }, FindingKind::IndexDangling},
        {"the same row flagged deleted leaves the count one too high",
         [](auto& b) { b[63 * kPage + 0x0E + 2 * 5 + 1] |= 0x80; }, FindingKind::RowCount},
        {"a data page of categorie_pictogram claimed by pictogram too",
         [&](auto& b) { Claim(b, pictogram.ownedPages, 65); }, FindingKind::PageOwnedTwice},
        {"an index page claimed as a data page",
         [&](auto& b) { Claim(b, categorie.ownedPages, 27); }, FindingKind::UsageMap},
        {"a data page of categorie listed as free", [&](auto& b) { Claim(b, freePages, 63); },
         FindingKind::UsageMap},
        {"a data page of categorie left out of its map",
         [&](auto& b) { Claim(b, categorie.ownedPages, 63, false); }, FindingKind::UsageMap},
        {"an index page left out of its index's map",
         [&](auto& b) {
             for (const IndexData& d : categorie.indexData)
                 if (d.rootPage == 27)
                     Claim(b, d.usedPages, 27, false);
         },
         FindingKind::UsageMap},
        {"the row count of categorie one too high",
         [&](auto& b) { ++b[categorie.defPage * kPage + 0x10]; }, FindingKind::RowCount},
        {"an intermediate entry leading to the wrong leaf",
         [](auto& b) { b[34 * kPage + 0x1E0 + 17] = 90; }, FindingKind::IndexMissing},
        {"an intermediate page naming a tail leaf outside the chain",
         [](auto& b) { b[34 * kPage + 0x14] = 30; }, FindingKind::IndexTree},
        {"a leaf entry naming an empty row slot", [](auto& b) { b[27 * kPage + 0x1E0 + 28] = 200; },
         FindingKind::IndexDangling},
        {"an index page of another table", [](auto& b) { b[27 * kPage + 4] = 28; },
         FindingKind::Damaged},
        {"a key repeated in a unique index (categorie.PrimaryKey)",
         [](auto& b) { b[26 * kPage + 0x1E0 + 9 + 4] = 0x01; }, FindingKind::IndexDuplicate},
        {"a leaf naming the wrong page before it", [](auto& b) { b[84 * kPage + 0x0C] = 87; },
         FindingKind::IndexTree},
        {"two keys swapped on a prefix-compressed leaf (pictogram.PrimaryKey)",
         [](auto& b) { std::swap(b[54 * kPage + 0x1E0 + 4], b[54 * kPage + 0x1E0 + 9 + 1]); },
         FindingKind::IndexOrder},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.damage(bytes);
        const auto findings =
            Check(*Database::Open(PageFile::InMemory(std::move(bytes)), "kolibrie"));
        EXPECT_TRUE(std::any_of(findings.begin(), findings.end(),
                                [&](const Finding& f) { return f.kind == c.expected; }))
            << c.fault << ": expected " << KindName(c.expected) << ", got\n"
            << Describe(findings);
    }
}

} // namespace
