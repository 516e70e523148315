#include "tools/make-test-installation/DemoDatabase.h"

#include "sys/Failure.h"

#include <sqlite3.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace kw {

namespace {

// The update inserts by position, so only the column order matters to it; the names of the
// unnamed columns are ours. The foreign keys are declared for integrity checks
// (PRAGMA foreign_key_check) but not enforced: the update deletes categories 29 to 38 before
// their links, so enforcing them would make every second run fail.
constexpr const char* kSchema = R"(
CREATE TABLE categorie (
    nr INTEGER PRIMARY KEY,
    icoon_nr INTEGER NOT NULL,
    omschrijving TEXT NOT NULL,
    zichtbaar INTEGER NOT NULL
);
CREATE TABLE pictogram (
    nr INTEGER PRIMARY KEY,
    bestand TEXT NOT NULL,
    naam TEXT NOT NULL
);
CREATE TABLE categorie_pictogram (
    nr INTEGER NOT NULL,
    categorie_nr INTEGER NOT NULL REFERENCES categorie (nr),
    pictogram_nr INTEGER NOT NULL REFERENCES pictogram (nr),
    PRIMARY KEY (categorie_nr, pictogram_nr),
    UNIQUE (categorie_nr, nr)
);
CREATE INDEX categorie_pictogram_pictogram ON categorie_pictogram (pictogram_nr);
)";

constexpr std::array<const char*, kDemoCategories> kCategoryNames = {
    "Personen",        "Lichaam",   "Kleding",   "In huis",       "Keuken",   "Verzorging",
    "Eten en drinken", "Kleuren",   "Dieren",    "Spelletjes",    "Vormen",   "Getallen",
    "Muziek",          "Sport",     "Gevoelens", "Hulpverleners", "Vervoer",  "Gebouwen",
    "Activiteiten",    "Feesten",   "Weer",      "Tijd",          "Beroepen", "Planten",
    "Diversen",        "Seizoenen", "Vragen",    "Gereedschap"};

constexpr std::array<const char*, 48> kWords = {
    "Appel",     "Banaan",    "Fiets",   "Stoel",  "Tafel", "Hond",       "Kat",    "Boek",
    "Schoen",    "Jas",       "Brood",   "Melk",   "Kopje", "Bord",       "Lepel",  "Vork",
    "Mes",       "Deur",      "Raam",    "Lamp",   "Bal",   "Pop",        "Trein",  "Auto",
    "Boot",      "Vliegtuig", "Bloem",   "Boom",   "Zon",   "Regen",      "Sneeuw", "Wolk",
    "Dokter",    "Juf",       "Meester", "Slapen", "Eten",  "Drinken",    "Wassen", "Lezen",
    "Schrijven", "Zingen",    "Dansen",  "Blij",   "Boos",  "Verdrietig", "Muts",   "Sjaal"};

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

void Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw Failure("Demodatabase vullen mislukt: " + text);
    }
}

// The rows, always the same: each pictogram in one category, every fifth in a second one, with
// the links of each category numbered 1, 2, 3 ... in pictogram order.
std::string Rows() {
    std::string sql;
    std::map<int, int> lastLink;
    std::map<int, int> icon;
    std::map<std::string, int> seen;
    for (int nr = kDemoFirstPictogram; nr <= kDemoLastPictogram; ++nr) {
        const int i = nr - kDemoFirstPictogram;
        const std::string word = kWords[static_cast<std::size_t>(i) % kWords.size()];
        const int use = ++seen[word];
        const std::string name = use == 1 ? word : word + " " + std::to_string(use);
        sql += "INSERT INTO pictogram VALUES (" + std::to_string(nr) + ", 'i" + std::to_string(nr) +
               "', '" + name + "');\n";
        std::vector<int> categories{1 + (i * 11) % kDemoCategories};
        const int second = 1 + (i * 5 + 3) % kDemoCategories;
        if (i % 5 == 0 && second != categories[0])
            categories.push_back(second);
        for (int c : categories) {
            icon.try_emplace(c, nr);
            sql += "INSERT INTO categorie_pictogram VALUES (" + std::to_string(++lastLink[c]) +
                   ", " + std::to_string(c) + ", " + std::to_string(nr) + ");\n";
        }
    }
    for (int c = 1; c <= kDemoCategories; ++c)
        sql += "INSERT INTO categorie VALUES (" + std::to_string(c) + ", " +
               std::to_string(icon.at(c)) + ", '" + kCategoryNames[c - 1] + "', 1);\n";
    return sql;
}

// Claims the name: an existing file, database or not, is never opened or changed.
std::FILE* CreateNew(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f)
        throw Failure("Demodatabase '" + path +
                      "' kan niet aangemaakt worden: " + std::strerror(errno));
    return f;
}

} // namespace

extern const std::uint8_t kAccessTemplate[];
extern const std::size_t kAccessTemplateSize;

void CreateAccessDemoDatabase(const std::string& path) {
    std::FILE* f = CreateNew(path);
    const bool written =
        std::fwrite(kAccessTemplate, 1, kAccessTemplateSize, f) == kAccessTemplateSize;
    if (std::fclose(f) != 0 || !written) {
        const int error = errno;
        std::remove(path.c_str());
        throw Failure("Demodatabase '" + path +
                      "' kan niet geschreven worden: " + std::strerror(error));
    }
}

void CreateDemoDatabase(const std::string& path) {
    std::fclose(CreateNew(path));
    try {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        std::unique_ptr<sqlite3, Closer> db(raw);
        if (rc != SQLITE_OK)
            throw Failure("Demodatabase '" + path + "' kan niet geopend worden: " +
                          (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
        Exec(db.get(), std::string("BEGIN;\n") + kSchema + Rows() + "COMMIT;\n");
    } catch (const Failure&) {
        std::remove(path.c_str()); // the name was ours; leave no half-made database behind
        throw;
    }
}

} // namespace kw
