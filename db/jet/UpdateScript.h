// The statements of the database update (its deletes, the ten categories, and per catalogue entry
// a pictogram, the highest link number of its category and a link), for any engine that offers
// Insert(table, values), Delete(table, condition) and Max(table, column, condition): the writer in
// its tests, and SQLite as the benchmark's baseline.
#pragma once

#include "db/jet/JetError.h"
#include "db/jet/JetFormat.h"
#include "db/jet/Writer.h"

#include <fstream>
#include <string>
#include <vector>

namespace kw::jet {

struct UpdateEntry {
    std::int64_t number = 0, category = 0;
    std::string name; // first letter upper-cased, as the update stores it
};

/// The entries of a catalogue file (number, name and category, tab-separated).
inline std::vector<UpdateEntry> ReadUpdateCatalogue(const std::string& path) {
    std::vector<UpdateEntry> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t a = line.find('\t'), b = line.rfind('\t');
        std::u16string name = Utf8ToUtf16(line.substr(a + 1, b - a - 1));
        if (!name.empty() && ((name[0] >= u'a' && name[0] <= u'z') ||
                              (name[0] >= 0xE0 && name[0] <= 0xFE && name[0] != 0xF7)))
            name[0] = static_cast<char16_t>(name[0] - 0x20);
        out.push_back(
            {std::stoll(line.substr(0, a)), std::stoll(line.substr(b + 1)), Utf16ToUtf8(name)});
    }
    return out;
}

inline const char* const kUpdateCategories[] = {
    "School / Kantoor",    "Bijzondere dagen",    "Media",   "Natuur",
    "Gezondheid",          "Voorwerpen",          "Verkeer", "Lichamelijke verzorging",
    "Abstracte begrippen", "Sociale vaardigheden"};

/// Runs the update's statements in order; returns how many ran. Raises JetError when an insert
/// doesn't report one row, as the update treats that as its end.
template <class Engine> int RunUpdateScript(Engine& e, const std::vector<UpdateEntry>& catalogue) {
    using Op = Comparison::Op;
    int statements = 0;
    const auto inserted = [&](int count) {
        ++statements;
        if (count != 1)
            throw JetError(std::string("statement ") + std::to_string(statements) + " inserted " +
                           std::to_string(count) + " rows");
    };
    e.Delete("categorie", {{"nr", Op::Greater, 28}, {"nr", Op::Less, 10000}});
    e.Delete("categorie_pictogram", {{"categorie_nr", Op::Greater, 28}, {"nr", Op::Less, 10000}});
    statements += 2;
    for (int i = 0; i < 10; ++i)
        inserted(e.Insert("categorie", {std::int64_t{29 + i}, std::int64_t{1141},
                                        std::string(kUpdateCategories[i]), std::int64_t{1}}));
    e.Delete("pictogram", {{"nr", Op::Greater, 1172}});
    e.Delete("categorie_pictogram", {{"pictogram_nr", Op::Greater, 1172}});
    statements += 2;
    for (const UpdateEntry& entry : catalogue) {
        inserted(
            e.Insert("pictogram",
                     {entry.number, std::string("i") + std::to_string(entry.number), entry.name}));
        const std::int64_t highest =
            e.Max("categorie_pictogram", "nr", {{"categorie_nr", Op::Equal, entry.category}})
                .value_or(0);
        ++statements;
        inserted(e.Insert("categorie_pictogram", {highest + 1, entry.category, entry.number}));
    }
    return statements;
}

} // namespace kw::jet
