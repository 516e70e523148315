// The payload as the program finds it: at the end of its own file.
#include "payload/Catalogue.h"
#include "payload/PayloadOperations.h"
#include "payload/ProgramFile.h"
#include "payload/Resources.h"
#include "testsupport/payload/PayloadTestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

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

// The resident memory of this process in kB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

long PeakKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(EmbeddedPayload, HoldsNoMoreThanAboutOneBlobInMemory) {
    test::LogCapture log;
    test::RecordingMessageSink boxes;
    UsePayloadFile("");
    ASSERT_EQ(LoadResString(kCountId), "308"); // the payload is mapped; nothing read yet
    test::TestInstallation inst;
    const long before = ResidentKb();
    ASSERT_GT(before, 0);
    ASSERT_TRUE(SaveResources(inst.Folder(), nullptr));
    // 135 MB went through; what stays or stayed resident is the largest blob (1 MB) and the
    // pages around it, not the payload.
    EXPECT_LT(ResidentKb() - before, 4 * 1024);
    EXPECT_LT(PeakKb() - before, 2 * 1031 + 4 * 1024);
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
