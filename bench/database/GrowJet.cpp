// grow-jet <database> <password> <links>: grows the links of an Access picbase database in place
// to <links> in all, as bench/database.sh grows its SQLite databases: the added links belong to
// categories numbered from 10000 (which the update keeps) and to the demo's pictogram numbers,
// each category with a row of its own, all in one transaction of the built-in engine's writer.
#include "db/jet/Writer.h"

#include <cstdint>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "Usage: grow-jet DATABASE PASSWORD LINKS\n";
        return 2;
    }
    constexpr std::int64_t kPictograms = 1172; // the demo's pictograms, numbered from 1
    try {
        const auto writer = kw::jet::Writer::Open(argv[1], argv[2]);
        const std::int64_t links = std::stoll(argv[3]);
        const std::int64_t present =
            static_cast<std::int64_t>(writer->Select("categorie_pictogram", "nr", {}).size());
        const std::int64_t added = links - present;
        writer->Begin();
        // In category order, so that the keys on categorie_nr grow at their end.
        for (std::int64_t i = 0; i < added; ++i) {
            const std::int64_t categorie = 10000 + i / kPictograms;
            if (i % kPictograms == 0)
                writer->Insert("categorie", {categorie, std::int64_t{1141}, std::string("Groei"),
                                             std::int64_t{1}});
            writer->Insert("categorie_pictogram",
                           {10000 + i % kPictograms, categorie, 1 + i % kPictograms});
        }
        writer->Commit();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "grow-jet: " << e.what() << "\n";
        return 1;
    }
}
