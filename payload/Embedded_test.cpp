// The payload as the program finds it: at the end of its own file.
#include "payload/Catalogue.h"
#include "payload/PayloadOperations.h"
#include "payload/ProgramFile.h"
#include "payload/Resources.h"
#include "testsupport/payload/PayloadTestSupport.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace kw {
namespace {

TEST(EmbeddedPayload, TheProgramFileCarriesTheWholePayload) {
    test::LogCapture log;
    test::RecordingMessageSink boxes;
    UsePayloadFile("");
    EXPECT_EQ(LoadResString(kCountId), "308");
    EXPECT_EQ(NeededDiskSpace(), 134956);
    std::int32_t lowest = 0, highest = 0;
    GetResourceExtremes(lowest, highest);
    EXPECT_EQ(lowest, 1173);
    EXPECT_EQ(highest, 1480);

    test::TestInstallation inst;
    test::RecordingLabel label;
    ASSERT_TRUE(SaveResources(inst.Folder(), &label));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(label.Caption(), "Bestand 308 van 308");
    // Byte for byte what the packed container holds.
    UsePayloadFile(test::ScopedDemoPayload::Path());
    for (const char* nr : {"1173", "1196", "1439", "1480"})
        for (const BlobKind& kind : kBlobKinds) {
            auto blob = LoadResData(kind.prefix + std::string(nr), kBlobType);
            EXPECT_EQ(test::ReadFile(PathStart(inst.Folder(), kind) + nr + kind.extension),
                      std::string(reinterpret_cast<const char*>(blob->Bytes().data()),
                                  blob->Bytes().size()));
        }
    UsePayloadFile("");
}

// A figure of this process's memory from /proc/self/status, in kB: "VmRSS" now, "VmHWM" the
// peak since the last ResetPeak.
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Puts the program file out of the page cache, or reads all of it in: with the file cached, the
// kernel maps whole folios of it around each page that is touched.
void PlaceProgramFile(bool cached) {
    const std::string self = test::fs::read_symlink(ProgramFilePath()).string();
    const int fd = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    if (cached) {
        std::vector<char> chunk(1 << 20);
        while (::read(fd, chunk.data(), chunk.size()) > 0) {
        }
    } else {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    }
    ::close(fd);
}

TEST(EmbeddedPayload, HoldsNoMoreThanAboutOneBlobInMemoryWhateverThePageCacheHolds) {
    test::LogCapture log;
    test::RecordingMessageSink boxes;
    UsePayloadFile("");
    ASSERT_EQ(LoadResString(kCountId), "308"); // the payload is mapped
    for (bool cached : {false, true}) {
        SCOPED_TRACE(cached ? "program file in the page cache" : "program file not cached");
        PlaceProgramFile(cached);
        test::TestInstallation inst;
        ResetPeak();
        const long before = StatusKb("VmRSS");
        ASSERT_GT(before, 0);
        ASSERT_TRUE(SaveResources(inst.Folder(), nullptr));
        // 135 MB went through; what stays or stayed resident is the largest blob (1 MB) and the
        // pages around it, not the payload: at most the largest blob and 8 MB at any moment
        // (room for the sanitizers' quarantine of freed memory).
        EXPECT_LT(StatusKb("VmRSS") - before, 4 * 1024);
        EXPECT_LT(StatusKb("VmHWM") - before, 1031 + 8 * 1024);
    }
}

TEST(EmbeddedPayload, UnzipSeesTheProgramFileAsAnArchive) {
    if (std::system("command -v unzip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "unzip is not installed";
    const std::string self = test::fs::read_symlink(ProgramFilePath()).string();
    // -t checks every entry's CRC; unzip warns (and fails) when offsets need adjusting.
    EXPECT_EQ(std::system(("unzip -tq '" + self + "' >/dev/null").c_str()), 0);
}

TEST(EmbeddedPayload, LibzipFindsTheSameEntriesInTheProgramFile) {
    if (std::system("command -v zipcmp >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "zipcmp (libzip) is not installed";
    const std::string self = test::fs::read_symlink(ProgramFilePath()).string();
    EXPECT_EQ(
        std::system(("zipcmp -q '" + self + "' '" + test::ScopedDemoPayload::Path() + "'").c_str()),
        0);
}

} // namespace
} // namespace kw
