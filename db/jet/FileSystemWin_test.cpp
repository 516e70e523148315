// The Access engine's file and lock seam on Windows, under Wine: the writer's lock against a
// second writer and against another program that has the database open, and the commit's rename
// of the new copy over the database that is being read.
#include "db/jet/FileSystem.h"
#include "db/jet/JetError.h"
#include "testsupport/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>

namespace kw::jet {
namespace {

TEST(WindowsJetFiles, LocksKeepWritersApartAndACommitReplacesTheReadFile) {
    FileSystem& files = FileSystem::System();
    test::TempDir dir;
    const std::string database = dir.Folder() + "picbase.pbd", lock = dir.Folder() + "picbase.ldb";
    test::WriteFile(database, std::string(4096, 'o'));

    std::unique_ptr<Lock> first = files.LockForWriting(lock, database);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(files.Exists(lock));
    EXPECT_EQ(files.LockForWriting(lock, database), nullptr) << "a second writer";
    first.reset();
    EXPECT_FALSE(files.Exists(lock)) << "the lock file this writer made goes with its lock";
    {
        std::ofstream otherProgram(database, std::ios::binary | std::ios::app);
        ASSERT_TRUE(otherProgram);
        EXPECT_EQ(files.LockForWriting(lock, database), nullptr) << "the database open elsewhere";
    }

    // A commit: the new copy, written and read back, is renamed over the file being read.
    std::unique_ptr<Lock> writer = files.LockForWriting(lock, database);
    ASSERT_NE(writer, nullptr);
    std::unique_ptr<PageFile> old = files.OpenForReading(files.Resolve(database));
    const std::string copyPath = database + ".kwastor-new";
    std::unique_ptr<File> copy = files.CreateLike(copyPath, database);
    const std::vector<std::uint8_t> page(4096, 'n');
    copy->WriteAt(0, page);
    copy->Sync();
    std::unique_ptr<PageFile> written = files.OpenForReading(copyPath);
    EXPECT_THROW(files.CreateLike(copyPath, database), JetError) << "never over an existing file";
    files.Rename(copyPath, database);
    copy.reset();
    EXPECT_EQ(test::ReadFile(database), std::string(4096, 'n'));
    EXPECT_FALSE(files.Exists(copyPath));
    std::vector<std::uint8_t> bytes(4);
    old->ReadAt(0, bytes);
    EXPECT_EQ(bytes[0], 'o') << "the old file still reads as it was";
    written->ReadAt(4092, bytes);
    EXPECT_EQ(bytes[3], 'n');
    files.Remove(copyPath); // gone already: no failure
    EXPECT_THROW(files.Resolve(dir.Folder() + "missing.pbd"), JetError);
}

} // namespace
} // namespace kw::jet
