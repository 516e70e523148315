#include "payload/PayloadOperations.h"

#include "payload/Catalogue.h"
#include "payload/Resources.h"
#include "testsupport/payload/PayloadTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kw {
namespace {

using Box = test::RecordingMessageSink::Box;
using test::LogCapture;
using test::ReadFile;
using test::RecordingLabel;
using test::RecordingMessageSink;
using test::ScopedPayload;
using test::SmallPayload;
using test::TestInstallation;
using test::fs::path;

const char* const kFolders[] = {"pictogrammen", "geluiden/man", "geluiden/vrouw", "thumbs"};
const char* const kExtensions[] = {".wmf", ".wav", ".wav", ".bmp"};

// The four files of one entry, in the order they are written.
std::vector<path> FilesOf(const TestInstallation& inst, const std::string& nr) {
    std::vector<path> files;
    for (int r = 0; r < 4; ++r)
        files.push_back(inst.Path() / kFolders[r] / ("i" + nr + kExtensions[r]));
    return files;
}

std::size_t CountFiles(const path& folder) {
    std::size_t n = 0;
    for (const auto& e : test::fs::recursive_directory_iterator(folder))
        n += e.is_regular_file();
    return n;
}

// Records without the log's own start record.
std::vector<std::string> OurRecords(const LogCapture& log) {
    std::vector<std::string> r = log.Records();
    r.erase(r.begin());
    return r;
}

TEST(SaveResources, WritesEveryFileOfTheDemoPayload) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    test::ScopedDemoPayload payload;
    TestInstallation inst;
    ASSERT_TRUE(SaveResources(inst.Folder(), &label));

    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(CountFiles(inst.Path()), 1232u);
    for (int k = 0; k < 308; ++k) {
        const std::string nr = std::to_string(1173 + k);
        const auto files = FilesOf(inst, nr);
        for (int r = 0; r < 4; ++r) {
            auto blob = LoadResData(kBlobKinds[r].prefix + nr, "BLOB");
            const std::string expected(reinterpret_cast<const char*>(blob->Bytes().data()),
                                       blob->Bytes().size());
            ASSERT_EQ(ReadFile(files[r]), expected) << files[r];
        }
    }
    ASSERT_EQ(label.captions.size(), 308u);
    EXPECT_EQ(label.captions.front(), "Bestand 1 van 308");
    EXPECT_EQ(label.Caption(), "Bestand 308 van 308");
    EXPECT_EQ(label.eventPasses, 308);

    const auto records = OurRecords(log);
    ASSERT_EQ(records.size(), 1233u);
    EXPECT_EQ(records[0], "SaveResources() : beginnen met kopieren van de bestanden.");
    EXPECT_EQ(records[1],
              "SaveResourceToFile() : kopieren van '" + inst.Folder() + "pictogrammen/i1173.wmf'");
    EXPECT_EQ(records[2],
              "SaveResourceToFile() : kopieren van '" + inst.Folder() + "geluiden/man/i1173.wav'");
    EXPECT_EQ(records[3], "SaveResourceToFile() : kopieren van '" + inst.Folder() +
                              "geluiden/vrouw/i1173.wav'");
    EXPECT_EQ(records[4],
              "SaveResourceToFile() : kopieren van '" + inst.Folder() + "thumbs/i1173.bmp'");
    EXPECT_EQ(records[1232],
              "SaveResourceToFile() : kopieren van '" + inst.Folder() + "thumbs/i1480.bmp'");
}

TEST(SaveResources, WithoutALabelNothingIsShown) {
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(3));
    TestInstallation inst;
    ASSERT_TRUE(SaveResources(inst.Folder(), nullptr));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(CountFiles(inst.Path()), 12u);
    EXPECT_EQ(OurRecords(log).size(), 13u);
    EXPECT_EQ(ReadFile(FilesOf(inst, "1175")[2]), test::BlobBytes("V_1175", 300 + 2 * 977 + 2000));
}

TEST(SaveResources, AMissingFolderStopsAtItsFirstFile) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    ScopedPayload payload(SmallPayload(3));
    TestInstallation inst;
    test::fs::remove(inst.Path() / "thumbs");
    EXPECT_FALSE(SaveResources(inst.Folder(), &label));

    const std::string failed = inst.Folder() + "thumbs/i1173.bmp";
    EXPECT_EQ(boxes.boxes, (std::vector<Box>{{"Fout tijdens het maken van bestand '" + failed + "'",
                                              "Kwastor", MsgIcon::None}}));
    EXPECT_EQ(CountFiles(inst.Path()), 3u) << "the files written before stay";
    EXPECT_EQ(label.captions, (std::vector<std::string>{"Bestand 1 van 3"}));
    const auto records = OurRecords(log);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[4], "SaveResourceToFile() : kopieren van '" + failed + "'");
    EXPECT_EQ(records[5],
              "SaveResourceToFile() : Fout tijdens het maken van bestand '" + failed + "'");
}

TEST(SaveResources, AFolderThatDoesNotExist) {
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(2));
    test::TempDir dir;
    EXPECT_FALSE(SaveResources(dir.Folder() + "nergens/", nullptr));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Fout tijdens het maken van bestand '" + dir.Folder() +
                                       "nergens/pictogrammen/i1173.wmf'");
    EXPECT_FALSE(test::fs::exists(dir.Path() / "nergens"));
}

TEST(SaveResources, ExistingFilesAreReplaced) {
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(1));
    TestInstallation inst;
    const auto files = FilesOf(inst, "1173");
    test::WriteFile(files[0], std::string(100000, 'o'));
    test::WriteFile(files[3], "kort");
    // Only a file that replaces another goes under its temporary name first, where the system
    // has files without a name; the others get their name when they are whole.
    const FileHandle probe = SystemFiles().CreateUnnamed(inst.Folder() + "pictogrammen/");
    const bool unnamed = probe != kInvalidFile && SystemFiles().Close(probe);
    test::FaultyFiles counted;
    counted.op = unnamed ? test::FaultyFiles::Op::Name : test::FaultyFiles::Op::CreateNew;
    counted.only = ".kwastor-tmp";
    {
        test::ScopedFiles scoped(counted);
        ASSERT_TRUE(SaveResources(inst.Folder(), nullptr));
    }
    EXPECT_EQ(counted.calls, unnamed ? 2 : 4);
    EXPECT_EQ(ReadFile(files[0]), test::BlobBytes("P_1173", 300));
    EXPECT_EQ(ReadFile(files[3]), test::BlobBytes("T_1173", 3300));
    EXPECT_EQ(CountFiles(inst.Path()), 4u);
}

TEST(SaveResources, AFileHeldElsewhereCannotBeMade) {
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(1));
    TestInstallation inst;
    const auto files = FilesOf(inst, "1173");
    test::WriteFile(files[1], "in gebruik");
    const int other = ::open(files[1].c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_FALSE(SaveResources(inst.Folder(), nullptr));
    ::close(other);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Fout tijdens het maken van bestand '" + files[1].string() + "'");
    EXPECT_EQ(ReadFile(files[1]), "in gebruik") << "the other opener's file is left whole";
}

TEST(SaveResources, AReadOnlyInstallation) {
    auto tmpfs = test::ScopedTmpfs::Mount(1 << 20);
    if (!tmpfs)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    for (const BlobKind& kind : kBlobKinds)
        test::fs::create_directories(tmpfs->Path() / kind.folder);
    ASSERT_TRUE(tmpfs->Remount(true));
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(2));
    EXPECT_FALSE(SaveResources(tmpfs->Path().string() + "/", nullptr));
    EXPECT_EQ(boxes.boxes,
              (std::vector<Box>{{"Fout tijdens het maken van bestand '" + tmpfs->Path().string() +
                                     "/pictogrammen/i1173.wmf'",
                                 "Kwastor", MsgIcon::None}}));
    EXPECT_EQ(CountFiles(tmpfs->Path()), 0u);
}

TEST(SaveResources, AFolderWhereAFileShouldBe) {
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(2));
    TestInstallation inst;
    const path in_the_way = FilesOf(inst, "1173")[1];
    test::fs::create_directory(in_the_way);
    EXPECT_FALSE(SaveResources(inst.Folder(), nullptr));
    EXPECT_EQ(boxes.boxes,
              (std::vector<Box>{{"Fout tijdens het maken van bestand '" + in_the_way.string() + "'",
                                 "Kwastor", MsgIcon::None}}));
    EXPECT_TRUE(test::fs::is_directory(in_the_way));
    EXPECT_EQ(CountFiles(inst.Path()), 1u);
}

// Whatever lies under a file's name (a link to a file elsewhere, a second name of such a file, a
// FIFO, a device, a temporary file that a killed run left) is replaced, never written through.
TEST(SaveResources, NamesInTheWayAreReplacedNeverWrittenThrough) {
    LogCapture log;
    RecordingMessageSink boxes;
    const test::PayloadContents contents = SmallPayload(1);
    ScopedPayload payload(contents);
    TestInstallation inst;
    test::TempDir elsewhere;
    const path outside = elsewhere.Path() / "buiten";
    test::WriteFile(outside, "niet van ons");
    const auto files = FilesOf(inst, "1173");
    const path leftover = files[3].string() + ".kwastor-tmp";
    test::fs::create_symlink(outside, files[0]);
    test::fs::create_hard_link(outside, files[1]);
    ASSERT_EQ(::mkfifo(files[2].c_str(), 0644), 0);
    test::fs::create_symlink(outside, leftover);
    const bool device = ::mknod(files[3].c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0;

    ASSERT_TRUE(SaveResources(inst.Folder(), nullptr));
    EXPECT_EQ(ReadFile(outside), "niet van ons");
    EXPECT_EQ(test::fs::hard_link_count(outside), 1u);
    EXPECT_FALSE(test::fs::exists(test::fs::symlink_status(leftover)));
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE(files[r]);
        if (r == 3 && !device)
            continue;
        EXPECT_TRUE(test::fs::is_regular_file(test::fs::symlink_status(files[r])));
        EXPECT_EQ(ReadFile(files[r]), contents.Blob(kBlobKinds[r].prefix + std::string("1173")));
    }
    EXPECT_EQ(CountFiles(inst.Path()), 4u);
}

// A default ACL that leaves others nothing (user::rwx group::r-x other::---), in the form the
// kernel takes it; false where the file system has no ACLs.
bool DenyOthersByDefault(const path& folder) {
    struct Entry {
        std::uint16_t tag, perm;
        std::uint32_t id;
    };
    struct {
        std::uint32_t version = 2;
        Entry entries[3] = {{0x01, 7, ~0u}, {0x04, 5, ~0u}, {0x20, 0, ~0u}};
    } acl;
    return ::setxattr(folder.c_str(), "system.posix_acl_default", &acl, sizeof acl, 0) == 0;
}

// New files can be read by everyone whatever the umask or a folder's default ACL, belong (when
// root writes them) to the owner of their folder, and may go through a folder that is a link to
// another disk.
TEST(SaveResources, FilesBelongToTheInstallationsOwner) {
    for (const mode_t mask : {mode_t{077}, mode_t{022}}) {
        SCOPED_TRACE(mask);
        LogCapture log;
        RecordingMessageSink boxes;
        ScopedPayload payload(SmallPayload(1));
        TestInstallation inst;
        test::TempDir otherDisk;
        test::fs::remove(inst.Path() / "thumbs");
        test::fs::create_directory_symlink(otherDisk.Path(), inst.Path() / "thumbs");
        DenyOthersByDefault(inst.Path() / "geluiden/vrouw");
        const bool root = ::geteuid() == 0;
        if (root) {
            for (const char* folder : kFolders)
                ASSERT_EQ(::chown((inst.Path() / folder).c_str(), 4321, 8765), 0);
        }
        const mode_t umask = ::umask(mask);
        const bool ok = SaveResources(inst.Folder(), nullptr);
        ::umask(umask);
        ASSERT_TRUE(ok);
        EXPECT_TRUE(test::fs::exists(otherDisk.Path() / "i1173.bmp"));
        for (const path& file : FilesOf(inst, "1173")) {
            struct stat st {};
            ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
            EXPECT_EQ(st.st_mode & 07777, 0644u) << file;
            if (root) {
                EXPECT_EQ(std::make_pair(st.st_uid, st.st_gid), std::make_pair(4321u, 8765u))
                    << file;
            }
        }
    }
}

TEST(SaveResources, ADamagedBlobIsNeverInstalled) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    ScopedPayload payload(SmallPayload(2));
    std::string bytes = ReadFile(payload.Path());
    const std::string blob = test::BlobBytes("V_1174", 300 + 977 + 2000);
    const std::size_t at = bytes.find(blob);
    ASSERT_NE(at, std::string::npos);
    bytes[at + blob.size() / 2] ^= 0x40;
    test::WriteFile(payload.Path(), bytes);
    UsePayloadFile(payload.Path());

    TestInstallation inst;
    EXPECT_FALSE(SaveResources(inst.Folder(), &label));
    EXPECT_EQ(boxes.boxes, (std::vector<Box>{{"De bron van het programma is beschadigd: "
                                              "'BLOB/V_1174' (CRC)",
                                              "Kwastor", MsgIcon::None}}));
    EXPECT_FALSE(test::fs::exists(FilesOf(inst, "1174")[2])) << "no file for the damaged blob";
    EXPECT_EQ(CountFiles(inst.Path()), 6u);
    EXPECT_EQ(label.Caption(), "Bestand 2 van 2");
}

TEST(SaveResources, ATruncatedPayloadWritesNothing) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    ScopedPayload payload(SmallPayload(2));
    const std::string bytes = ReadFile(payload.Path());
    test::WriteFile(payload.Path(), bytes.substr(0, bytes.size() - 100));
    UsePayloadFile(payload.Path());
    TestInstallation inst;
    EXPECT_FALSE(SaveResources(inst.Folder(), &label));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(label.Caption(), "Het programma bevat geen bronnen");
    EXPECT_EQ(OurRecords(log).back(), "SaveResources() : Het programma bevat geen bronnen");
    EXPECT_EQ(CountFiles(inst.Path()), 0u);
}

TEST(SaveResources, ACountBelowOneWritesNothing) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    test::PayloadContents contents = SmallPayload(2);
    contents.strings[kCountId] = "0";
    ScopedPayload payload(contents);
    TestInstallation inst;
    EXPECT_FALSE(SaveResources(inst.Folder(), &label));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(CountFiles(inst.Path()), 0u);
    EXPECT_EQ(label.captions, (std::vector<std::string>{"Bron heeft een slechte opmaak."}));
    EXPECT_EQ(OurRecords(log),
              (std::vector<std::string>{"SaveResources() : beginnen met kopieren van de bestanden.",
                                        "SaveResources() : Bron heeft een slechte opmaak."}));
}

TEST(SaveResources, AMissingNumberTextFailsWithoutAMessageBox) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    test::PayloadContents contents = SmallPayload(2);
    contents.strings.erase(NumberId(1));
    ScopedPayload payload(contents);
    TestInstallation inst;
    EXPECT_FALSE(SaveResources(inst.Folder(), &label));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(CountFiles(inst.Path()), 4u);
    EXPECT_EQ(label.Caption(), "Bron met nummer 105 niet gevonden");
    EXPECT_EQ(OurRecords(log).back(), "SaveResources() : Bron met nummer 105 niet gevonden");
}

TEST(SaveResourceToFile, AOneByteBlobMakesAOneByteFile) {
    LogCapture log;
    RecordingMessageSink boxes;
    test::PayloadContents contents = SmallPayload(1);
    contents.SetBlob("M_1173", "x");
    ScopedPayload payload(contents);
    TestInstallation inst;
    ASSERT_TRUE(SaveResources(inst.Folder(), nullptr));
    EXPECT_EQ(ReadFile(FilesOf(inst, "1173")[1]), "x");
}

TEST(SaveResourceToFile, AnEmptyBlobMakesNoFile) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    test::PayloadContents contents = SmallPayload(1);
    contents.SetBlob("P_1173", "");
    ScopedPayload payload(contents);
    TestInstallation inst;
    EXPECT_FALSE(SaveResources(inst.Folder(), &label));
    EXPECT_EQ(boxes.boxes, (std::vector<Box>{{"Lege bron: 'P_1173'", "Kwastor", MsgIcon::None}}));
    EXPECT_EQ(CountFiles(inst.Path()), 0u);
    EXPECT_EQ(OurRecords(log).back(), "SaveResourceToFile() : Lege bron: 'P_1173'");
    EXPECT_EQ(label.Caption(), "Bestand 1 van 1");
}

TEST(SaveResourceToFile, AMissingBlobShowsThePlatformsDescription) {
    LogCapture log;
    RecordingMessageSink boxes;
    test::PayloadContents contents = SmallPayload(2);
    contents.RemoveBlob("V_1174");
    ScopedPayload payload(contents);
    TestInstallation inst;
    EXPECT_FALSE(SaveResources(inst.Folder(), nullptr));
    EXPECT_EQ(boxes.boxes,
              (std::vector<Box>{{"Bron 'V_1174' niet gevonden", "Kwastor", MsgIcon::None}}));
    EXPECT_EQ(CountFiles(inst.Path()), 6u);
}

// A write that fails outright (1) or comes up short (2) leaves no file under either name.
TEST(SaveResourceToFile, AFailedOrShortWriteLeavesNothing) {
    for (const auto fault : {test::FaultyFiles::Fault::Fail, test::FaultyFiles::Fault::Short}) {
        LogCapture log;
        RecordingMessageSink boxes;
        ScopedPayload payload(SmallPayload(1));
        TestInstallation inst;
        test::FaultyFiles files;
        files.op = test::FaultyFiles::Op::Write;
        files.only = "thumbs/"; // the new file, named or not; not the log
        files.failAt = 1;
        files.fault = fault;
        test::ScopedFiles scoped(files);
        const std::string target = inst.Folder() + "thumbs/i1173.bmp";
        const std::string description =
            "Fout tijdens het schrijven van bestand '" + target +
            (fault == test::FaultyFiles::Fault::Fail ? "' (1)" : "' (2)");
        EXPECT_FALSE(SaveResourceToFile("T_1173", target));
        EXPECT_EQ(boxes.boxes, (std::vector<Box>{{description, "Kwastor", MsgIcon::None}}));
        EXPECT_EQ(OurRecords(log).back(), "SaveResourceToFile() : " + description);
        EXPECT_EQ(CountFiles(inst.Path()), 0u) << "neither the file nor its temporary";
    }
}

TEST(SaveResourceToFile, AFullDisk) {
    auto tmpfs = test::ScopedTmpfs::Mount(64 * 1024);
    if (!tmpfs)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    LogCapture log;
    RecordingMessageSink boxes;
    test::PayloadContents contents = SmallPayload(1);
    contents.SetBlob("P_1173", test::BlobBytes("P_1173", 200000));
    ScopedPayload payload(contents);
    const std::string target = (tmpfs->Path() / "i1173.wmf").string();
    test::WriteFile(target, "vorige versie");
    EXPECT_FALSE(SaveResourceToFile("P_1173", target));
    EXPECT_EQ(ReadFile(target), "vorige versie") << "the previous file stays as it was";
    EXPECT_EQ(CountFiles(tmpfs->Path()), 1u) << "no temporary file is left";
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.starts_with("Fout tijdens het schrijven van bestand '" +
                                                target + "' ("))
        << boxes.boxes[0].text;
}

TEST(SaveResourceToFile, EscapesInTheDescriptionReachOnlyTheLog) {
    LogCapture log;
    RecordingMessageSink boxes;
    ScopedPayload payload(SmallPayload(1));
    test::TempDir dir;
    const std::string target = dir.Folder() + "a\\thumbs/i1173.bmp";
    EXPECT_FALSE(SaveResourceToFile("T_1173", target));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Fout tijdens het maken van bestand '" + target + "'");
    const auto records = OurRecords(log);
    EXPECT_EQ(records[0], "SaveResourceToFile() : kopieren van '" + target + "'")
        << "a value is not escaped";
    EXPECT_EQ(records[1], "SaveResourceToFile() : Fout tijdens het maken van bestand '" +
                              dir.Folder() + "a\thumbs/i1173.bmp'");
}

TEST(SaveResources, APercentInTheFolderDoesNotBringTheCallerDown) {
    LogCapture log;
    RecordingMessageSink boxes;
    RecordingLabel label;
    ScopedPayload payload(SmallPayload(1));
    test::TempDir dir;
    // The failure's description holds "%d", which the log can't fill: it is logged literally
    // and the run ends as for any other file that can't be made.
    const std::string path = dir.Folder() + "100%d/pictogrammen/i1173.wmf";
    EXPECT_FALSE(SaveResources(dir.Folder() + "100%d/", &label));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Fout tijdens het maken van bestand '" + path + "'");
    EXPECT_EQ(label.Caption(), "Bestand 1 van 1");
    EXPECT_EQ(log.Records().back(),
              "SaveResourceToFile() : Fout tijdens het maken van bestand '" + path + "'");
}

} // namespace
} // namespace kw
