#include "db/Backend.h"
#include "db/Database.h"
#include "sys/Failure.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace kw {
namespace {

using test::LogCapture;
using test::RecordingMessageSink;
using test::TempDir;
namespace fs = std::filesystem;

// The ODBC driver manager reads its drivers from a folder of this test's own, so that the
// machine's configuration can't change the outcome: the SQLite driver is there under a name of
// ours, and no Access driver is. Its trace shows the connection strings that reached it.
class OdbcEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        test::WriteFile(dir_.Path() / "odbcinst.ini",
                        "[ODBC]\nTrace=Yes\nTraceFile=" + TracePath() +
                            "\n\n[Kwastor SQLite]\nDriver=" KW_SQLITE_ODBC_DRIVER "\n");
        test::WriteFile(dir_.Path() / "odbc.ini", "");
        ::setenv("ODBCSYSINI", dir_.Path().c_str(), 1);
        ::setenv("ODBCINI", (dir_.Path() / "odbc.ini").c_str(), 1);
    }

    static std::string TracePath() { return (dir_.Path() / "trace.log").string(); }

private:
    static inline TempDir dir_;
};
[[maybe_unused]] auto* const gOdbc = ::testing::AddGlobalTestEnvironment(new OdbcEnvironment);

const std::string kBox = "Er is een fout opgetreden:\r\n";

// Open file descriptors of this process that point at the file.
int OpenDescriptors(const fs::path& file) {
    int n = 0;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(fd.path(), ec) == file)
            ++n;
    }
    return n;
}

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDemoDatabase(db_); }
    void TearDown() override { Disconnect(); }

    TempDir dir_;
    std::string db_ = dir_.Folder() + "picbase.pbd";
    LogCapture log_;
    RecordingMessageSink boxes_;
};

TEST_F(DatabaseTest, WithoutConnectionEveryStatementFailsVisiblyAndReachesNothing) {
    // The message box comes before the log lines: the log holds nothing yet when it shows.
    struct OrderSink : MessageSink {
        const LogCapture* log;
        std::vector<std::size_t> recordsAtShow;
        std::vector<std::string> texts;
        void Show(const std::string& text, const std::string& title, MsgIcon icon) override {
            EXPECT_EQ(title, "Kwastor");
            EXPECT_EQ(icon, MsgIcon::None);
            texts.push_back(text);
            recordsAtShow.push_back(fs::exists(log->Path()) ? log->Records().size() : 0);
        }
    } sink;
    sink.log = &log_;
    SetMessageSink(&sink);

    EXPECT_EQ(ExecuteSQL("DELETE FROM pictogram"), -1);
    EXPECT_EQ(OpenRSBySQL("SELECT nr FROM pictogram WHERE nr=700", true), nullptr);
    SetMessageSink(nullptr);

    EXPECT_EQ(sink.texts, (std::vector<std::string>{kBox + "geen verbinding met database",
                                                    kBox + "geen verbinding met database"}));
    // The first record of a fresh log is its start record.
    EXPECT_EQ(sink.recordsAtShow, (std::vector<std::size_t>{0, 3}));
    const std::vector<std::string> expected{
        "2026-03-04\nLogging started.", "ExecuteSQL() : geen verbinding met database",
        "ExecuteSQL() : SQL = 'DELETE FROM pictogram'",
        "OpenRSBySQL() : geen verbinding met database",
        "OpenRSBySQL() : SQL = 'SELECT nr FROM pictogram WHERE nr=700'"};
    EXPECT_EQ(log_.Records(), expected);
    EXPECT_NE(test::DumpTable(db_, "pictogram"), "");
}

TEST_F(DatabaseTest, CountsAreTheEnginesAndAggregatesOverNothingAreNull) {
    Connect(db_);
    ASSERT_TRUE(IsConnected());
    EXPECT_EQ(ExecuteSQL("DELETE FROM categorie_pictogram WHERE categorie_nr > 28"), 0);
    EXPECT_EQ(ExecuteSQL("INSERT INTO categorie VALUES (29, 1141, 'School / Kantoor', 1)"), 1);
    EXPECT_EQ(ExecuteSQL("DELETE FROM pictogram WHERE nr > 1170"), 2);
    // After a change, a statement that changes nothing doesn't repeat the old count.
    EXPECT_EQ(ExecuteSQL("CREATE TABLE extra (x)"), 0);

    auto rs = OpenRSBySQL("SELECT MAX(nr) AS hoogste FROM categorie_pictogram WHERE "
                          "categorie_nr=29",
                          true);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->Field("HOOGSTE"), FieldValue{});
    CloseRS(rs.get());
    EXPECT_FALSE(rs->IsOpen());
    CloseRS(rs.get()); // already closed: nothing happens

    rs = OpenRSBySQL("SELECT omschrijving, nr FROM categorie WHERE nr=29", true);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->Field("omschrijving"), FieldValue{std::string("School / Kantoor")});
    EXPECT_EQ(rs->Field("nr"), FieldValue{std::int64_t{29}});
    EXPECT_THROW(rs->Field("naam"), Failure);
    CloseRS(rs.get());

    // A query that matches nothing still gives a result set; reading it is the caller's fault.
    rs = OpenRSBySQL("SELECT omschrijving FROM categorie WHERE nr=99", true);
    ASSERT_NE(rs, nullptr);
    EXPECT_THROW(rs->Field("omschrijving"), Failure);
    CloseRS(rs.get());

    Disconnect();
    EXPECT_FALSE(IsConnected());
    EXPECT_TRUE(boxes_.boxes.empty());
    // Each statement committed by itself: another reader sees the insert.
    EXPECT_EQ(test::DumpTable(db_, "categorie", "nr = 29"),
              "categorie|29|1141|School / Kantoor|1\n");
}

TEST_F(DatabaseTest, EngineFailuresAreShownThenLoggedWithTheStatement) {
    Connect(db_);
    ASSERT_TRUE(IsConnected());
    EXPECT_EQ(ExecuteSQL("INSERT INTO categorie VALUES (5, 1, 'Dubbel', 1)"), -1);
    EXPECT_EQ(OpenRSBySQL("SELECT MAX(nr) AS hoogste FROM categorie_pictogram WHERE "
                          "categorie_nr=abc",
                          true),
              nullptr);
    // Two statements in one text would run only the first: refused as a whole.
    EXPECT_EQ(ExecuteSQL("DELETE FROM pictogram WHERE nr=700; DELETE FROM pictogram"), -1);
    // A percent sign in the statement would trip the log's own rules; the record still comes.
    EXPECT_EQ(ExecuteSQL("DELETE FROM nergens WHERE naam LIKE '%s'"), -1);

    ASSERT_EQ(boxes_.boxes.size(), 4u);
    EXPECT_EQ(boxes_.boxes[0].text, kBox + "UNIQUE constraint failed: categorie.nr");
    EXPECT_EQ(boxes_.boxes[1].text, kBox + "no such column: abc");
    const auto records = log_.Records();
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records[1], "ExecuteSQL() : UNIQUE constraint failed: categorie.nr");
    EXPECT_EQ(records[2],
              "ExecuteSQL() : SQL = 'INSERT INTO categorie VALUES (5, 1, 'Dubbel', 1)'");
    EXPECT_EQ(records[3], "OpenRSBySQL() : no such column: abc");
    EXPECT_EQ(records[8], "ExecuteSQL() : SQL = 'DELETE FROM nergens WHERE naam LIKE '%s''");
    EXPECT_NE(test::DumpTable(db_, "pictogram", "nr = 700"), "");
}

TEST_F(DatabaseTest, ConnectRefusesWhatIsNoWritableDatabaseAndCreatesNothing) {
    const std::string missing = dir_.Folder() + "nergens.pbd";
    const std::string folder = dir_.Folder() + "map.pbd";
    const std::string text = dir_.Folder() + "tekst.pbd";
    fs::create_directory(folder);
    test::WriteFile(text, "Dit is geen database, maar wel lang genoeg om te lezen.\n");
    struct Case {
        std::string path, description;
    };
    const Case cases[] = {
        {missing, "Database '" + missing + "' bestaat niet"},
        {folder, "'" + folder + "' is een map, geen database"},
        {text, "'" + text + "' is geen database (geen SQLite- of Access-bestand)"},
    };
    for (const Case& c : cases) {
        boxes_.boxes.clear();
        Connect(c.path);
        EXPECT_FALSE(IsConnected()) << c.path;
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_EQ(boxes_.boxes[0].text, kBox + c.description);
        EXPECT_EQ(log_.Records().back(), "Connect() : " + c.description);
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(test::ReadFile(text), "Dit is geen database, maar wel lang genoeg om te lezen.\n");

    // Nothing reaches a database after a failed Connect.
    boxes_.boxes.clear();
    EXPECT_EQ(ExecuteSQL("DELETE FROM pictogram"), -1);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, kBox + "geen verbinding met database");
}

// Damage in the header, or in a page that opening never reads (found by the quick check), fails
// in Connect, and the file is left exactly as it was.
TEST_F(DatabaseTest, ADamagedSqliteFileFailsInConnect) {
    const std::string good = test::ReadFile(db_);
    const std::size_t page = 4096;
    ASSERT_EQ(good.size() % page, 0u);
    ASSERT_GE(good.size(), 3 * page);
    const std::pair<std::size_t, std::size_t> damages[] = {{100, page},
                                                           {good.size() - page, good.size()}};
    for (const auto& [from, to] : damages) {
        SCOPED_TRACE(from);
        std::string bytes = good;
        for (std::size_t i = from; i < to; ++i)
            bytes[i] = from == 100 ? '\x5a' : '\0';
        test::WriteFile(db_, bytes);
        boxes_.boxes.clear();
        Connect(db_);
        EXPECT_FALSE(IsConnected());
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_EQ(boxes_.boxes[0].text.rfind(
                      kBox + "Database '" + db_ + "' kan niet geopend worden: ", 0),
                  0u);
        EXPECT_EQ(test::ReadFile(db_), bytes);
    }
}

// A transaction's statements last only when it is committed, on either engine.
TEST_F(DatabaseTest, TransactionsCommitOrUndoOnBothEngines) {
    const std::string row = "categorie|29|1141|School / Kantoor|1\n";
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "ODBC" : "SQLite");
        for (const bool commit : {false, true}) {
            test::ExecOn(db_, "DELETE FROM categorie WHERE nr = 29");
            auto connection =
                odbc ? OpenOdbc("DRIVER={Kwastor SQLite};Database=" + db_) : OpenSqlite(db_);
            connection->Begin();
            EXPECT_EQ(connection->Execute(
                          "INSERT INTO categorie VALUES (29, 1141, 'School / Kantoor', 1)"),
                      1);
            commit ? connection->Commit() : connection->Rollback();
            connection.reset();
            EXPECT_EQ(test::DumpTable(db_, "categorie", "nr = 29"), commit ? row : "");
        }
    }
}

TEST_F(DatabaseTest, AnAccessFileNeedsTheAccessDriverAndSaysSoInTheDriverManagersWords) {
    const std::string mdb = dir_.Folder() + "access.pbd";
    std::string bytes(2048, '\0');
    bytes.replace(0, 4, std::string("\0\1\0\0", 4));
    bytes.replace(4, 15, "Standard Jet DB");
    test::WriteFile(mdb, bytes);
    Connect(mdb);
    EXPECT_FALSE(IsConnected());
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_NE(boxes_.boxes[0].text.find("[unixODBC][Driver Manager]"), std::string::npos)
        << boxes_.boxes[0].text;
    // The driver manager masks the password in its trace.
    EXPECT_NE(test::ReadFile(OdbcEnvironment::TracePath())
                  .find("[DRIVER={Microsoft Access Driver (*.mdb)};UID=Admin;PWD=********;DBQ=" +
                        mdb + "]"),
              std::string::npos);
    EXPECT_EQ(test::ReadFile(mdb), bytes);
}

TEST_F(DatabaseTest, ConnectWhileConnectedClosesTheFirstConnection) {
    Connect(db_);
    ASSERT_TRUE(IsConnected());
    EXPECT_GT(OpenDescriptors(fs::canonical(db_)), 0);
    Connect(dir_.Folder() + "nergens.pbd");
    EXPECT_FALSE(IsConnected());
    EXPECT_EQ(OpenDescriptors(fs::canonical(db_)), 0);

    Connect(db_);
    Connect(db_);
    EXPECT_TRUE(IsConnected());
    EXPECT_EQ(OpenDescriptors(fs::canonical(db_)), 1);
    Disconnect();
    EXPECT_EQ(OpenDescriptors(fs::canonical(db_)), 0);
}

TEST_F(DatabaseTest, DisconnectWhileDisconnectedAndCloseOfNothingOnlyLog) {
    Disconnect();
    EXPECT_FALSE(fs::exists(log_.Path())); // no record was written
    CloseRS(nullptr);
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(log_.Records().back(), "CloseRS() : geen resultatenset");
}

TEST_F(DatabaseTest, AReadOnlyDatabaseIsRefusedInConnect) {
    auto mount = test::ScopedTmpfs::Mount(4 << 20);
    if (!mount)
        GTEST_SKIP() << "no tmpfs mount allowed here";
    const std::string path = (mount->Path() / "picbase.pbd").string();
    CreateDemoDatabase(path);
    const std::string before = test::DumpDatabase(path);
    ASSERT_TRUE(mount->Remount(true));
    Connect(path);
    EXPECT_FALSE(IsConnected());
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, kBox + "Database '" + path +
                                        "' kan niet geopend worden: het bestand is alleen-lezen");
    EXPECT_EQ(test::DumpDatabase(path), before);
}

TEST_F(DatabaseTest, ALockedDatabaseFailsWithinTheBusyTimeout) {
    test::ExclusiveLockHolder lock(db_);
    const auto start = std::chrono::steady_clock::now();
    Connect(db_);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(IsConnected());
    EXPECT_LT(waited, std::chrono::milliseconds(kBusyTimeoutMs + 3000));
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text,
              kBox + "Database '" + db_ + "' kan niet geopend worden: database is locked");
}

TEST_F(DatabaseTest, AStatementOnADatabaseLockedLaterFailsAndChangesNothing) {
    Connect(db_);
    ASSERT_TRUE(IsConnected());
    const std::string before = test::DumpDatabase(db_);
    {
        test::ExclusiveLockHolder lock(db_);
        EXPECT_EQ(ExecuteSQL("DELETE FROM pictogram WHERE nr > 1000"), -1);
    }
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, kBox + "database is locked");
    EXPECT_EQ(test::DumpDatabase(db_), before);
    EXPECT_EQ(ExecuteSQL("DELETE FROM pictogram WHERE nr > 1000"), 172); // the lock is gone
}

// The ODBC engine, for real through the driver manager, with the SQLite driver in place of the
// Access one.
TEST_F(DatabaseTest, OdbcEngineGivesTheSameResultsAsTheEmbeddedOne) {
    auto odbc = OpenOdbc("DRIVER={Kwastor SQLite};Database=" + db_);
    EXPECT_EQ(odbc->Execute("DELETE FROM categorie_pictogram WHERE categorie_nr > 28"), 0);
    EXPECT_EQ(odbc->Execute("INSERT INTO categorie VALUES (29, 1141, 'School / Kantoor', 1)"), 1);
    EXPECT_EQ(odbc->Execute("DELETE FROM pictogram WHERE nr > 1170"), 2);

    auto rs = odbc->Query("SELECT MAX(nr) AS hoogste FROM categorie_pictogram WHERE "
                          "categorie_nr=29");
    EXPECT_EQ(rs->Field("hoogste"), FieldValue{});
    const std::string highest =
        "SELECT MAX(nr) AS hoogste FROM categorie_pictogram WHERE categorie_nr=5";
    const std::int32_t embedded = FieldToInt32(OpenSqlite(db_)->Query(highest)->Field("hoogste"));
    EXPECT_GT(embedded, 0);
    EXPECT_EQ(FieldToInt32(odbc->Query(highest)->Field("Hoogste")), embedded);
    rs = odbc->Query("SELECT omschrijving FROM categorie WHERE nr=29");
    EXPECT_EQ(FieldToText(rs->Field("omschrijving")), "School / Kantoor");
    rs = odbc->Query("SELECT omschrijving FROM categorie WHERE nr=99");
    EXPECT_THROW(rs->Field("omschrijving"), Failure);

    try {
        odbc->Query("SELECT nr FROM categorie WHERE nr=abc");
        ADD_FAILURE() << "a bad query was accepted";
    } catch (const Failure& e) {
        EXPECT_NE(std::string(e.what()).find("no such column"), std::string::npos) << e.what();
    }
    odbc.reset();
    EXPECT_EQ(test::DumpTable(db_, "categorie", "nr = 29"),
              "categorie|29|1141|School / Kantoor|1\n");
}

TEST_F(DatabaseTest, OdbcReadsLongTextWhole) {
    const std::string name(700, 'x');
    test::ExecOn(db_, "UPDATE categorie SET omschrijving='" + name + "' WHERE nr=3");
    auto odbc = OpenOdbc("DRIVER={Kwastor SQLite};Database=" + db_);
    EXPECT_EQ(
        FieldToText(
            odbc->Query("SELECT omschrijving FROM categorie WHERE nr=3")->Field("omschrijving")),
        name);
}

TEST(FieldConversion, NumbersAndTextsAsTheCallersReadThem) {
    EXPECT_EQ(FieldToInt32(std::int64_t{40}), 40);
    EXPECT_EQ(FieldToInt32(std::string(" 41 ")), 41);
    EXPECT_EQ(FieldToInt32(2.5), 2);
    EXPECT_EQ(FieldToInt32(3.5), 4);
    EXPECT_THROW(FieldToInt32(FieldValue{}), Failure);
    EXPECT_THROW(FieldToInt32(std::string("4x")), Failure);
    EXPECT_THROW(FieldToInt32(std::string("")), Failure);
    EXPECT_THROW(FieldToInt32(std::int64_t{1} << 31), Failure);
    EXPECT_THROW(FieldToInt32(1e10), Failure);
    EXPECT_EQ(FieldToText(std::int64_t{-7}), "-7");
    EXPECT_EQ(FieldToText(std::string("Media")), "Media");
    EXPECT_THROW(FieldToText(FieldValue{}), Failure);
}

} // namespace
} // namespace kw
