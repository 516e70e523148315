#include "app/MainModule.h"
#include "db/Database.h"
#include "db/jet/Writer.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kw {
namespace {

using Box = test::RecordingMessageSink::Box;

// The database mode, from the command line to the message boxes, on a real database.
class DatabaseModeTest : public ::testing::Test {
protected:
    // Notes, for every message box, whether the database was still connected.
    struct Sink : MessageSink {
        std::vector<Box> boxes;
        std::vector<bool> connected;
        Sink() { SetMessageSink(this); }
        ~Sink() override { SetMessageSink(nullptr); }
        void Show(const std::string& text, const std::string& title, MsgIcon icon) override {
            boxes.push_back({text, title, icon});
            connected.push_back(IsConnected());
        }
    };

    test::TempDir dir_;
    test::ScopedPayload payload_{
        test::CatalogueOf({{"1173", "Aanrecht ", "5"}, {"1174", "chatten", "31"}})};
    std::string folder_ = dir_.Folder() + "Vondelux/";
    std::string db_ = folder_ + "picbase.pbd";
    test::LogCapture log_;
    Sink sink_;
};

TEST_F(DatabaseModeTest, ADatabaseThatWontOpenShowsTwoBoxesAndIsNotUpdated) {
    EXPECT_EQ(HandleCommandLine("database " + dir_.Folder() + "Vondelux"), kExitFailed);
    const std::vector<Box> expected{
        {"Er is een fout opgetreden:\r\nDatabase '" + db_ + "' bestaat niet", "Kwastor",
         MsgIcon::None},
        {"Kon database '" + db_ + "' niet openen", "Kwastor", MsgIcon::Warning}};
    EXPECT_EQ(sink_.boxes, expected);
    const auto records = log_.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1], "Connect() : Database '" + db_ + "' bestaat niet");
}

TEST_F(DatabaseModeTest, AnUpdatableDatabaseIsUpdatedSilentlyAndClosed) {
    std::filesystem::create_directory(folder_);
    CreateDemoDatabase(db_);
    EXPECT_EQ(HandleCommandLine("DataBase " + folder_), kExitOk);
    EXPECT_TRUE(sink_.boxes.empty());
    EXPECT_FALSE(IsConnected());
    EXPECT_EQ(test::DumpTable(db_, "pictogram", "nr > 1172"),
              "pictogram|1173|i1173|Aanrecht \npictogram|1174|i1174|Chatten\n");
    EXPECT_EQ(test::QueryValue(db_, "SELECT count(*) FROM categorie WHERE nr > 28"), "10");
}

TEST_F(DatabaseModeTest, AFailedUpdateClosesTheDatabaseBeforeItsMessage) {
    std::filesystem::create_directory(folder_);
    CreateDemoDatabase(db_);
    test::ExecOn(db_, "DROP TABLE pictogram");
    EXPECT_FALSE(RunDatabaseMode(folder_));
    ASSERT_FALSE(sink_.boxes.empty());
    EXPECT_EQ(sink_.boxes.back(),
              (Box{"Kon database '" + db_ + "' niet bewerken", "Kwastor", MsgIcon::Warning}));
    EXPECT_FALSE(sink_.connected.back());
    EXPECT_TRUE(sink_.connected.front()); // the statement's own box came while connected
    EXPECT_EQ(log_.Records().end()[-2], "UpdateDB() : Invoegen mislukt bij pictogram Aanrecht ");
    EXPECT_EQ(log_.Records().back(), "UpdateDB() : de database is ongewijzigd gelaten.");
}

// Access files that can't take the update: each fails the mode with its reason in a message box,
// and the file is left byte for byte as it was.
TEST_F(DatabaseModeTest, AnAccessFileThatCantTakeTheUpdateIsLeftAsItWas) {
    namespace fs = std::filesystem;
    using jet::NewColumn, jet::Type::Long, jet::Type::Text;
    const std::string data = KW_JET_TESTDATA, full = data + "/picbase/picbase-V2000-full.pbd";
    // An Access 97 database with the program's password and only the tables given, made by the
    // engine inside an Access-made one.
    const auto access97 =
        [&](const std::vector<std::pair<const char*, std::vector<NewColumn>>>& tables) {
            fs::copy_file(data + "/public/jackcess/delTestV1997.mdb", db_);
            auto writer = jet::Writer::Open(db_, "");
            for (const auto& [name, columns] : tables)
                writer->CreateTable(name, columns, {});
            writer->SetPassword("kolibrie");
        };
    const std::vector<NewColumn> categorie{
        {"nr", Long}, {"icoon", Long}, {"omschrijving", Text, 50}, {"zichtbaar", Long}};
    const std::vector<NewColumn> pictogram{
        {"nr", Long}, {"bestand", Text, 50}, {"naam", Text, 100}};
    struct Case {
        const char* what;
        std::function<void()> make;
        bool held; // another program holds a lock on the whole file
        const char* reason;
    };
    const Case cases[] = {
        {"another password",
         [&] { fs::copy_file(data + "/public/mdb-reader/V2000_with-password.mdb", db_); }, false,
         "Not a valid password"},
        {"a damaged file",
         [&] {
             fs::copy_file(full, db_);
             fs::resize_file(db_, fs::file_size(db_) / 2);
         },
         false, "damaged"},
        {"a missing table",
         [&] {
             access97({{"categorie", categorie}, {"pictogram", pictogram}});
         },
         false, "no table \"categorie_pictogram\""},
        {"a table with a column too few",
         [&] {
             access97({{"categorie", categorie},
                       {"pictogram", pictogram},
                       {"categorie_pictogram", {{"nr", Long}, {"categorie_nr", Long}}}});
         },
         false, "has 2 columns, but 3 values were given"},
        {"held by another program", [&] { fs::copy_file(full, db_); }, true, "another program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder_);
        fs::create_directory(folder_);
        c.make();
        const std::string before = test::ReadFile(db_);
        const int other = c.held ? ::open(db_.c_str(), O_RDWR) : -1;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        ASSERT_TRUE(!c.held || ::fcntl(other, F_OFD_SETLK, &lock) == 0);
        sink_.boxes.clear();
        EXPECT_EQ(HandleCommandLine("database " + folder_), kExitFailed);
        if (other >= 0)
            ::close(other);
        EXPECT_FALSE(IsConnected());
        EXPECT_TRUE(test::ReadFile(db_) == before) << "the file is byte for byte as it was";
        std::string shown;
        for (const Box& b : sink_.boxes)
            shown += b.text + "\n";
        EXPECT_NE(shown.find(c.reason), std::string::npos) << shown;
    }
}

} // namespace
} // namespace kw
