#include "db/Database.h"
#include "log/Log.h"
#include "payload/Catalogue.h"
#include "payload/Failures.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"
#include "sys/Failure.h"

#include <array>
#include <vector>

namespace kw {

namespace {

constexpr const char* kNotStarted = "Bijwerken van de database kon niet beginnen";
constexpr const char* kNotCommitted = "Vastleggen van de wijzigingen is mislukt";
constexpr const char* kLeftUnchanged = "UpdateDB() : de database is ongewijzigd gelaten.";

// One catalogue entry as the statements use it: number and category as the catalogue holds
// them, the name with its first letter in upper case.
struct Entry {
    std::string num, name, cat;
};

// The categories that the update owns and inserts, in this order, numbered from 29.
constexpr int kFirstNewCategory = 29;
constexpr std::array<const char*, 10> kNewCategories = {
    "School / Kantoor",    "Bijzondere dagen",    "Media",   "Natuur",
    "Gezondheid",          "Voorwerpen",          "Verkeer", "Lichamelijke verzorging",
    "Abstracte begrippen", "Sociale vaardigheden"};

// The name with its first letter in upper case: ASCII and the Latin-1 letters (two bytes in
// UTF-8); anything else, and every byte after the first character, stays as it is.
std::string CapitalizeFirst(std::string name) {
    if (name.empty())
        return name;
    const auto first = static_cast<unsigned char>(name[0]);
    if (first >= 'a' && first <= 'z') {
        name[0] = static_cast<char>(first - 'a' + 'A');
    } else if (first == 0xC3 && name.size() > 1) {
        const auto second = static_cast<unsigned char>(name[1]);
        if (second == 0xBF)
            name.replace(0, 2, "\xC5\xB8");        // ÿ has its capital outside Latin-1
        else if (second >= 0xA0 && second != 0xB7) // à to þ, but not ÷
            name[1] = static_cast<char>(second - 0x20);
    }
    return name;
}

// A text literal for the statement. A quote inside the text is doubled, so that a name with an
// apostrophe is stored as it is instead of breaking (or changing) the statement.
std::string Quoted(const std::string& text) {
    std::string literal = "'";
    for (char c : text) {
        if (c == '\'')
            literal += '\'';
        literal += c;
    }
    return literal + "'";
}

// The highest link number of the category: 0 when it has none (NULL), and a failure when the
// engine answers 0, since link numbers start at 1.
std::int32_t HighestLink(const std::string& cat, const std::string& name) {
    std::unique_ptr<Recordset> rs = OpenRSBySQL(
        "SELECT MAX(nr) AS hoogste FROM categorie_pictogram WHERE categorie_nr=" + cat, true);
    if (!rs)
        throw Failure("Slechte categorie bij pictogram " + name);
    const FieldValue value = rs->Field("hoogste");
    std::int32_t highest = 0;
    if (!std::holds_alternative<std::monostate>(value)) {
        highest = FieldToInt32(value);
        if (highest == 0)
            throw Failure("Categorie niet gevonden bij pictogram " + name);
    }
    CloseRS(rs.get());
    return highest;
}

} // namespace

bool UpdateDB(StatusLabel* label) {
    bool inTransaction = false;
    try {
        gLog->printf("UpdateDB() : beginnen met bijwerken van de database.");
        // Every value is read and converted before the first statement, so that a damaged
        // catalogue fails before anything has changed.
        const std::int32_t count = ToInt32(LoadResString(kCountId));
        std::vector<Entry> entries;
        for (std::int32_t i = 1; i <= count; ++i)
            entries.push_back({LoadResString(NumberId(i - 1)),
                               CapitalizeFirst(LoadResString(NameId(i - 1))),
                               LoadResString(CategoryId(i - 1))});
        // One transaction: a failure, a kill or a closed window leaves the database as it was.
        if (!BeginTrans())
            throw Failure(kNotStarted);
        inTransaction = true;
        // The results of the deletes are not tested: a failure was shown, and the inserts that
        // follow find out whether the rows are gone.
        ExecuteSQL("DELETE FROM categorie WHERE nr > 28 AND nr < 10000");
        ExecuteSQL("DELETE FROM categorie_pictogram WHERE categorie_nr > 28 AND nr < 10000");
        for (std::size_t c = 0; c < kNewCategories.size(); ++c)
            if (ExecuteSQL("INSERT INTO categorie VALUES (" +
                           std::to_string(kFirstNewCategory + static_cast<int>(c)) + ", 1141, " +
                           Quoted(kNewCategories[c]) + ", 1)") != 1)
                throw Failure("Toevoegen categorie mislukt");
        ExecuteSQL("DELETE FROM pictogram WHERE nr > 1172");
        ExecuteSQL("DELETE FROM categorie_pictogram WHERE pictogram_nr > 1172");

        for (std::int32_t i = 1; i <= count; ++i) {
            if (label) {
                label->SetCaption("Bestand " + std::to_string(i) + " van " + std::to_string(count));
                label->ProcessEvents();
            }
            const auto& [num, name, cat] = entries[static_cast<std::size_t>(i - 1)];
            gLog->printf("UpdateDB() : pictogram '" + name + "'");
            if (ExecuteSQL("INSERT INTO pictogram VALUES (" + num + ",'i" + num + "'," +
                           Quoted(name) + ")") != 1)
                throw Failure("Invoegen mislukt bij pictogram " + name);
            const std::int32_t highest = HighestLink(cat, name);
            if (ExecuteSQL("INSERT INTO categorie_pictogram VALUES (" +
                           std::to_string(std::int64_t{highest} + 1) + "," + cat + "," + num +
                           ")") != 1)
                throw Failure("Invoegen categorie mislukt bij pictogram " + name);
        }
        if (!CommitTrans())
            throw Failure(kNotCommitted);
        return true;
    } catch (...) {
        const std::string description = CurrentDescription();
        LogRecordSafely("UpdateDB() : " + description);
        if (!inTransaction || RollbackTrans())
            gLog->printf(kLeftUnchanged);
        if (label)
            label->SetCaption(description);
        return false;
    }
}

} // namespace kw
