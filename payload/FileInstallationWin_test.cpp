// The media files written on Windows from the payload that this test program carries at its
// end, as kwastor.exe carries it: its own file found, mapped, and each file written by the
// temporary-name-then-replace road.
#include "payload/Catalogue.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"
#include "sys/File.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

std::string BlobText(const std::string& name) {
    const std::unique_ptr<Blob> blob = LoadResData(name, kBlobType);
    return std::string(reinterpret_cast<const char*>(blob->Bytes().data()), blob->Bytes().size());
}

TEST(WindowsFileInstallation, WritesReplacesAndRefusesAsOnLinux) {
    test::LogCapture log;
    UsePayloadFile("");
    ASSERT_EQ(LoadResString(kCountId), "308");

    enum class Setup { None, LongerFile, NoFolder, FolderInTheWay, HeldOpen };
    struct {
        Setup setup;
        const char* nr;
        std::size_t kind; // index into kBlobKinds
        bool written;
    } const cases[] = {
        {Setup::None, "1173", 0, true},
        {Setup::None, "1480", 1, true},
        {Setup::LongerFile, "1196", 3, true},
        {Setup::NoFolder, "1200", 2, false},
        {Setup::FolderInTheWay, "1174", 0, false},
        {Setup::HeldOpen, "1175", 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.setup)) + " " + c.nr);
        test::TempDir dir;
        const BlobKind& kind = kBlobKinds[c.kind];
        const std::string path = PathStart(dir.Folder(), kind) + c.nr + kind.extension;
        const std::string folder = path.substr(0, path.find_last_of('\\'));
        if (c.setup != Setup::NoFolder)
            std::filesystem::create_directories(folder);
        if (c.setup == Setup::LongerFile)
            test::WriteFile(path, std::string(3'000'000, 'x'));
        if (c.setup == Setup::FolderInTheWay)
            std::filesystem::create_directory(path);
        const FileHandle held =
            c.setup == Setup::HeldOpen ? SystemFiles().CreateNew(path) : kInvalidFile;

        test::RecordingMessageSink boxes;
        EXPECT_EQ(SaveResourceToFile(kind.prefix + std::string(c.nr), path), c.written);
        if (held != kInvalidFile)
            SystemFiles().Close(held);
        if (c.written) {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_TRUE(test::ReadFile(path) == BlobText(kind.prefix + std::string(c.nr)));
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].text, "Fout tijdens het maken van bestand '" + path + "'");
            EXPECT_EQ(boxes.boxes[0].title, "Kwastor");
        }
        if (c.setup == Setup::FolderInTheWay) {
            EXPECT_TRUE(std::filesystem::is_directory(path));
        }
        if (c.setup == Setup::HeldOpen) {
            EXPECT_EQ(test::ReadFile(path), "") << "the other program's file stays as it was";
        }
        EXPECT_FALSE(std::filesystem::exists(path + ".kwastor-tmp"));
    }
}

} // namespace
} // namespace kw
