#include "app/MainModule.h"
#include "db/Database.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kw
