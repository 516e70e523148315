// The Windows halves of the system seams, run under Wine: files, the log's rotation over them,
// the code page, special folders and free space.
#include "log/Ansi.h"
#include "log/Log.h"
#include "sys/CodePage.h"
#include "sys/DiskSpace.h"
#include "sys/File.h"
#include "sys/Installation.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

std::string Write(FileApi& files, const std::string& path, const std::string& bytes) {
    const FileHandle file = files.CreateNew(path);
    if (file == kInvalidFile)
        return "not created";
    const std::int64_t n = files.Write(file, bytes.data(), bytes.size());
    return files.Close(file) && n == static_cast<std::int64_t>(bytes.size()) ? "ok" : "short";
}

TEST(WindowsFiles, CreateReplaceAndRefuse) {
    FileApi& files = SystemFiles();
    test::TempDir dir;
    const std::string file = dir.Folder() + "i1173.wmf", folder = dir.Folder() + "thumbs";
    std::filesystem::create_directory(folder);

    EXPECT_EQ(Write(files, file, "old contents"), "ok");
    EXPECT_EQ(test::ReadFile(file), "old contents");
    EXPECT_EQ(Write(files, file, "x"), "not created") << "a name in use is never emptied";
    EXPECT_EQ(Write(files, folder, "x"), "not created");
    EXPECT_EQ(Write(files, dir.Folder() + "missing\\i1.bmp", "x"), "not created");

    struct {
        std::string path;
        FileKind kind;
        bool ordinary, opens;
    } const names[] = {{file, FileKind::Ordinary, true, true},
                       {folder, FileKind::Other, false, false},
                       {dir.Folder() + "none", FileKind::Missing, false, false},
                       {dir.Folder() + "none\\deeper", FileKind::Missing, false, false}};
    for (const auto& n : names) {
        EXPECT_EQ(files.Kind(n.path), n.kind) << n.path;
        EXPECT_EQ(files.IsOrdinaryFile(n.path), n.ordinary) << n.path;
        LockedFile held(files);
        EXPECT_EQ(held.Take(n.path), n.opens) << n.path;
    }

    // The installation's replace: a new file under a temporary name, renamed over the old one
    // while that is held (against a second run); a folder under the name stays.
    const std::string temporary = file + ".kwastor-tmp";
    EXPECT_EQ(Write(files, temporary, "new contents, longer than the old"), "ok");
    {
        LockedFile previous(files);
        ASSERT_TRUE(previous.Take(file));
        EXPECT_TRUE(files.Rename(temporary, file));
    }
    EXPECT_EQ(test::ReadFile(file), "new contents, longer than the old");
    EXPECT_EQ(files.Kind(temporary), FileKind::Missing);
    EXPECT_EQ(Write(files, temporary, "y"), "ok");
    EXPECT_FALSE(files.Rename(temporary, folder));
    EXPECT_TRUE(files.Remove(temporary));
    EXPECT_FALSE(files.Remove(temporary));

    // A file that another opener writes can't be taken (share mode 0), nor a locked one.
    const FileHandle writing = files.CreateNew(temporary);
    ASSERT_NE(writing, kInvalidFile);
    LockedFile other(files);
    EXPECT_FALSE(other.Take(temporary));
    EXPECT_FALSE(other.Opened());
    files.Close(writing);
    LockedFile first(files), second(files);
    EXPECT_TRUE(first.Take(file));
    EXPECT_FALSE(second.Take(file));
}

TEST(WindowsFiles, TheLogRotatesOverThreeRunsAndRefusesALiveOne) {
    test::TempDir dir;
    test::FixedClock clock;
    test::RecordingMessageSink boxes;
    const std::string name = dir.Folder() + "Kwastor.log";
    for (int run = 1; run <= 3; ++run) {
        Log log(clock);
        log.SetFilename(name);
        log.printf("run %d", std::int32_t{run});
        if (run == 3) { // a second run beside a live one leaves both logs alone
            Log beside(clock);
            beside.SetFilename(name);
            beside.printf("beside");
        }
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Log '" + name + "' couldn't be created.");
    EXPECT_NE(test::ReadFile(name).find("run 3"), std::string::npos);
    EXPECT_NE(test::ReadFile(name + ".bak").find("run 2"), std::string::npos);
    EXPECT_EQ(test::LogDefect(test::ReadFile(name)), "");
}

TEST(WindowsCodePage, TheLogAndTheFileNamesUseTheAnsiCodePage) {
    if (AnsiCodePage() != 1252)
        GTEST_SKIP() << "the system's ANSI code page is " << AnsiCodePage();
    struct {
        std::string utf8, ansi;
    } const texts[] = {{"Optici\xC3\xAB"
                        "n",
                        "Optici\xEBn"},
                       {"\xC3\xB3"
                        "f",
                        "\xF3"
                        "f"},
                       {"\xE2\x82\xAC", "\x80"},
                       {"C:\\PROGRAM FILES\\", "C:\\PROGRAM FILES\\"}};
    for (const auto& t : texts) {
        EXPECT_EQ(Utf8ToAnsi(t.utf8), t.ansi);
        EXPECT_EQ(ToSystemText(t.utf8), t.ansi);
        EXPECT_EQ(FromSystemText(t.ansi), t.utf8);
    }
    EXPECT_EQ(ToSystemText("\xD0\x96"), "?") << "Cyrillic is not in the code page";

    // A name with a character outside ASCII is the same file by either road.
    test::TempDir dir;
    const std::string name = dir.Folder() + "Optici\xC3\xAB" + "n.wav";
    EXPECT_EQ(Write(SystemFiles(), name, "bytes"), "ok");
    EXPECT_TRUE(SystemFiles().IsOrdinaryFile(name));
    EXPECT_EQ(
        test::ReadFile(dir.Path() / std::filesystem::u8path(name.substr(dir.Folder().size()))),
        "bytes");
}

TEST(WindowsSpecialFolders, ProgramFilesFirstThenAppData) {
    for (std::int32_t csidl : {kCsidlProgramFiles, kCsidlAppData}) {
        const std::string folder = GetSpecialFolderPath(csidl);
        EXPECT_TRUE(std::filesystem::is_directory(folder)) << csidl << ": " << folder;
        EXPECT_FALSE(folder.ends_with('\\')) << folder;
    }
    EXPECT_EQ(GetSpecialFolderPath(5), "") << "only the two that the lookup uses";

    const std::string programFiles = GetSpecialFolderPath(kCsidlProgramFiles) + "\\Merodaan\\";
    const std::string appData = GetSpecialFolderPath(kCsidlAppData) + "\\Merodaan\\";
    struct Cleanup {
        ~Cleanup() {
            for (const std::string& f : folders)
                std::filesystem::remove_all(f);
        }
        std::vector<std::string> folders;
    } cleanup{{programFiles, appData}};
    std::filesystem::create_directories(appData + "Vondelux.exe"); // a folder doesn't count
    std::filesystem::create_directories(programFiles);
    EXPECT_EQ(FindInstallation(), "");
    std::filesystem::remove(appData + "Vondelux.exe");
    test::WriteFile(appData + "Vondelux.exe", "MZ");
    EXPECT_EQ(FindInstallation(), appData);
    test::WriteFile(programFiles + "Vondelux.exe", "MZ");
    EXPECT_EQ(FindInstallation(), programFiles);
}

TEST(WindowsDiskSpace, TheDriveLetterNamesTheVolume) {
    test::TempDir dir;
    const std::string folder = dir.Folder();
    std::string lower = folder;
    lower[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[0])));
    for (const std::string& path : {folder, lower}) {
        const FreeSpaceQuery query = QueryFreeSpace(path);
        ASSERT_TRUE(query.ok) << path;
        EXPECT_GT(query.bytes, 0u);
        EXPECT_EQ(query.volume, std::string(1, static_cast<char>(std::toupper(folder[0]))) + ":");
    }
    for (const std::string path : {"", "\\\\server\\share\\", "7:\\x\\"}) {
        const FreeSpaceQuery query = QueryFreeSpace(path);
        EXPECT_FALSE(query.ok) << path;
        EXPECT_NE(query.lastDllError, 0) << path;
    }
}

} // namespace
} // namespace kw
