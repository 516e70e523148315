#include "log/Log.h"

#include "testsupport/TestSupport.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {
namespace {

using test::FaultyFiles;
using test::FixedClock;
using test::ReadFile;
using test::RecordingMessageSink;
using test::TempDir;

const std::string kStart = "13:05:09 - 2026-03-04\r\n           Logging started.\r\n";

class LogTest : public ::testing::Test {
protected:
    std::string LogPath() const { return (dir.Path() / "Kwastor.log").string(); }
    std::unique_ptr<Log> MakeLog() {
        auto log = std::make_unique<Log>(clock);
        log->SetFilename(LogPath());
        return log;
    }
    // The bytes that one record with the given format and values adds after the start record.
    std::string Record(std::string_view fmt, std::vector<LogValue> values = {}) {
        auto log = MakeLog();
        log->printf(fmt, values);
        std::string text = ReadFile(LogPath());
        EXPECT_EQ(text.substr(0, kStart.size()), kStart);
        return text.substr(kStart.size());
    }

    TempDir dir;
    FixedClock clock;
    RecordingMessageSink boxes;
};

TEST_F(LogTest, FirstRecordIsPrecededByTheStartRecordAndEndRecordClosesTheFile) {
    auto log = MakeLog();
    log->printf("plain words");
    clock.now.second = 10;
    log.reset();
    EXPECT_EQ(ReadFile(LogPath()),
              kStart + "13:05:09 - plain words\r\n13:05:10 - Logging ended.\r\n");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LogTest, EscapesAndLineBreaks) {
    EXPECT_EQ(Record(""), "13:05:09 - \r\n");
    EXPECT_EQ(Record("a\\nb"), "13:05:09 - a\r\n           b\r\n");
    EXPECT_EQ(Record("ends\\n"), "13:05:09 - ends\r\n           \r\n");
    EXPECT_EQ(Record("x\\ty\\\\z\\q"), "13:05:09 - x\ty\\z\\q\r\n");
    EXPECT_EQ(Record("C:\\"), "13:05:09 - C:\r\n");
    EXPECT_EQ(Record("100%"), "13:05:09 - 100\r\n");
    EXPECT_EQ(Record("%% and %x stay", {std::int32_t{5}}), "13:05:09 - % and  stay\r\n");
}

TEST_F(LogTest, Conversions) {
    EXPECT_EQ(Record("%d %d %d %d", {2.5, 3.5, std::int32_t{-7}, std::int16_t{12}}),
              "13:05:09 - 2 4 -7 12\r\n");
    EXPECT_EQ(Record("%d", {std::string(" 41 ")}), "13:05:09 - 41\r\n");
    EXPECT_EQ(Record("%s|%s", {DateTime{1899, 12, 30, 13, 5, 9}, DateTime{2026, 3, 4, 13, 5, 9}}),
              "13:05:09 - 13:05:09|2026-03-04\r\n");
    EXPECT_EQ(Record("%s/%s/%s", {std::string("t"), std::int32_t{-3}, 0.25}),
              "13:05:09 - t/-3/0.25\r\n");
    EXPECT_EQ(Record("%f", {std::int32_t{3}}), "13:05:09 - 3\r\n");
    EXPECT_EQ(Record("one %d", {std::int32_t{1}, std::int32_t{2}}), "13:05:09 - one 1\r\n");
    EXPECT_EQ(Record("laagste = %d, hoogste = %d.", {std::int32_t{1173}, std::int32_t{1480}}),
              "13:05:09 - laagste = 1173, hoogste = 1480.\r\n");
}

TEST_F(LogTest, ValueEndingInLineBreakGetsNoSecondOne) {
    EXPECT_EQ(Record("%s", {std::string("tail\r\n")}), "13:05:09 - tail\r\n");
}

TEST_F(LogTest, TextIsWrittenInWindows1252) {
    EXPECT_EQ(Record("Optici\xC3\xABn \xE2\x82\xAC \xE4\xB8\xAD"),
              "13:05:09 - Optici\xEBn \x80 ?\r\n");
}

TEST_F(LogTest, ConversionErrorsRaiseAndWriteNothing) {
    auto log = MakeLog();
    EXPECT_THROW(log->printf("%d and %d", std::int32_t{1}), LogFormatError);
    EXPECT_THROW(log->printf("%d", std::string("abc")), LogFormatError);
    EXPECT_THROW(log->printf("%f", std::string("")), LogFormatError);
    EXPECT_THROW(log->printf("%d", 3e10), LogFormatError);
    EXPECT_THROW(log->printf("%s"), LogFormatError);
    // Not even the start record: the file was never opened.
    EXPECT_FALSE(std::filesystem::exists(LogPath()));
    log->printf("after");
    log.reset();
    EXPECT_EQ(ReadFile(LogPath()), kStart + "13:05:09 - after\r\n13:05:09 - Logging ended.\r\n");
}

TEST_F(LogTest, SecondRunRotatesTheFirstIntoTheBackup) {
    test::WriteFile(LogPath() + ".bak", "older backup");
    MakeLog()->printf("first run");
    const std::string first = ReadFile(LogPath());
    MakeLog()->printf("second run");
    EXPECT_EQ(ReadFile(LogPath() + ".bak"), first);
    EXPECT_EQ(ReadFile(LogPath()),
              kStart + "13:05:09 - second run\r\n13:05:09 - Logging ended.\r\n");
}

TEST_F(LogTest, RunThatLogsNothingLeavesLogAndBackupUntouched) {
    test::WriteFile(LogPath(), "log");
    test::WriteFile(LogPath() + ".bak", "bak");
    MakeLog().reset();
    EXPECT_EQ(ReadFile(LogPath()), "log");
    EXPECT_EQ(ReadFile(LogPath() + ".bak"), "bak");
}

TEST_F(LogTest, MissingFilenameIsReportedEveryTimeUntilOneIsSet) {
    Log log(clock);
    log.printf("lost");
    log.printf("lost too");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0], (RecordingMessageSink::Box{
                                  "No filename supplied.\r\nSupply a filename before logging.",
                                  "Log::init()", MsgIcon::None}));
    log.SetFilename(LogPath());
    log.printf("kept");
    EXPECT_EQ(ReadFile(LogPath()), kStart + "13:05:09 - kept\r\n");
}

TEST_F(LogTest, LogThatCannotBeCreatedGivesExactlyOneMessage) {
    auto log = std::make_unique<Log>(clock);
    log->SetFilename((dir.Path() / "missing-folder" / "Kwastor.log").string());
    for (int i = 0; i < 5; ++i)
        log->printf("record");
    log.reset();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Log '" +
                                       (dir.Path() / "missing-folder" / "Kwastor.log").string() +
                                       "' couldn't be created.");
    EXPECT_EQ(boxes.boxes[0].title, "Log::OpenLog()");
}

TEST_F(LogTest, LogInReadOnlyFolderGivesExactlyOneMessage) {
    auto mount = test::ScopedTmpfs::Mount(1 << 20, true);
    if (!mount)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    Log log(clock);
    log.SetFilename((mount->Path() / "Kwastor.log").string());
    log.printf("one");
    log.printf("two");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "Log::OpenLog()");
}

// A name that the log can't take over safely gives the one "couldn't be created" box; the run
// logs nothing, and the old log, its backup and whatever a link points to stay as they were.
TEST_F(LogTest, ALogThatCantBeTakenOverSafelyIsLeftAlone) {
    const std::string log = LogPath(), bak = LogPath() + ".bak";
    const std::string outside = (dir.Path() / "elders").string();
    struct Case {
        const char* what;
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"the backup's name is a folder",
         [&] {
             test::WriteFile(log, "vorige run");
             std::filesystem::create_directory(bak);
         }},
        {"the log is a link", [&] { std::filesystem::create_symlink(outside, log); }},
        {"the log is a link and the backup a folder",
         [&] {
             std::filesystem::create_symlink(outside, log);
             std::filesystem::create_directory(bak);
         }},
        {"the log is a FIFO", [&] { ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0); }},
        {"the log is a folder", [&] { std::filesystem::create_directory(log); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(log);
        std::filesystem::remove_all(bak);
        test::WriteFile(outside, "niet van de log");
        c.plant();
        auto state = [&](const std::string& p) {
            const auto st = std::filesystem::symlink_status(p);
            return std::to_string(static_cast<int>(st.type())) +
                   (st.type() == std::filesystem::file_type::regular ? ReadFile(p) : "");
        };
        const std::string before = state(log) + "|" + state(bak) + "|" + ReadFile(outside);
        RecordingMessageSink sink;
        auto second = MakeLog();
        second->printf("niet geschreven");
        second.reset();
        EXPECT_EQ(sink.boxes,
                  (std::vector<RecordingMessageSink::Box>{{"Log '" + log + "' couldn't be created.",
                                                           "Log::OpenLog()", MsgIcon::None}}));
        EXPECT_EQ(state(log) + "|" + state(bak) + "|" + ReadFile(outside), before);
    }
}

// The log is locked while its run lives: a second run beside it gets the box and logs nothing,
// and the first run's log keeps its name and its records.
TEST_F(LogTest, ALiveLogIsNeverTakenOver) {
    auto first = MakeLog();
    first->printf("eerste run");
    {
        RecordingMessageSink sink;
        auto second = MakeLog();
        second->printf("tweede run");
        EXPECT_EQ(sink.boxes.size(), 1u);
    }
    first->printf("eerste run gaat door");
    first.reset();
    EXPECT_EQ(ReadFile(LogPath()), kStart + "13:05:09 - eerste run\r\n13:05:09 - eerste run gaat "
                                            "door\r\n13:05:09 - Logging ended.\r\n");
    EXPECT_FALSE(std::filesystem::exists(LogPath() + ".bak"));
    // Once the first run has ended, the next one rotates as always.
    MakeLog()->printf("derde run");
    EXPECT_TRUE(ReadFile(LogPath() + ".bak").starts_with(kStart + "13:05:09 - eerste run"));

    // A run that is rotating holds its previous log, now the backup, until its new log is
    // locked: a run that comes in between leaves both alone.
    test::WriteFile(LogPath(), "");
    const int rotating = ::open((LogPath() + ".bak").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(rotating, LOCK_EX), 0);
    const std::string backup = ReadFile(LogPath() + ".bak");
    {
        RecordingMessageSink sink;
        MakeLog()->printf("tussendoor");
        EXPECT_EQ(sink.boxes.size(), 1u);
    }
    ::close(rotating);
    EXPECT_EQ(ReadFile(LogPath() + ".bak"), backup);
    EXPECT_EQ(ReadFile(LogPath()), "");
}

// The start record is stamped when it is written, never after the first record.
TEST_F(LogTest, TheStartRecordIsStampedWhenItIsWritten) {
    struct TickingClock final : Clock {
        DateTime now{2026, 3, 4, 13, 5, 9};
        DateTime Now() override { return now.second++, now; }
    } ticking;
    Log log(ticking);
    log.SetFilename(LogPath());
    log.printf("eerste");
    const std::string text = ReadFile(LogPath());
    const std::string start = text.substr(0, 8), first = text.substr(text.rfind("\r\n1") + 2, 8);
    EXPECT_LE(start, first) << text;
}

TEST_F(LogTest, FailedOrShortWriteGivesOneMessageAndClosesTheLog) {
    for (auto fault : {FaultyFiles::Fault::Fail, FaultyFiles::Fault::Short}) {
        RecordingMessageSink sink;
        FaultyFiles files;
        files.fault = fault;
        files.op = FaultyFiles::Op::Write;
        files.failAt = 3; // after the start record and one record
        test::ScopedFiles scoped(files);
        auto log = MakeLog();
        log->printf("kept");
        log->printf("fails");
        log->printf("never written");
        log.reset();
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0], (RecordingMessageSink::Box{"Writing to log failed.",
                                                            "Log::printf()", MsgIcon::None}));
        const std::string text = ReadFile(LogPath());
        EXPECT_TRUE(text.starts_with(kStart + "13:05:09 - kept\r\n"));
        EXPECT_EQ(text.find("never written"), std::string::npos);
        EXPECT_EQ(text.find("Logging ended."), std::string::npos);
    }
}

// Every call that a run's log makes is made to fail, one run per call. However it fails, the
// run shows at most one box, the previous log survives (as the log or as its backup), the log
// is well-formed, and without a box it holds every record; a run without faults then works.
TEST_F(LogTest, EveryFailingCallLosesNoLogAndLeavesItWellFormed) {
    const std::string log = LogPath(), bak = LogPath() + ".bak";
    const std::string previous = kStart + "13:05:09 - vorige run\r\n";
    const std::string complete = kStart + "13:05:09 - een\r\n13:05:09 - twee\r\n13:05:09 - "
                                          "Logging ended.\r\n";
    for (int k = 1;; ++k) {
        std::filesystem::remove(log);
        test::WriteFile(log, previous);
        test::WriteFile(bak, "oudere backup");
        RecordingMessageSink sink;
        FaultyFiles files;
        files.failAt = k;
        {
            test::ScopedFiles scoped(files);
            auto run = MakeLog();
            run->printf("een");
            run->printf("twee");
        }
        if (files.failed.empty()) {
            EXPECT_GT(k, 5);
            break;
        }
        SCOPED_TRACE("call " + std::to_string(k) + " failed: " + files.failed);
        EXPECT_LE(sink.boxes.size(), 1u);
        EXPECT_TRUE(ReadFile(log) == previous || ReadFile(bak) == previous);
        EXPECT_EQ(test::LogDefect(ReadFile(log)), "");
        if (sink.boxes.empty()) {
            EXPECT_EQ(ReadFile(log), complete);
        }
        MakeLog()->printf("een");
        EXPECT_TRUE(ReadFile(log).starts_with(kStart + "13:05:09 - een\r\n"));
    }
}

TEST_F(LogTest, FullFilesystemGivesOneMessage) {
    auto mount = test::ScopedTmpfs::Mount(4096);
    if (!mount)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    Log log(clock);
    log.SetFilename((mount->Path() / "Kwastor.log").string());
    const std::string line(1000, 'x');
    for (int i = 0; i < 20; ++i)
        log.printf(line);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Writing to log failed.");
}

TEST(LogRecordSafely, WritesALineThatAsksForValuesLiterally) {
    RecordingMessageSink boxes;
    test::LogCapture capture;
    LogRecordSafely("kept \\tab");
    LogRecordSafely("SQL = 'SELECT 100%d \\x'");
    EXPECT_EQ(capture.Records(),
              (std::vector<std::string>{"2026-03-04\nLogging started.", "kept \tab",
                                        "SQL = 'SELECT 100%d \\x'"}));
    EXPECT_TRUE(boxes.boxes.empty());
}

} // namespace
} // namespace kw
