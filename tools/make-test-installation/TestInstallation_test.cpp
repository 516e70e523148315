#include "sys/Failure.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"
#include "tools/make-test-installation/TestInstallation.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

namespace fs = std::filesystem;

TEST(TestInstallation, IsCompleteAndAlwaysTheSame) {
    test::TempDir dir;
    const fs::path a = dir.Path() / "a", b = dir.Path() / "nieuw" / "b";
    CreateTestInstallation(a.string());
    CreateTestInstallation(b.string());
    EXPECT_TRUE(fs::is_regular_file(a / "Vondelux.exe"));
    for (const char* sub : {"pictogrammen", "geluiden/man", "geluiden/vrouw", "thumbs"})
        EXPECT_TRUE(fs::is_directory(a / sub) && fs::is_empty(a / sub)) << sub;

    const std::string db = (a / "picbase.pbd").string();
    EXPECT_EQ(test::DumpDatabase(db), test::DumpDatabase((b / "picbase.pbd").string()));
    EXPECT_EQ(test::QueryValue(db, "SELECT count(*) || ',' || min(nr) || ',' || max(nr) FROM "
                                   "categorie"),
              "28,1,28");
    EXPECT_EQ(test::QueryValue(db, "SELECT count(*) || ',' || min(nr) || ',' || max(nr) FROM "
                                   "pictogram"),
              std::to_string(kDemoLastPictogram - kDemoFirstPictogram + 1) + "," +
                  std::to_string(kDemoFirstPictogram) + "," + std::to_string(kDemoLastPictogram));
    // Every category has links, numbered 1 to their count, and every pictogram has one.
    EXPECT_EQ(test::QueryValue(db, "SELECT count(*) FROM (SELECT categorie_nr FROM "
                                   "categorie_pictogram GROUP BY categorie_nr HAVING min(nr) = 1 "
                                   "AND max(nr) = count(*))"),
              "28");
    // Spread evenly, so that new links in any existing category continue after many.
    EXPECT_GE(std::stoi(test::QueryValue(db, "SELECT min(n) FROM (SELECT count(*) AS n FROM "
                                             "categorie_pictogram GROUP BY categorie_nr)")),
              15);
    EXPECT_EQ(test::QueryValue(db, "SELECT count(*) FROM pictogram WHERE nr NOT IN (SELECT "
                                   "pictogram_nr FROM categorie_pictogram)"),
              "0");
    EXPECT_EQ(test::DumpTable(db, "pragma_foreign_key_check"), "");
    EXPECT_THROW(test::ExecOn(db, "INSERT INTO categorie_pictogram VALUES (1, 2, 1000)"),
                 std::runtime_error); // (categorie_nr, nr) is unique
}

TEST(TestInstallation, RefusesAFolderThatHoldsAnything) {
    test::TempDir dir;
    test::WriteFile(dir.Path() / "picbase.pbd", "van iemand anders");
    try {
        CreateTestInstallation(dir.Folder());
        ADD_FAILURE() << "a folder with files was filled";
    } catch (const Failure& e) {
        EXPECT_NE(std::string(e.what()).find("niet leeg"), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::ReadFile(dir.Path() / "picbase.pbd"), "van iemand anders");
    EXPECT_FALSE(fs::exists(dir.Path() / "thumbs"));
    EXPECT_THROW(CreateTestInstallation((dir.Path() / "picbase.pbd").string()), Failure);
}

} // namespace
} // namespace kw
