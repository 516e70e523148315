#include "db/AccessSql.h"

#include "sys/Failure.h"

#include <gtest/gtest.h>

namespace kw::sql {
namespace {

using enum CompareOp;

// Every form the program sends, as it sends it, and the spellings Access also accepts.
TEST(AccessSql, ParsesTheProgramsForms) {
    const std::pair<std::string, Statement> cases[] = {
        {"DELETE FROM categorie WHERE nr > 28 AND nr < 10000",
         Delete{"categorie", {{"nr", Greater, 28}, {"nr", Less, 10000}}}},
        {"DELETE FROM pictogram WHERE (nr>=1173 AND nr<=1480)",
         Delete{"pictogram", {{"nr", GreaterOrEqual, 1173}, {"nr", LessOrEqual, 1480}}}},
        {"delete * from [categorie_pictogram] where pictogram_nr<>-3;",
         Delete{"categorie_pictogram", {{"pictogram_nr", NotEqual, -3}}}},
        {"INSERT INTO categorie VALUES (29, 1141, 'Kinder''s (ijs)', 1)",
         Insert{"categorie", {29, 1141, std::string("Kinder's (ijs)"), 1}}},
        {"INSERT INTO pictogram VALUES (1173,'i1173','Opticiën')",
         Insert{"pictogram", {1173, std::string("i1173"), std::string("Opticiën")}}},
        {"INSERT INTO t VALUES ('', +7)", Insert{"t", {std::string(), 7}}},
        {"SELECT MAX(nr) AS hoogste FROM categorie_pictogram WHERE categorie_nr=31",
         SelectMax{"categorie_pictogram", "nr", "hoogste", {{"categorie_nr", Equal, 31}}}},
        {"SELECT omschrijving FROM categorie WHERE nr=5",
         SelectColumn{"categorie", "omschrijving", {{"nr", Equal, 5}}}},
        {"select naam from pictogram where ((nr = 1) and nr >= 0)",
         SelectColumn{"pictogram", "naam", {{"nr", Equal, 1}, {"nr", GreaterOrEqual, 0}}}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Parse(text), expected) << text;
}

// Anything else is refused with the statement in the description, never run in part.
TEST(AccessSql, RefusesEverythingElse) {
    const char* refused[] = {
        "",
        "UPDATE categorie SET nr = 1 WHERE nr = 2",
        "DELETE FROM categorie",
        "DELETE FROM categorie WHERE nr > 28 OR nr < 5",
        "DELETE FROM categorie WHERE omschrijving = 'x'",
        "DELETE FROM categorie WHERE nr = 1; DELETE FROM pictogram WHERE nr = 1",
        "DELETE FROM categorie WHERE (nr = 1",
        "DELETE FROM categorie WHERE nr = 99999999999999999999",
        "DELETE FROM categorie WHERE nr = 12abc",
        "DELETE FROM categorie WHERE nr = 1.5",
        "INSERT INTO categorie VALUES (1, 'open)",
        "INSERT INTO categorie VALUES ()",
        "INSERT INTO categorie (nr) VALUES (1)",
        "INSERT INTO categorie VALUES (NULL)",
        "INSERT INTO categorie SELECT * FROM pictogram",
        "SELECT MAX(nr) FROM categorie WHERE nr = 1",
        "SELECT MIN(nr) AS m FROM categorie WHERE nr = 1",
        "SELECT * FROM categorie WHERE nr = 1",
        "SELECT nr FROM categorie",
        "SELECT nr, naam FROM pictogram WHERE nr = 1",
        "SELECT [] FROM categorie WHERE nr = 1",
    };
    for (const char* text : refused) {
        try {
            Parse(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const Failure& f) {
            EXPECT_EQ(f.what(), "niet ondersteunde opdracht: " + std::string(text));
        }
    }
}

} // namespace
} // namespace kw::sql
