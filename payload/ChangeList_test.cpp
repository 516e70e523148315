#include "db/Database.h"
#include "payload/PayloadOperations.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"

#include <gtest/gtest.h>

#include <optional>

namespace kw {
namespace {

class ChangeListTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDemoDatabase(db_);
        Write({{"1173", "Aanrecht ", "5"}, {"1177", "chatten", "31"}, {"1178", "vegen", "19"}});
        Connect(db_);
        ASSERT_TRUE(IsConnected());
        ASSERT_TRUE(UpdateDB(nullptr));
    }
    void TearDown() override { Disconnect(); }
    void Write(const std::vector<test::CatalogueEntry>& entries,
               const std::optional<std::string>& count = std::nullopt) {
        payload_.reset();
        payload_.emplace(test::CatalogueOf(entries, count));
    }

    test::TempDir dir_;
    std::string db_ = dir_.Folder() + "picbase.pbd";
    std::optional<test::ScopedPayload> payload_;
    test::LogCapture log_;
    test::RecordingMessageSink boxes_;
    test::RecordingList list_;
};

TEST_F(ChangeListTest, OneLinePerEntryAppendedEachTimeWithTheCatalogueName) {
    list_.items = {"al aanwezig"};
    ListChanges(list_);
    ListChanges(list_);
    const std::string lines[] = {
        "pictogram 'Aanrecht ' in categorie '" +
            test::QueryValue(db_, "SELECT omschrijving FROM categorie WHERE nr=5") + "'",
        "pictogram 'chatten' in categorie 'Media'",
        "pictogram 'vegen' in categorie '" +
            test::QueryValue(db_, "SELECT omschrijving FROM categorie WHERE nr=19") + "'",
    };
    EXPECT_EQ(list_.items, (std::vector<std::string>{"al aanwezig", lines[0], lines[1], lines[2],
                                                     lines[0], lines[1], lines[2]}));
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(log_.Records().back(), "UpdateDB() : pictogram 'Vegen'"); // nothing logged
}

TEST_F(ChangeListTest, AFailureLeavesOnlyItsDescription) {
    struct Case {
        std::string cat, description;
        std::size_t boxes;
    };
    const Case cases[] = {
        {"99", "Er is geen huidig record: de resultatenset is leeg", 0},
        {"abc", "Slechte categorie bij pictogram raar", 1},
    };
    for (const Case& c : cases) {
        Write({{"1177", "chatten", "31"}, {"1178", "raar", c.cat}});
        boxes_.boxes.clear();
        list_.items = {"al aanwezig"};
        ListChanges(list_);
        EXPECT_EQ(list_.items, std::vector<std::string>{c.description});
        EXPECT_EQ(log_.Records().back(), "ListChanges() : " + c.description);
        EXPECT_EQ(boxes_.boxes.size(), c.boxes);
    }
}

TEST_F(ChangeListTest, ACountOfZeroLeavesTheListAsItWas) {
    Write({}, "0");
    list_.items = {"al aanwezig"};
    ListChanges(list_);
    EXPECT_EQ(list_.items, std::vector<std::string>{"al aanwezig"});
}

} // namespace
} // namespace kw
