#include "db/Database.h"
#include "payload/Catalogue.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"
#include "sys/Failure.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"
#include "tools/pack-payload/ContainerWriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace kw {
namespace {

using test::DumpDatabase;
using test::DumpTable;
using test::ExecOn;
using test::QueryValue;

struct Entry {
    std::string num, name, cat;
};

// A catalogue written straight into a container, bypassing the packer's checks.
void WriteCatalogue(const std::string& file, const std::vector<Entry>& entries,
                    std::optional<std::string> count = std::nullopt) {
    payload::ContainerWriter writer(file);
    writer.AddString(kCountId, count.value_or(std::to_string(entries.size())));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto i = static_cast<std::int32_t>(k);
        writer.AddString(NumberId(i), entries[k].num);
        writer.AddString(NameId(i), entries[k].name);
        writer.AddString(CategoryId(i), entries[k].cat);
    }
    writer.Finish();
}

// The first entries as shipped, and some that exercise the new categories and the names.
const std::vector<Entry> kEntries = {
    {"1173", "Aanrecht ", "5"},          {"1174", "Aardrijkskunde", "25"},
    {"1175", "Advocaat", "7"},           {"1176", "mp3-speler", "4"},
    {"1177", "chatten", "31"},           {"1178", "blijven zitten", "29"},
    {"1179", "burgerschapskunde", "29"}, {"1180", "verkouden", "36"},
};

const std::string kNewCategories = "categorie|29|1141|School / Kantoor|1\n"
                                   "categorie|30|1141|Bijzondere dagen|1\n"
                                   "categorie|31|1141|Media|1\n"
                                   "categorie|32|1141|Natuur|1\n"
                                   "categorie|33|1141|Gezondheid|1\n"
                                   "categorie|34|1141|Voorwerpen|1\n"
                                   "categorie|35|1141|Verkeer|1\n"
                                   "categorie|36|1141|Lichamelijke verzorging|1\n"
                                   "categorie|37|1141|Abstracte begrippen|1\n"
                                   "categorie|38|1141|Sociale vaardigheden|1\n";

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDemoDatabase(db_);
        UseCatalogue(kEntries);
    }
    void TearDown() override {
        Disconnect();
        UsePayloadFile("");
    }
    void UseCatalogue(const std::vector<Entry>& entries,
                      std::optional<std::string> count = std::nullopt) {
        WriteCatalogue(container_, entries, std::move(count));
        UsePayloadFile(container_);
    }
    // One connected run, as the callers make it.
    bool Run(StatusLabel* label = nullptr) {
        Connect(db_);
        EXPECT_TRUE(IsConnected());
        const bool ok = UpdateDB(label);
        Disconnect();
        return ok;
    }
    std::vector<std::string> Records() const {
        auto r = log_.Records();
        r.erase(r.begin()); // the log's start record
        return r;
    }

    test::TempDir dir_;
    std::string db_ = dir_.Folder() + "picbase.pbd";
    std::string container_ = dir_.Folder() + "payload.bin";
    test::LogCapture log_;
    test::RecordingMessageSink boxes_;
};

TEST_F(UpdateTest, RegistersEveryEntryStatementForStatement) {
    // Category 5 with links numbered up to 40, as in the worked example.
    ExecOn(db_, "DELETE FROM categorie_pictogram WHERE categorie_nr=5;"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<40) "
                "INSERT INTO categorie_pictogram SELECT i, 5, 672+i FROM n;");
    auto highest = [&](int cat) {
        return std::stoi(
            QueryValue(db_, "SELECT MAX(nr) FROM categorie_pictogram WHERE categorie_nr=" +
                                std::to_string(cat)));
    };
    const int highest4 = highest(4), highest7 = highest(7), highest25 = highest(25);
    test::RecordingLabel label;
    ASSERT_TRUE(Run(&label));

    EXPECT_EQ(label.captions,
              (std::vector<std::string>{"Bestand 1 van 8", "Bestand 2 van 8", "Bestand 3 van 8",
                                        "Bestand 4 van 8", "Bestand 5 van 8", "Bestand 6 van 8",
                                        "Bestand 7 van 8", "Bestand 8 van 8"}));
    EXPECT_EQ(label.eventPasses, 8);
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(
        Records(),
        (std::vector<std::string>{
            "UpdateDB() : beginnen met bijwerken van de database.",
            "UpdateDB() : pictogram 'Aanrecht '", "UpdateDB() : pictogram 'Aardrijkskunde'",
            "UpdateDB() : pictogram 'Advocaat'", "UpdateDB() : pictogram 'Mp3-speler'",
            "UpdateDB() : pictogram 'Chatten'", "UpdateDB() : pictogram 'Blijven zitten'",
            "UpdateDB() : pictogram 'Burgerschapskunde'", "UpdateDB() : pictogram 'Verkouden'"}));

    EXPECT_EQ(DumpTable(db_, "categorie", "nr > 28"), kNewCategories);
    EXPECT_EQ(DumpTable(db_, "pictogram", "nr > 1172"), "pictogram|1173|i1173|Aanrecht \n"
                                                        "pictogram|1174|i1174|Aardrijkskunde\n"
                                                        "pictogram|1175|i1175|Advocaat\n"
                                                        "pictogram|1176|i1176|Mp3-speler\n"
                                                        "pictogram|1177|i1177|Chatten\n"
                                                        "pictogram|1178|i1178|Blijven zitten\n"
                                                        "pictogram|1179|i1179|Burgerschapskunde\n"
                                                        "pictogram|1180|i1180|Verkouden\n");
    // In existing categories the links continue after the highest number; new ones start at 1.
    const std::pair<int, std::string> links[] = {
        {1173, "41|5"},
        {1174, std::to_string(highest25 + 1) + "|25"},
        {1175, std::to_string(highest7 + 1) + "|7"},
        {1176, std::to_string(highest4 + 1) + "|4"},
        {1177, "1|31"},
        {1178, "1|29"},
        {1179, "2|29"},
        {1180, "1|36"},
    };
    for (const auto& [nr, link] : links)
        EXPECT_EQ(QueryValue(db_, "SELECT group_concat(nr || '|' || categorie_nr) FROM "
                                  "categorie_pictogram WHERE pictogram_nr=" +
                                      std::to_string(nr)),
                  link)
            << nr;
    // Every link leads to an existing category and pictogram.
    EXPECT_EQ(DumpTable(db_, "pragma_foreign_key_check"), "");
}

TEST_F(UpdateTest, ASecondRunGivesTheSameRowsAndRowsOutsideItsNumbersStayAsTheyWere) {
    // Rows the update doesn't own, and owned rows from an older run that it must replace.
    ExecOn(db_, "INSERT INTO categorie VALUES (10000, 700, 'Eigen categorie', 0);"
                "INSERT INTO categorie_pictogram VALUES (10000, 10000, 700);"
                "INSERT INTO categorie_pictogram VALUES (10001, 30, 701);"
                "INSERT INTO categorie VALUES (29, 5, 'Oude categorie', 0);"
                "INSERT INTO categorie VALUES (9999, 5, 'Oude categorie', 0);"
                "INSERT INTO pictogram VALUES (1500, 'i1500', 'Oud');"
                "INSERT INTO categorie_pictogram VALUES (3, 29, 702);"
                "INSERT INTO categorie_pictogram VALUES (900, 5, 1500);");
    const char* outside[][2] = {
        {"categorie", "nr <= 28 OR nr >= 10000"},
        {"pictogram", "nr <= 1172"},
        {"categorie_pictogram", "NOT (categorie_nr > 28 AND nr < 10000) AND pictogram_nr <= 1172"},
    };
    auto dumpOutside = [&] {
        std::string dump;
        for (const auto& [table, where] : outside)
            dump += DumpTable(db_, table, where);
        return dump;
    };
    const std::string before = dumpOutside();

    ASSERT_TRUE(Run());
    const std::string once = DumpDatabase(db_);
    EXPECT_EQ(dumpOutside(), before);
    EXPECT_EQ(DumpTable(db_, "categorie", "nr > 28 AND nr < 10000"), kNewCategories);
    EXPECT_EQ(DumpTable(db_, "pictogram", "nr = 1500"), "");
    EXPECT_EQ(QueryValue(db_, "SELECT count(*) FROM categorie_pictogram WHERE "
                              "pictogram_nr = 1500 OR (categorie_nr = 29 AND pictogram_nr = 702)"),
              "0");
    // The link kept in category 30 counts: the new one there follows it.
    UseCatalogue({{"1173", "carnaval", "30"}});
    ASSERT_TRUE(Run());
    EXPECT_EQ(QueryValue(db_, "SELECT nr FROM categorie_pictogram WHERE pictogram_nr = 1173"),
              "10002");

    UseCatalogue(kEntries);
    ASSERT_TRUE(Run());
    EXPECT_EQ(DumpDatabase(db_), once);
    EXPECT_EQ(dumpOutside(), before);
}

TEST_F(UpdateTest, WithoutConnectionNothingIsSent) {
    test::RecordingLabel label;
    EXPECT_FALSE(UpdateDB(&label));
    EXPECT_EQ(boxes_.boxes, (std::vector<test::RecordingMessageSink::Box>{
                                {"Er is een fout opgetreden:\r\ngeen verbinding met database",
                                 "Kwastor", MsgIcon::None}}));
    EXPECT_EQ(label.captions,
              std::vector<std::string>{"Bijwerken van de database kon niet beginnen"});
    EXPECT_EQ(Records(),
              (std::vector<std::string>{"UpdateDB() : beginnen met bijwerken van de database.",
                                        "BeginTrans() : geen verbinding met database",
                                        "UpdateDB() : Bijwerken van de database kon niet beginnen",
                                        "UpdateDB() : de database is ongewijzigd gelaten."}));
}

// Each failure ends the update at once: false, the description in the log and the label, one
// more record saying so, and the database exactly as it was before the update. A catalogue that
// can't be read fails before the first statement.
TEST_F(UpdateTest, FailuresEndTheUpdateAndLeaveTheDatabaseAsItWas) {
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        std::string setup;
        std::string description;
        std::size_t boxes;
        std::optional<std::string> count = std::nullopt;
    };
    const Case cases[] = {
        {"category text that is no number",
         {{"1173", "Aanrecht ", "5"}, {"1174", "raar", "abc"}, {"1175", "Advocaat", "7"}},
         "",
         "Slechte categorie bij pictogram Raar",
         1},
        {"highest link number 0",
         {{"1173", "Aanrecht ", "5"}, {"1174", "nul", "26"}},
         "DELETE FROM categorie_pictogram WHERE categorie_nr=26;"
         "INSERT INTO categorie_pictogram VALUES (0, 26, 700);",
         "Categorie niet gevonden bij pictogram Nul",
         0},
        {"pictogram number twice",
         {{"1173", "Aanrecht ", "5"}, {"1173", "dubbel", "5"}},
         "",
         "Invoegen mislukt bij pictogram Dubbel",
         1},
        {"link refused",
         {{"1173", "Aanrecht ", "5"}, {"1174", "geweigerd", "7"}, {"1175", "Advocaat", "7"}},
         "CREATE TRIGGER weiger BEFORE INSERT ON categorie_pictogram "
         "WHEN NEW.pictogram_nr = 1174 BEGIN SELECT RAISE(ABORT, 'geweigerd'); END;",
         "Invoegen categorie mislukt bij pictogram Geweigerd",
         1},
        {"missing table", kEntries, "DROP TABLE categorie_pictogram;",
         "Slechte categorie bij pictogram Aanrecht ", 3}, // the two deletes of links, and the query
        {"count that is no number", kEntries, "", "Typen komen niet overeen", 0, "drie"},
        {"entry missing from the catalogue",
         {{"1173", "Aanrecht ", "5"}},
         "",
         "Bron met nummer 105 niet gevonden",
         0,
         "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(db_.c_str());
        CreateDemoDatabase(db_);
        ExecOn(db_, "INSERT INTO pictogram VALUES (1300, 'i1300', 'Oud');" + c.setup);
        const std::string before = test::ReadFile(db_);
        UseCatalogue(c.entries, c.count);
        boxes_.boxes.clear();
        test::RecordingLabel label;
        EXPECT_FALSE(Run(&label));
        EXPECT_EQ(label.Caption(), c.description);
        const auto records = Records();
        ASSERT_GE(records.size(), 2u);
        EXPECT_EQ(records[records.size() - 2], "UpdateDB() : " + c.description);
        EXPECT_EQ(records.back(), "UpdateDB() : de database is ongewijzigd gelaten.");
        EXPECT_EQ(boxes_.boxes.size(), c.boxes);
        EXPECT_TRUE(test::ReadFile(db_) == before) << "the file is byte for byte as it was";
    }
}

TEST_F(UpdateTest, ACountOfZeroReplacesTheCategoriesOnly) {
    UseCatalogue(kEntries, "0");
    test::RecordingLabel label;
    EXPECT_TRUE(Run(&label));
    EXPECT_TRUE(label.captions.empty());
    EXPECT_EQ(DumpTable(db_, "categorie", "nr > 28"), kNewCategories);
    EXPECT_EQ(DumpTable(db_, "pictogram", "nr > 1172"), "");
}

TEST_F(UpdateTest, AWindowClosedDuringTheUpdateEndsItThroughTheOneHandler) {
    struct ClosingLabel : StatusLabel {
        int passes = 0;
        std::string caption;
        void SetCaption(const std::string& c) override { caption = c; }
        void ProcessEvents() override {
            if (++passes == 3)
                throw Failure("Venster gesloten");
        }
    } label;
    const std::string before = DumpDatabase(db_);
    EXPECT_FALSE(Run(&label));
    EXPECT_EQ(label.caption, "Venster gesloten");
    EXPECT_EQ(Records().end()[-2], "UpdateDB() : Venster gesloten");
    EXPECT_EQ(DumpDatabase(db_), before);
}

TEST_F(UpdateTest, NamesAreStoredWithACapitalAndTheirOwnQuotes) {
    const std::vector<Entry> entries = {
        {"1173", "kwast's", "5"},          {"1174", "\xC3\xA9\xC3\xA9n", "5"}, // één
        {"1175", "\xC3\xBFsland", "5"},                                        // ÿsland
        {"1176", "\xC3\x9F", "5"},                                             // ß has no capital
        {"1177", "\xC3\xB7 delen", "5"},                                       // ÷ is no letter
        {"1178", "\xE2\x82\xAC uro", "5"},                                     // € stays
        {"1179", "1e hulp", "5"},
    };
    UseCatalogue(entries);
    ASSERT_TRUE(Run());
    EXPECT_EQ(DumpTable(db_, "pictogram", "nr > 1172"), "pictogram|1173|i1173|Kwast's\n"
                                                        "pictogram|1174|i1174|\xC3\x89\xC3\xA9n\n"
                                                        "pictogram|1175|i1175|\xC5\xB8sland\n"
                                                        "pictogram|1176|i1176|\xC3\x9F\n"
                                                        "pictogram|1177|i1177|\xC3\xB7 delen\n"
                                                        "pictogram|1178|i1178|\xE2\x82\xAC uro\n"
                                                        "pictogram|1179|i1179|1e hulp\n");
    EXPECT_EQ(Records()[1], "UpdateDB() : pictogram 'Kwast's'");
}

// A run killed halfway leaves the database as it was; the next run puts everything right.
TEST_F(UpdateTest, ARunKilledMidwayAndRunAgainEqualsOneCleanRun) {
    const std::string before = DumpDatabase(db_);
    const std::string clean = dir_.Folder() + "schoon.pbd";
    CreateDemoDatabase(clean);
    Connect(clean);
    ASSERT_TRUE(UpdateDB(nullptr));
    Disconnect();

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct KillingLabel : StatusLabel {
            int passes = 0;
            void SetCaption(const std::string&) override {}
            void ProcessEvents() override {
                if (++passes == 5)
                    ::raise(SIGKILL);
            }
        } label;
        Connect(db_);
        UpdateDB(&label);
        ::_exit(0); // not reached when the kill came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(DumpDatabase(db_), before);

    ASSERT_TRUE(Run());
    EXPECT_EQ(DumpDatabase(db_), DumpDatabase(clean));
}

// The shipped catalogue on the demo database: the road of a real update, and a second one.
TEST_F(UpdateTest, TheShippedCatalogueOnATestInstallation) {
    UsePayloadFile(KW_DEMO_PAYLOAD);
    test::RecordingLabel label;
    ASSERT_TRUE(Run(&label));
    EXPECT_EQ(label.Caption(), "Bestand 308 van 308");
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(QueryValue(db_, "SELECT count(*) || ',' || min(nr) || ',' || max(nr) FROM "
                              "pictogram WHERE nr > 1172"),
              "308,1173,1480");
    // In every category the new links follow its old ones, in catalogue order, without gaps.
    EXPECT_EQ(QueryValue(db_, "SELECT count(*) FROM (SELECT nr, categorie_nr, row_number() "
                              "OVER (PARTITION BY categorie_nr ORDER BY pictogram_nr) AS r FROM "
                              "categorie_pictogram WHERE pictogram_nr > 1172) AS x WHERE nr <> r "
                              "+ coalesce((SELECT max(nr) FROM categorie_pictogram AS y WHERE "
                              "y.categorie_nr = x.categorie_nr AND y.pictogram_nr <= 1172), 0)"),
              "0");
    EXPECT_EQ(QueryValue(db_, "SELECT count(*) FROM categorie_pictogram WHERE pictogram_nr > "
                              "1172"),
              "308");
    EXPECT_EQ(DumpTable(db_, "pragma_foreign_key_check"), "");

    const std::string once = DumpDatabase(db_);
    ASSERT_TRUE(Run());
    EXPECT_EQ(DumpDatabase(db_), once);

    test::RecordingList list;
    Connect(db_);
    ListChanges(list);
    ASSERT_EQ(list.items.size(), 308u);
    EXPECT_EQ(list.items.front(), "pictogram 'Aanrecht ' in categorie '" +
                                      QueryValue(db_, "SELECT omschrijving FROM categorie "
                                                      "WHERE nr = 5") +
                                      "'");
    EXPECT_EQ(list.items.back(), "pictogram 'verkouden' in categorie 'Lichamelijke verzorging'");
}

} // namespace
} // namespace kw
