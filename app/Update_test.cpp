#include "app/Update.h"

#include "testsupport/TestSupport.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace kw {
namespace {

using test::LogCapture;
namespace fs = std::filesystem;

/// A tmpfs of exactly `bytes`, or a skipped test where this process may not mount.
#define MOUNT_OR_SKIP(var, bytes)                                                                  \
    std::optional<test::ScopedTmpfs> var = test::ScopedTmpfs::Mount(bytes);                        \
    if (!var)                                                                                      \
    GTEST_SKIP() << "mounting a tmpfs is not permitted here"

TEST(AvailableDiskSpace, MeasuresTheVolumeAndNamesItsMountPoint) {
    MOUNT_OR_SKIP(disk, 1 << 20);
    fs::create_directories(disk->Path() / "Merodaan/pictogrammen");
    LogCapture log;
    EXPECT_EQ(AvailableDiskSpace((disk->Path() / "Merodaan/pictogrammen").string() + "/"), 1024);
    ASSERT_EQ(log.Records().size(), 2u); // the start record and ours
    EXPECT_EQ(log.Records()[1], "AvailableDiskSpace() : 1024 kB vrij op " + disk->Path().string());
}

TEST(AvailableDiskSpace, AFullVolumeHasNoRoomLeft) {
    MOUNT_OR_SKIP(disk, 64 * 1024);
    {
        std::ofstream fill(disk->Path() / "fill", std::ios::binary);
        const std::string block(4096, 'x');
        while (fill.write(block.data(), block.size()))
            fill.flush();
    }
    LogCapture log;
    EXPECT_EQ(AvailableDiskSpace(disk->Path().string() + "/"), 0);
}

TEST(AvailableDiskSpace, PercentAndBackslashInTheMountPointAreKept) {
    test::TempDir dir;
    const fs::path odd = dir.Path() / "100%d\\x";
    fs::create_directories(odd);
    if (::mount("tmpfs", odd.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    LogCapture log;
    const std::int32_t kb = AvailableDiskSpace(odd.string() + "/");
    ::umount2(odd.c_str(), MNT_DETACH);
    EXPECT_EQ(kb, 1024);
    ASSERT_EQ(log.Records().size(), 2u);
    EXPECT_EQ(log.Records()[1], "AvailableDiskSpace() : 1024 kB vrij op " + odd.string());
}

TEST(AvailableDiskSpace, AFolderThatCannotBeQueriedIsLoggedAsFailure) {
    test::TempDir dir;
    for (const std::string& path : {(dir.Path() / "missing").string() + "/", std::string()}) {
        LogCapture log;
        EXPECT_EQ(AvailableDiskSpace(path), -1) << path;
        const std::string code = std::to_string(ENOENT);
        EXPECT_EQ(log.Records(),
                  (std::vector<std::string>{
                      log.Records().at(0),
                      "AvailableDiskSpace() : GetDiskFreeSpaceEx() gaf ongewenst resultaat terug.",
                      "last DLL error=" + code + ", last API error=" + code + "."}));
    }
}

} // namespace
} // namespace kw
