// The wizard driven through its steps in a real Qt window (offscreen platform), on test
// installations in a Wine-like prefix, with the real payload, database and file system.
#include "wizard/frmMain.h"

#include "wizard/QtMessageSink.h"
#include "wizard/WindowFont.h"
#include "wizard/Wizard.h"

#include "db/Database.h"
#include "db/jet/UpdateScript.h"
#include "db/jet/Writer.h"
#include "sys/FolderDialog.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "tools/make-test-installation/TestInstallation.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::CountFiles;
using test::LogCapture;
using test::ScopedEnv;
using test::TempDir;

/// One application for the whole run, made before the first test and ended after the last
/// one, while Qt's own globals still live.
class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
        UseDutchTranslation();
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[13] = "frmMain_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};
const auto* const gQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

/// A complete installation in folder, with the program's own Access database; returns the folder
/// as the wizard shows it.
std::string MakeInstallation(const fs::path& folder) {
    CreateTestInstallation(folder.string(), DemoDatabaseKind::Access);
    return folder.string() + "/";
}

/// The rows of `table` in the installation's Access database, as the engine reads them.
std::vector<std::vector<jet::Value>> AccessRows(const std::string& folder, const char* table) {
    const auto db = jet::Database::Open(folder + "picbase.pbd", "kolibrie");
    std::vector<std::vector<jet::Value>> rows;
    db->ForEachRow(*db->FindTable(table),
                   [&](jet::RowId, const std::vector<jet::Value>& row) { rows.push_back(row); });
    return rows;
}

/// How many rows of `table` have column `column` between lo and hi.
std::size_t RowsBetween(const std::string& folder, const char* table, std::size_t column,
                        std::int64_t lo, std::int64_t hi) {
    std::size_t n = 0;
    for (const auto& row : AccessRows(folder, table)) {
        const std::int64_t v = std::get<std::int64_t>(row[column]);
        n += v >= lo && v <= hi;
    }
    return n;
}

class WizardTest : public ::testing::Test {
protected:
    WizardTest()
        : prefix_("WINEPREFIX", dir_.Path().string()), user_("USER", "tester"),
          programFiles_(dir_.Path() / "drive_c/Program Files") {
        fs::create_directories(programFiles_);
    }
    ~WizardTest() override { SetFolderPicker(nullptr); }

    /// An installation where the wizard looks first.
    std::string InstallDefault() { return MakeInstallation(programFiles_ / "Merodaan"); }

    template <class W = QLabel> W* Child(frmMain& w, const char* name) {
        W* child = w.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    std::string Text(frmMain& w, const char* name) {
        if (auto* label = w.findChild<QLabel*>(QString::fromLatin1(name)))
            return label->text().toStdString();
        return Child<QPushButton>(w, name)->text().toStdString();
    }
    bool Shown(frmMain& w, const char* name) { return Child<QWidget>(w, name)->isVisibleTo(&w); }
    bool NextEnabled(frmMain& w) { return Child<QPushButton>(w, "cbNext")->isEnabled(); }
    void Next(frmMain& w) { QTest::mouseClick(Child<QPushButton>(w, "cbNext"), Qt::LeftButton); }
    void Browse(frmMain& w) {
        QTest::mouseClick(Child<QPushButton>(w, "cbBrowse"), Qt::LeftButton);
    }
    /// The records written since the given count.
    std::vector<std::string> RecordsSince(std::size_t from) {
        std::vector<std::string> all = log_.Records();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
    }
    bool Logged(const std::string& record) {
        const std::vector<std::string> all = log_.Records();
        return std::find(all.begin(), all.end(), record) != all.end();
    }

    TempDir dir_;
    ScopedEnv prefix_, user_;
    fs::path programFiles_;
    LogCapture log_;
    test::RecordingMessageSink boxes_;
};

int TwipsX(QWidget& w, int twips) {
    return qRound(twips * w.logicalDpiX() / 1440.0);
}
int TwipsY(QWidget& w, int twips) {
    return qRound(twips * w.logicalDpiY() / 1440.0);
}

TEST_F(WizardTest, OpensInStepOneWithTheInstallationFound) {
    const std::string folder = InstallDefault();
    frmMain w;
    EXPECT_EQ(w.Step(), 1);
    EXPECT_EQ(w.windowTitle().toStdString(), "Bijwerken van Vondelux");
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(w.windowIcon().availableSizes().size(), 4);
    EXPECT_EQ(Text(w, "lblStep"), "Stap 1 van 4 - Locatie van Vondelux bepalen.");
    EXPECT_TRUE(Text(w, "lblHelp").starts_with("In deze stap wordt de locatie van Vondelux"));
    EXPECT_EQ(Text(w, "lblAction0"), "Locatie van Vondelux");
    EXPECT_EQ(Text(w, "lblMsg0"), folder);
    EXPECT_EQ(w.Folder(), folder);
    EXPECT_EQ(Text(w, "cbNext"), "Naar stap 2");
    EXPECT_TRUE(NextEnabled(w));
    EXPECT_TRUE(Shown(w, "cbBrowse"));
    EXPECT_TRUE(Shown(w, "lblMsg0"));
    EXPECT_FALSE(Shown(w, "lblMsg1"));
    EXPECT_FALSE(Shown(w, "lblAction1"));
    EXPECT_FALSE(Shown(w, "lstFinal"));
    EXPECT_EQ(log_.Records().size(), 2u);
    EXPECT_EQ(log_.Records().back(), "Beginnen met stap 1.");
}

TEST_F(WizardTest, FontsAndDesignLayout) {
    InstallDefault();
    frmMain w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.width(), TwipsX(w, 9615));
    EXPECT_EQ(w.height(), TwipsY(w, 3255));
    for (const char* bold : {"lblStep", "lblMsg0", "lblBg1", "cbNext"}) {
        EXPECT_EQ(Child<QWidget>(w, bold)->font().weight(), QFont::Bold) << bold;
        EXPECT_DOUBLE_EQ(Child<QWidget>(w, bold)->font().pointSizeF(), 8.25) << bold;
    }
    for (const char* regular : {"lblAction0", "lblHelp", "lblBg2"})
        EXPECT_EQ(Child<QWidget>(w, regular)->font().weight(), QFont::Normal) << regular;

    auto geometry = [&](int l, int t, int wd, int h) {
        return QRect(TwipsX(w, l), TwipsY(w, t), TwipsX(w, wd), TwipsY(w, h));
    };
    EXPECT_EQ(Child<QWidget>(w, "cbNext")->geometry(), geometry(8160, 2160, 1335, 375));
    EXPECT_EQ(Child<QWidget>(w, "cbBrowse")->geometry(), geometry(8160, 720, 1335, 375));
    EXPECT_EQ(Child<QWidget>(w, "lblAction1")->geometry(), geometry(120, 1260, 3495, 255));
    EXPECT_EQ(Child<QWidget>(w, "lblMsg0")->geometry(), geometry(3720, 780, 4215, 255));
    EXPECT_EQ(Child<QWidget>(w, "lstFinal")->geometry(), geometry(120, 720, 7815, 1815));
    const int inner = w.width();
    EXPECT_EQ(Child<QWidget>(w, "lblBg1")->width(), inner);
    EXPECT_EQ(Child<QWidget>(w, "lblBg2")->width(), inner);
    EXPECT_EQ(Child<QWidget>(w, "lblStep")->geometry(),
              QRect(TwipsX(w, 120), TwipsY(w, 120), inner - TwipsX(w, 240), TwipsY(w, 315)));
    EXPECT_EQ(Child<QWidget>(w, "lblHelp")->width(), inner - TwipsX(w, 240));

    // Stacking, topmost first: the list over the buttons, the title over its band.
    const QObjectList& order = w.children();
    auto depth = [&](const char* name) { return order.indexOf(Child<QWidget>(w, name)); };
    EXPECT_GT(depth("lstFinal"), depth("cbNext"));
    EXPECT_GT(depth("lblStep"), depth("lblBg1"));
    EXPECT_GT(depth("lblHelp"), depth("lblBg2"));
    EXPECT_EQ(Child<QWidget>(w, "cbBrowse")->nextInFocusChain(), Child<QWidget>(w, "cbNext"));

    // Narrower than the margins: the labels shrink to nothing, nothing fails.
    w.resize(TwipsX(w, 100), w.height());
    QApplication::processEvents();
    EXPECT_EQ(Child<QWidget>(w, "lblStep")->width(), 0);
    EXPECT_EQ(Child<QWidget>(w, "lblBg1")->width(), w.width());
    w.resize(TwipsX(w, 12000), w.height());
    QApplication::processEvents();
    EXPECT_EQ(Child<QWidget>(w, "lblHelp")->width(), w.width() - TwipsX(w, 240));
    EXPECT_EQ(Child<QWidget>(w, "lstFinal")->geometry(), geometry(120, 720, 7815, 1815));
}

TEST_F(WizardTest, WithoutAnInstallationTheUserPointsItOut) {
    const std::string elsewhere = MakeInstallation(dir_.Path() / "elders");
    frmMain w;
    const std::string notFound = "Vondelux is niet gevonden; kies 'Wijzigen...'";
    EXPECT_EQ(Text(w, "lblMsg0"), notFound);
    EXPECT_FALSE(NextEnabled(w));

    std::string choice;              // what the "user" picks; empty is a cancel
    std::vector<std::string> starts; // where the dialog opened each time
    SetFolderPicker([&](const std::string& start) {
        starts.push_back(start);
        return choice;
    });
    Browse(w);
    EXPECT_EQ(Text(w, "lblMsg0"), notFound) << "a cancel changes nothing";
    EXPECT_FALSE(NextEnabled(w));

    choice = elsewhere.substr(0, elsewhere.size() - 1);
    Browse(w);
    EXPECT_EQ(Text(w, "lblMsg0"), elsewhere);
    EXPECT_EQ(w.Folder(), elsewhere);
    EXPECT_TRUE(NextEnabled(w));
    Browse(w); // a cancel

    // A wrong folder after a right one: Next is off again, the right one stays stored.
    fs::create_directories(dir_.Path() / "leeg/Vondelux.exe");
    choice = (dir_.Path() / "leeg").string();
    Browse(w);
    EXPECT_EQ(Text(w, "lblMsg0"), notFound);
    EXPECT_FALSE(NextEnabled(w));
    EXPECT_EQ(w.Folder(), elsewhere);
    EXPECT_EQ(w.Step(), 1);
    // The dialog opens in the folder that the row shows, where it shows one.
    EXPECT_EQ(starts, (std::vector<std::string>{"", "", elsewhere, elsewhere}));
}

// On the installation's Access database: step 2 clears the payload's range (1173 to 1480) left by
// an earlier run, and step 4 lists each pictogram with its category's name as the Access file
// holds it (category 5 renamed in the file after step 3 shows the new name).
TEST_F(WizardTest, RunsAllFourStepsOnTheDemoPayload) {
    const std::string folder = InstallDefault();
    test::ScopedDemoPayload payload;
    {
        auto writer = jet::Writer::Open(folder + "picbase.pbd", "kolibrie");
        writer->Insert("pictogram", {std::int64_t{1200}, "i1200", "Van een vorige keer"});
        writer->Insert("categorie_pictogram",
                       {std::int64_t{999}, std::int64_t{3}, std::int64_t{1200}});
    }
    const std::size_t pictograms = AccessRows(folder, "pictogram").size();
    frmMain w;
    w.show();

    std::size_t mark = log_.Records().size();
    Next(w);
    EXPECT_EQ(w.Step(), 2);
    EXPECT_EQ(Text(w, "lblStep"), "Stap 2 van 4 - Controleren van Vondelux.");
    EXPECT_EQ(Text(w, "lblAction0"), "Integriteit van Vondelux bewaken");
    EXPECT_EQ(Text(w, "lblAction1"), "Voldoende schijfruimte");
    EXPECT_EQ(Text(w, "lblMsg0"), "In orde.");
    EXPECT_EQ(Text(w, "lblMsg1"), "In orde.");
    EXPECT_TRUE(Shown(w, "lblMsg1"));
    EXPECT_FALSE(Shown(w, "cbBrowse"));
    EXPECT_EQ(Text(w, "cbNext"), "Naar stap 3");
    ASSERT_TRUE(NextEnabled(w)) << "step 2 failed";
    EXPECT_EQ(RecordsSince(mark).front(), "Beginnen met stap 2.");
    EXPECT_EQ(RowsBetween(folder, "pictogram", 0, 1173, 1480), 0u);
    EXPECT_EQ(RowsBetween(folder, "categorie_pictogram", 2, 1173, 1480), 0u);
    EXPECT_EQ(AccessRows(folder, "pictogram").size(), pictograms - 1);

    mark = log_.Records().size();
    Next(w);
    EXPECT_EQ(w.Step(), 3);
    EXPECT_EQ(Text(w, "lblAction0"), "Kopieren van bestanden");
    EXPECT_EQ(Text(w, "lblAction1"), "Bijwerken van Vondelux");
    EXPECT_EQ(Text(w, "lblMsg0"), "Gereed.");
    EXPECT_EQ(Text(w, "lblMsg1"), "Gereed.");
    EXPECT_EQ(Text(w, "cbNext"), "Naar stap 4");
    ASSERT_TRUE(NextEnabled(w)) << "step 3 failed";
    EXPECT_EQ(RecordsSince(mark).front(), "Beginnen met stap 3.");
    EXPECT_EQ(CountFiles(folder + "pictogrammen") + CountFiles(folder + "geluiden") +
                  CountFiles(folder + "thumbs"),
              1232u);
    EXPECT_EQ(RowsBetween(folder, "pictogram", 0, 1173, 1480), 308u);
    {
        auto writer = jet::Writer::Open(folder + "picbase.pbd", "kolibrie");
        const auto rows = AccessRows(folder, "categorie");
        const auto five = std::find_if(rows.begin(), rows.end(), [](const auto& row) {
            return std::get<std::int64_t>(row[0]) == 5;
        });
        ASSERT_NE(five, rows.end());
        writer->Delete("categorie", {{"nr", jet::Comparison::Op::Equal, 5}});
        writer->Insert("categorie", {std::int64_t{5}, (*five)[1], "Keuken (Access)", (*five)[3]});
    }
    std::map<std::int64_t, std::string> categories;
    for (const auto& row : AccessRows(folder, "categorie"))
        categories[std::get<std::int64_t>(row[0])] = std::get<std::string>(row[2]);
    ASSERT_EQ(categories.at(5), "Keuken (Access)");

    Next(w);
    EXPECT_EQ(w.Step(), 4);
    EXPECT_TRUE(Shown(w, "lstFinal"));
    EXPECT_FALSE(Shown(w, "lblMsg1"));
    EXPECT_EQ(Text(w, "cbNext"), "Afsluiten");
    EXPECT_TRUE(NextEnabled(w));
    auto* list = Child<QListWidget>(w, "lstFinal");
    const std::vector<jet::UpdateEntry> catalogue = jet::ReadUpdateCatalogue(KW_CATALOGUE_FILE);
    ASSERT_EQ(list->count(), 308);
    ASSERT_EQ(catalogue.size(), 308u);
    for (int i = 0; i < 308; ++i) {
        const std::string item = list->item(i)->text().toStdString();
        EXPECT_TRUE(item.ends_with("' in categorie '" + categories.at(catalogue[i].category) + "'"))
            << item;
    }
    EXPECT_EQ(log_.Records().back(), "Beginnen met stap 4.");

    Next(w);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.Step(), 4);
    EXPECT_EQ(log_.Records().back(), "Succesvol afgesloten.");
    EXPECT_TRUE(boxes_.boxes.empty());
}

// A failing step keeps the wizard in it with Next disabled; the step's own roads are tested
// without the window (app/Update_test.cpp).
TEST_F(WizardTest, AFailingStepKeepsNextDisabled) {
    const std::string folder = InstallDefault();
    fs::remove(folder + "picbase.pbd");
    test::ScopedDemoPayload payload;
    frmMain w;
    Next(w);
    EXPECT_EQ(w.Step(), 2);
    EXPECT_EQ(Text(w, "lblMsg0"), "Er is een fout opgetreden tijdens het lezen van Vondelux.");
    EXPECT_EQ(Text(w, "lblMsg1"), "");
    EXPECT_FALSE(NextEnabled(w));
}

TEST_F(WizardTest, ASecondPressWaitingInTheQueueDoesNotSkipAStep) {
    InstallDefault();
    test::ScopedPayload payload(test::SmallPayload(4));
    frmMain w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QPushButton* next = Child<QPushButton>(w, "cbNext");
    // The second press waits in the queue and arrives while step 2 is being entered.
    QTimer::singleShot(0, next, [next] { next->click(); });
    Next(w);
    QApplication::processEvents();
    EXPECT_EQ(w.Step(), 2);
    EXPECT_EQ(Text(w, "lblMsg0"), "In orde.");
    EXPECT_FALSE(Logged("Beginnen met stap 3."));
}

/// Runs `look` on the modal dialog that `open` shows, then closes it.
template <class Dialog>
void WhileShown(const std::function<void()>& open, const std::function<void(Dialog&)>& look) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        look(*dialog);
        dialog->reject();
    });
    open();
    EXPECT_TRUE(seen);
}

// Return and keypad Enter press Next, whether it has the focus or no button has; the folder
// dialog speaks Dutch and opens in the folder shown; message boxes show text as typed.
TEST_F(WizardTest, KeysAndDialogsBehaveAsInAWindowsDialog) {
    const std::string folder = InstallDefault();
    test::ScopedPayload payload(test::SmallPayload(4));
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier}})
        for (const bool onButton : {true, false}) {
            SCOPED_TRACE(std::to_string(key) + (onButton ? " on Next" : " on the list"));
            frmMain w;
            w.show();
            QWidget* target = onButton ? static_cast<QWidget*>(Child<QPushButton>(w, "cbNext"))
                                       : Child<QListWidget>(w, "lstFinal");
            QTest::keyClick(target, key, modifiers);
            EXPECT_EQ(w.Step(), 2);
        }

    frmMain w;
    WhileShown<QFileDialog>(
        [&] { Browse(w); },
        [&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.directory().absolutePath().toStdString() + "/", folder);
            auto* buttons = dialog.findChild<QDialogButtonBox*>();
            ASSERT_NE(buttons, nullptr);
            EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().toStdString(), "Annuleren");
        });
    EXPECT_EQ(Text(w, "lblMsg0"), folder) << "a cancel changes nothing";

    WhileShown<QMessageBox>(
        [] { QtMessageSink().Show("Kan '/tmp/<b>vet</b>' niet openen", "Kwastor", MsgIcon::None); },
        [](QMessageBox& box) { EXPECT_EQ(box.textFormat(), Qt::PlainText); });
}

/// The darkness of all of a widget's pixels together.
long long Ink(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    long long ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += 255 - qGray(image.pixel(x, y));
    return ink;
}

// Bold captions draw clearly heavier than the same caption in the same font drawn plainly, and
// take the same room.
TEST_F(WizardTest, BoldCaptionsDrawBoldInTheSameRoom) {
    InstallDefault();
    frmMain w;
    w.show();
    auto* title = Child<QLabel>(w, "lblStep");
    QLabel plain(title->text());
    plain.setFont(title->font());
    plain.setWordWrap(true);
    plain.setAlignment(title->alignment());
    plain.resize(title->size());
    plain.setAutoFillBackground(true);
    plain.setBackgroundRole(title->backgroundRole());
    EXPECT_GT(Ink(*title) * 10, Ink(plain) * 12) << "at least a fifth more ink";
    EXPECT_EQ(title->sizeHint(), plain.sizeHint());
    EXPECT_EQ(title->heightForWidth(200), plain.heightForWidth(200));
}

/// Runs step 3 inside the event loop, as the program does, and closes the window after the
/// given number of event passes. False when the program did not end.
bool CloseDuringStepThree(frmMain& w, int passes) {
    int seen = 0;
    std::function<void()> closeLater = [&] {
        if (++seen == passes)
            w.close();
        else
            QTimer::singleShot(0, &w, closeLater);
    };
    QPushButton* next = w.findChild<QPushButton*>(QStringLiteral("cbNext"));
    QTimer::singleShot(0, &w, [&] {
        QTimer::singleShot(0, &w, closeLater);
        QTest::mouseClick(next, Qt::LeftButton);
    });
    bool timedOut = false;
    QTimer::singleShot(60000, &w, [&] {
        timedOut = true;
        QApplication::quit();
    });
    QApplication::exec();
    return !timedOut;
}

// The window closed in the middle of step 3, in each half: the work ends through its failure
// road, the Access file is left byte for byte as it was, the database is closed and the program
// ends.
TEST_F(WizardTest, ClosingTheWindowDuringTheUpdateEndsTheWorkAndTheProgram) {
    // One pass to paint the step and one per pictogram: the 20th falls in the files, the 60th
    // in UpdateDB.
    for (const auto& [passes, record] :
         {std::pair{20, "Fout in stap 3: bestanden konden niet worden opgeslagen.\n"},
          std::pair{60, "Fout in stap 3: database kon niet worden bijgewerkt.\n"}}) {
        SCOPED_TRACE(passes);
        TempDir prefix;
        ScopedEnv wine("WINEPREFIX", prefix.Path().string());
        const std::string folder =
            MakeInstallation(prefix.Path() / "drive_c/Program Files/Merodaan");
        test::ScopedPayload payload(test::SmallPayload(40));
        frmMain w;
        w.show();
        Next(w);
        ASSERT_TRUE(NextEnabled(w));
        const std::string database = test::ReadFile(folder + "picbase.pbd");

        EXPECT_TRUE(CloseDuringStepThree(w, passes)) << "the program did not end";
        EXPECT_TRUE(test::ReadFile(folder + "picbase.pbd") == database)
            << "the Access file is as it was before the update";
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(IsConnected());
        EXPECT_EQ(log_.Records().back(), record);
        EXPECT_EQ(CountFiles(folder + "thumbs") == 40, passes == 60);
    }
}

} // namespace
} // namespace kw
