// make-picbase-v1997 FIXTURE SOURCE OUT: an Access 97 database of the target's shape, for the
// tests. Access 97 made none with these tables, so the engine makes them inside a copy of FIXTURE
// (an Access-made Access 97 file without a password, whose own tables stay): categorie, pictogram
// and categorie_pictogram with the indexes of the "full" variant, filled with the rows of SOURCE
// (a picbase database with the password kolibrie); then the copy gets that password. OUT appears
// only when all of it succeeded.
#include "db/jet/Writer.h"

#include <filesystem>
#include <iostream>

namespace {

using namespace kw::jet;

struct NewTable {
    const char* name;
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
};

const std::vector<NewTable>& Tables() {
    static const std::vector<NewTable> tables = {
        {"categorie",
         {{"nr", Type::Long},
          {"icoon", Type::Long},
          {"omschrijving", Type::Text, 50},
          {"zichtbaar", Type::Long}},
         {{"PrimaryKey", {"nr"}, true, true}}},
        {"pictogram",
         {{"nr", Type::Long}, {"bestand", Type::Text, 50}, {"naam", Type::Text, 100}},
         {{"PrimaryKey", {"nr"}, true, true}}},
        {"categorie_pictogram",
         {{"nr", Type::Long}, {"categorie_nr", Type::Long}, {"pictogram_nr", Type::Long}},
         {{"PrimaryKey", {"categorie_nr", "nr"}, true, true},
          {"categorie_nr", {"categorie_nr"}},
          {"pictogram_nr", {"pictogram_nr"}}}},
    };
    return tables;
}

void Make(const std::string& fixture, const std::string& source, const std::string& out) {
    namespace fs = std::filesystem;
    fs::copy_file(fixture, out, fs::copy_options::overwrite_existing);
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                             fs::perms::others_read);
    const auto from = Database::Open(source, "kolibrie");
    auto writer = Writer::Open(out, "");
    writer->Begin();
    for (const NewTable& t : Tables()) {
        writer->CreateTable(t.name, t.columns, t.indexes);
        const std::optional<TableDef> rows = from->FindTable(t.name);
        if (!rows)
            throw JetError(source + " has no table \"" + t.name + "\".");
        // The source's columns by name, in the new table's order.
        std::vector<std::size_t> at;
        for (const NewColumn& c : t.columns) {
            std::size_t i = 0;
            while (i < rows->columns.size() && !SameName(rows->columns[i].name, c.name))
                ++i;
            if (i == rows->columns.size())
                throw JetError(source + ": table \"" + t.name + "\" has no column \"" + c.name +
                               "\".");
            at.push_back(i);
        }
        from->ForEachRow(*rows, [&](RowId, const std::vector<Value>& row) {
            std::vector<Value> values;
            for (const std::size_t i : at)
                values.push_back(row[i]);
            writer->Insert(t.name, values);
        });
    }
    writer->Commit();
    writer->SetPassword("kolibrie");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "Usage: make-picbase-v1997 FIXTURE SOURCE OUT\n";
        return 2;
    }
    const std::string out = argv[3], partial = out + ".partial";
    try {
        Make(argv[1], argv[2], partial);
        std::filesystem::rename(partial, out);
    } catch (const std::exception& e) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        std::cerr << "make-picbase-v1997: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
