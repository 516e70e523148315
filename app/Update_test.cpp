// The wizard's steps without a window: recording labels and a recording window on a real test
// installation, payload, database and file system.
#include "app/Update.h"

#include "db/Database.h"
#include "payload/Catalogue.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "testsupport/xwindow/XTestServer.h"
#include "tools/make-test-installation/TestInstallation.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace kw {
namespace {

using test::CountFiles;
using test::LogCapture;
namespace fs = std::filesystem;

std::size_t MediaFiles(const std::string& folder) {
    return CountFiles(folder + "pictogrammen") + CountFiles(folder + "geluiden") +
           CountFiles(folder + "thumbs");
}

/// A test installation, a payload of twelve pictograms (1173 to 1184) and the rows of a step.
class StepTest : public ::testing::Test {
protected:
    StepTest() : folder_(dir_.Folder() + "Merodaan/") {
        CreateTestInstallation(folder_);
        for (int row = 0; row < 2; ++row) {
            rows_.action[row] = &action_[row];
            rows_.result[row] = &result_[row];
        }
        rows_.window = &window_;
    }
    std::string Db() const { return DatabaseFile(folder_); }
    std::string Result(int row) const { return result_[row].Caption(); }
    /// The records written since the fixture was made, without the start record.
    std::vector<std::string> Records() const {
        std::vector<std::string> all = log_.Records();
        return all.empty() ? all : std::vector<std::string>(all.begin() + 1, all.end());
    }

    test::TempDir dir_;
    std::string folder_;
    LogCapture log_;
    test::RecordingMessageSink boxes_;
    std::array<test::RecordingLabel, 2> action_, result_;
    test::RecordingWindow window_;
    StepRows rows_;
};

TEST_F(StepTest, CheckClearsThePayloadRangeAndPasses) {
    test::ScopedPayload payload(test::SmallPayload(12));
    test::ExecOn(Db(), "INSERT INTO pictogram VALUES (1173, 'i1173', 'Oud'), "
                       "(1184, 'i1184', 'Oud2'), (1185, 'i1185', 'Buiten');"
                       "INSERT INTO categorie_pictogram VALUES (9000, 3, 1173), (9001, 3, 1185);");
    EXPECT_TRUE(CheckInstallation(folder_, rows_));
    EXPECT_EQ(action_[0].Caption(), "Integriteit van Vondelux bewaken");
    EXPECT_EQ(action_[1].Caption(), "Voldoende schijfruimte");
    EXPECT_EQ(Result(0), "In orde.");
    EXPECT_EQ(Result(1), "In orde.");
    EXPECT_EQ(test::DumpTable(Db(), "pictogram", "nr >= 1173"), "pictogram|1185|i1185|Buiten\n");
    EXPECT_EQ(test::DumpTable(Db(), "categorie_pictogram", "pictogram_nr >= 1173"),
              "categorie_pictogram|9001|3|1185\n");
    EXPECT_NE(test::DumpTable(Db(), "pictogram", "nr = 1172"), "") << "older pictograms stay";
    const std::vector<std::string> records = Records();
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [](const std::string& r) {
        return r.starts_with("AvailableDiskSpace() : ") && r.find(" kB vrij op /") != r.npos;
    }));
    EXPECT_EQ(records.back(), "Stap 2 met succes doorlopen.\n");
    EXPECT_FALSE(IsConnected());
}

// Every road by which the check stops: what each row then shows and what the step logs.
TEST_F(StepTest, CheckStopsAtTheFirstFailure) {
    const std::string kFatal = "Ernstige interne fout. De update kan niet doorgaan.";
    struct Case {
        const char* what;
        std::function<void(test::PayloadContents&, const std::string& db)> spoil;
        std::string row0, row1;
        std::vector<std::string> records; // of the step itself, in order
        std::size_t boxes;
    };
    const Case cases[] = {
        {"no database",
         [](auto&, const std::string& db) { fs::remove(db); },
         "Er is een fout opgetreden tijdens het lezen van Vondelux.",
         "",
         {},
         1},
        {"no number range",
         [](auto& c, auto&) { c.strings[kCountId] = "twee"; },
         kFatal,
         "",
         {"Fout in stap 2: lowest = 0, highest = 0.\n"},
         1},
        {"first statement",
         [](auto&, const std::string& db) {
             test::ExecOn(db, "DROP TABLE categorie_pictogram; DROP TABLE pictogram");
         },
         "Fout tijdens bewaking.",
         "",
         {"Fout in stap 2: ExecuteSQL() (1).\n"},
         1},
        {"second statement",
         [](auto&, const std::string& db) { test::ExecOn(db, "DROP TABLE categorie_pictogram"); },
         "Fout tijdens bewaking.",
         "",
         {"Fout in stap 2: ExecuteSQL() (2).\n"},
         1},
        {"unmeasurable payload",
         [](auto& c, auto&) { c.RemoveBlob("V_1175"); },
         "In orde.",
         kFatal,
         {"Fout in stap 2: NeededDiskSpace() (-1).\n"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string folder = dir.Folder() + "Merodaan/";
        CreateTestInstallation(folder);
        test::PayloadContents contents = test::SmallPayload(4);
        c.spoil(contents, DatabaseFile(folder));
        test::ScopedPayload payload(contents);
        boxes_.boxes.clear();
        const std::size_t mark = log_.Records().size();

        EXPECT_FALSE(CheckInstallation(folder, rows_));
        EXPECT_EQ(Result(0), c.row0);
        EXPECT_EQ(Result(1), c.row1);
        const std::vector<std::string> all = log_.Records();
        std::vector<std::string> records;
        for (std::size_t i = mark; i < all.size(); ++i)
            if (all[i].starts_with("Fout in stap 2") || all[i].starts_with("Stap 2"))
                records.push_back(all[i]);
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(boxes_.boxes.size(), c.boxes) << "the failure itself is shown once";
        EXPECT_FALSE(IsConnected());
    }
}

TEST_F(StepTest, CheckRefusesARunningVondeluxWithoutTouchingTheDatabase) {
    std::string why;
    std::unique_ptr<test::XvfbServer> server = test::XvfbServer::Start(why);
    if (!server)
        GTEST_SKIP() << "no X server for this test: " << why;
    std::optional<test::TestWindow> vondelux =
        test::TestWindow::Open("ThunderRT6MDIForm", "Vondelux");
    ASSERT_TRUE(vondelux);
    const std::string before = test::DumpDatabase(Db());
    test::ScopedDemoPayload payload;
    EXPECT_FALSE(CheckInstallation(folder_, rows_));
    EXPECT_EQ(Result(0), "Vondelux is geopend.");
    EXPECT_EQ(Result(1), "");
    EXPECT_TRUE(vondelux->Urgent()) << "its window flashes";
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(test::DumpDatabase(Db()), before);
}

/// A tmpfs of exactly `bytes`, or a skipped test where this process may not mount.
#define MOUNT_OR_SKIP(var, bytes)                                                                  \
    std::optional<test::ScopedTmpfs> var = test::ScopedTmpfs::Mount(bytes);                        \
    if (!var)                                                                                      \
    GTEST_SKIP() << "mounting a tmpfs is not permitted here"

TEST(CheckInstallation, NeedsRoomOnTheDisk) {
    MOUNT_OR_SKIP(disk, 1 << 20);
    const std::string folder = (disk->Path() / "Merodaan").string() + "/";
    CreateTestInstallation(folder);
    // One picture larger than the whole disk.
    test::PayloadContents contents = test::SmallPayload(4);
    const std::string big = contents.blobs.front().first;
    contents.SetBlob(big, test::BlobBytes(big, 2 << 20));
    test::ScopedPayload payload(contents);
    LogCapture log;
    std::array<test::RecordingLabel, 4> labels;
    test::RecordingWindow window;
    StepRows rows{{&labels[0], &labels[1]}, {&labels[2], &labels[3]}, &window};
    EXPECT_FALSE(CheckInstallation(folder, rows));
    EXPECT_EQ(labels[2].Caption(), "In orde.");
    EXPECT_EQ(labels[3].Caption(), "Te weinig schijfruimte.");
    EXPECT_EQ(log.Records().back(), "Fout in stap 2: te weinig schijfruimte.\n");
}

TEST_F(StepTest, UpdateWritesTheFilesThenTheDatabaseAndListsWhatWasAdded) {
    test::ScopedPayload payload(test::SmallPayload(12));
    EXPECT_TRUE(UpdateInstallation(folder_, rows_));
    EXPECT_EQ(action_[0].Caption(), "Kopieren van bestanden");
    EXPECT_EQ(action_[1].Caption(), "Bijwerken van Vondelux");
    EXPECT_EQ(Result(0), "Gereed.");
    EXPECT_EQ(Result(1), "Gereed.");
    EXPECT_EQ(Records().back(), "Stap 3 met succes doorlopen.");
    EXPECT_EQ(MediaFiles(folder_), 48u);
    EXPECT_EQ(window_.passes, 24) << "one pass per pictogram in each half";
    EXPECT_FALSE(IsConnected());

    test::RecordingList list;
    ListAddedPictograms(folder_, list);
    EXPECT_EQ(list.items.size(), 12u);
    EXPECT_FALSE(IsConnected());
}

// The installation's own Access database goes through the steps as the SQLite one does: the same
// records, byte for byte, and the change list read back from the Access file.
TEST(Steps, AnAccessDatabaseLogsAsAnSqliteOne) {
    test::ScopedPayload payload(test::SmallPayload(40));
    std::vector<std::vector<std::string>> records;
    test::TempDir dir;
    const std::string folder = dir.Folder() + "Merodaan/"; // one path, so that the records compare
    for (DemoDatabaseKind kind : {DemoDatabaseKind::Sqlite, DemoDatabaseKind::Access}) {
        fs::remove_all(folder);
        CreateTestInstallation(folder, kind);
        LogCapture log;
        test::RecordingMessageSink boxes;
        std::array<test::RecordingLabel, 4> labels;
        test::RecordingWindow window;
        StepRows rows{{&labels[0], &labels[1]}, {&labels[2], &labels[3]}, &window};
        ASSERT_TRUE(CheckInstallation(folder, rows));
        ASSERT_TRUE(UpdateInstallation(folder, rows));
        test::RecordingList list;
        ListAddedPictograms(folder, list);
        ASSERT_EQ(list.items.size(), 40u);
        // Categories 29 to 38 are the update's own; their names come back from the database.
        EXPECT_EQ(list.items[28], "pictogram 'Naam28' in categorie 'School / Kantoor'");
        EXPECT_TRUE(boxes.boxes.empty());
        records.emplace_back();
        for (const std::string& r : log.Records())
            if (!r.starts_with("AvailableDiskSpace() : ")) // free space differs from run to run
                records.back().push_back(r);
    }
    EXPECT_EQ(records[0], records[1]);
}

// Every road by which the update stops: a half that fails, or the window closed during it.
TEST_F(StepTest, UpdateStopsAtAFailingHalf) {
    struct Case {
        const char* what;
        bool filesDone;
        int closeAt; // 0: the window stays open
        bool breakFiles, lockDatabase;
    };
    const Case cases[] = {
        {"a file can't be written", false, 0, true, false},
        {"the database is locked", true, 0, false, true},
        {"closed while files are written", false, 5, false, false},
        {"closed while the database is updated", true, 15, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string folder = dir.Folder() + "Merodaan/";
        CreateTestInstallation(folder);
        test::ScopedPayload payload(test::SmallPayload(12));
        if (c.breakFiles)
            fs::remove_all(folder + "thumbs");
        const std::string before = test::DumpDatabase(DatabaseFile(folder));
        std::optional<test::ExclusiveLockHolder> lock;
        if (c.lockDatabase)
            lock.emplace(DatabaseFile(folder));
        window_ = {};
        window_.closeAt = c.closeAt;

        EXPECT_FALSE(UpdateInstallation(folder, rows_));
        lock.reset();
        EXPECT_FALSE(IsConnected());
        if (c.filesDone) {
            EXPECT_EQ(Result(0), "Gereed.");
            EXPECT_NE(Result(1), "");
            EXPECT_NE(Result(1), "Gereed.");
            EXPECT_EQ(CountFiles(folder + "thumbs"), 12u);
            EXPECT_EQ(log_.Records().back(),
                      "Fout in stap 3: database kon niet worden bijgewerkt.\n");
            EXPECT_EQ(test::DumpTable(DatabaseFile(folder), "pictogram", "nr = 1184"), "")
                << "the update stopped before its last pictogram";
        } else {
            EXPECT_NE(Result(0), "");
            EXPECT_NE(Result(0), "Gereed.");
            EXPECT_EQ(Result(1), "");
            EXPECT_LT(MediaFiles(folder), 48u);
            EXPECT_EQ(log_.Records().back(),
                      "Fout in stap 3: bestanden konden niet worden opgeslagen.\n");
            EXPECT_EQ(test::DumpDatabase(DatabaseFile(folder)), before) << "database untouched";
        }
        if (c.closeAt) {
            EXPECT_EQ(Result(c.filesDone ? 1 : 0),
                      "Het bijwerken is afgebroken: het venster is gesloten.");
        }
    }
}

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
