// Which database files the Windows edition opens, also in a folder whose name leaves ASCII.
#include "db/Backend.h"
#include "sys/Failure.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(WindowsDatabaseFiles, AccessOpensSqliteIsRefusedInAnyFolder) {
    const std::string access = test::ReadFile(KW_JET_TESTDATA "/picbase/picbase-V2000-none.pbd");
    ASSERT_FALSE(access.empty());
    struct {
        const char* folder;
        std::string contents;
        const char *before, *after; // the failure around the path; empty: it opens
    } const cases[] = {
        {"plain", access, "", ""},
        {"Zo\xC3\xAB", access, "", ""},
        {"Zo\xC3\xAB", std::string("SQLite format 3\0", 16) + std::string(100, '\0'), "Database '",
         "' is een SQLite-bestand; de Windows-uitgave van Kwastor opent alleen Access-databases"},
        {"Zo\xC3\xAB", "", "'", "' is geen database (geen SQLite- of Access-bestand)"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string folder = dir.Folder() + c.folder + "\\";
        std::filesystem::create_directory(FilePath(folder));
        const std::string path = folder + "picbase.pbd";
        test::WriteFile(FilePath(path), c.contents);
        std::string failure;
        try {
            OpenDatabaseFile(path);
        } catch (const Failure& e) {
            failure = e.what();
        }
        EXPECT_EQ(failure, *c.after ? c.before + path + c.after : "") << path;
    }
}

} // namespace
} // namespace kw
