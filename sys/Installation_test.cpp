#include "sys/Installation.h"

#include "testsupport/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kw {
namespace {

using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

/// A Wine-like prefix in a temporary folder, for the user "tester".
class WinePrefixTest : public ::testing::Test {
protected:
    WinePrefixTest()
        : prefix_("WINEPREFIX", dir_.Path().c_str()), user_("USER", "tester"),
          driveC_(dir_.Path() / "drive_c") {}

    fs::path ProgramFiles(const char* name = "Program Files") const { return driveC_ / name; }
    fs::path AppData(const char* name = "AppData/Roaming") const {
        return driveC_ / "users/tester" / name;
    }
    /// Puts "Vondelux.exe" into base/Merodaan, and returns that folder as the lookup gives it.
    static std::string Install(const fs::path& base) {
        fs::create_directories(base / "Merodaan");
        test::WriteFile(base / "Merodaan/Vondelux.exe", "MZ");
        return (base / "Merodaan").string() + "/";
    }

    TempDir dir_;
    ScopedEnv prefix_, user_;
    fs::path driveC_;
};

TEST_F(WinePrefixTest, SpecialFoldersComeFromThePrefix) {
    fs::create_directories(ProgramFiles());
    fs::create_directories(AppData());
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProgramFiles), ProgramFiles().string());
    EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), AppData().string());
    EXPECT_EQ(GetSpecialFolderPath(5), "") << "only the two numbers that the lookup needs";

    // A 64-bit prefix keeps 32-bit programs in "Program Files (x86)".
    fs::create_directories(ProgramFiles("Program Files (x86)"));
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProgramFiles),
              ProgramFiles("Program Files (x86)").string());
}

TEST_F(WinePrefixTest, OlderPrefixesAndMissingFolders) {
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProgramFiles), "");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), "");
    fs::create_directories(AppData("Application Data"));
    EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), AppData("Application Data").string());
}

TEST_F(WinePrefixTest, HomeWineIsTheDefaultPrefix) {
    ScopedEnv noPrefix("WINEPREFIX", nullptr);
    ScopedEnv home("HOME", dir_.Path().c_str());
    fs::create_directories(dir_.Path() / ".wine/drive_c/Program Files");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProgramFiles),
              (dir_.Path() / ".wine/drive_c/Program Files").string());
}

TEST_F(WinePrefixTest, FindInstallationPrefersProgramFiles) {
    EXPECT_EQ(FindInstallation(), "") << "neither place holds the program";

    const std::string inAppData = Install(AppData());
    EXPECT_EQ(FindInstallation(), inAppData);

    const std::string inProgramFiles = Install(ProgramFiles());
    EXPECT_EQ(FindInstallation(), inProgramFiles);
    EXPECT_TRUE(inProgramFiles.ends_with("/Program Files/Merodaan/"));
}

TEST_F(WinePrefixTest, AFolderNamedLikeTheProgramDoesNotCount) {
    fs::create_directories(ProgramFiles() / "Merodaan/Vondelux.exe");
    EXPECT_FALSE(HoldsInstallation(ProgramFiles().string() + "/Merodaan/"));
    EXPECT_EQ(FindInstallation(), "");
    // ... and does not hide a real installation in the second place.
    const std::string inAppData = Install(AppData());
    EXPECT_EQ(FindInstallation(), inAppData);
}

} // namespace
} // namespace kw
