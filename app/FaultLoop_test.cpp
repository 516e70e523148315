// Every call to the file seam that a command-line mode makes is made to fail, one run per call:
// for k = 1, 2, ... the k-th call fails. Each run must report what went wrong (or the call's
// failure must be harmless), leave the log well-formed and nothing half-written under a final
// name; a run without faults afterwards must give the complete result.
#include "app/MainModule.h"
#include "db/Database.h"
#include "payload/Catalogue.h"
#include "payload/PayloadOperations.h"
#include "testsupport/TestSupport.h"
#include "testsupport/db/DatabaseTestSupport.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "tools/make-test-installation/DemoDatabase.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace kw {
namespace {

using test::FaultyFiles;
using test::fs::path;

// Failures that change nothing: a name removed only in case it exists, the log's look at a
// backup that isn't there, the closing of a file that was only read or whose contents are all
// written, and a file without a name refused or not given its final name (one under its
// temporary name takes its place).
bool Harmless(const std::string& failed) {
    return failed.starts_with("Remove ") || failed.starts_with("CreateUnnamed ") ||
           (failed.starts_with("Name ") && !failed.ends_with(".kwastor-tmp")) ||
           (failed.starts_with("OpenExisting ") && failed.ends_with(".log.bak")) ||
           (failed.starts_with("Close ") && !failed.ends_with(".kwastor-tmp"));
}

// Runs the mode once for every call of the seam that it makes, failing that call; calls
// check(ok, boxes) after each run. Returns the number of calls in a run without faults.
template <class Run, class Check> int ForEveryCall(Run run, Check check) {
    for (int k = 1;; ++k) {
        test::LogCapture log;
        test::RecordingMessageSink boxes;
        FaultyFiles files;
        files.failAt = k;
        bool ok;
        {
            test::ScopedFiles scoped(files);
            ok = run();
            gLog->Terminate();
        }
        if (files.failed.empty()) {
            EXPECT_TRUE(ok);
            EXPECT_TRUE(boxes.boxes.empty());
            return k - 1;
        }
        SCOPED_TRACE("call " + std::to_string(k) + " failed: " + files.failed);
        EXPECT_TRUE(!boxes.boxes.empty() || Harmless(files.failed)) << "nothing was reported";
        EXPECT_TRUE(ok || !boxes.boxes.empty()) << "a failed mode said nothing";
        EXPECT_EQ(test::LogDefect(log.Text()), "");
        check(ok);
    }
}

TEST(FaultLoop, FilesMode) {
    const test::PayloadContents contents = test::SmallPayload(2);
    test::ScopedPayload payload(contents);
    // What may stand under a final name: the previous version or the complete new file.
    auto expectOnlyWholeFiles = [&](const test::TestInstallation& inst, bool complete) {
        std::size_t count = 0;
        for (const auto& entry : test::fs::recursive_directory_iterator(inst.Path())) {
            if (!entry.is_regular_file())
                continue;
            const path file = entry.path();
            const std::string nr = file.stem().string().substr(1);
            const int row = file.parent_path().filename() == "pictogrammen" ? 0
                            : file.parent_path().filename() == "man"        ? 1
                            : file.parent_path().filename() == "vrouw"      ? 2
                                                                            : 3;
            if (file.extension() == ".kwastor-tmp") {
                EXPECT_FALSE(complete) << file;
                continue;
            }
            ++count;
            const std::string bytes = test::ReadFile(file);
            EXPECT_TRUE(bytes == contents.Blob(kBlobKinds[row].prefix + nr) ||
                        (!complete && bytes == "vorige versie"))
                << file;
        }
        if (complete) {
            EXPECT_EQ(count, 8u);
        }
    };
    const auto withPrevious = [] {
        auto inst = std::make_unique<test::TestInstallation>();
        for (const char* f : {"pictogrammen/i1173.wmf", "thumbs/i1174.bmp"})
            test::WriteFile(inst->Path() / f, "vorige versie");
        return inst;
    };
    std::unique_ptr<test::TestInstallation> inst;
    const int calls = ForEveryCall(
        [&] {
            inst = withPrevious();
            return RunFilesMode(inst->Folder());
        },
        [&](bool ok) {
            expectOnlyWholeFiles(*inst, ok);
            test::LogCapture log;
            test::RecordingMessageSink boxes;
            EXPECT_TRUE(RunFilesMode(inst->Folder()));
            expectOnlyWholeFiles(*inst, true);
        });
    EXPECT_GT(calls, 60);
}

TEST(FaultLoop, DatabaseMode) {
    test::ScopedPayload payload(test::SmallPayload(3));
    test::TempDir dir;
    const std::string db = dir.Folder() + "picbase.pbd";
    {
        test::LogCapture log;
        CreateDemoDatabase(dir.Folder() + "schoon.pbd");
        Connect(dir.Folder() + "schoon.pbd");
        ASSERT_TRUE(UpdateDB(nullptr));
        Disconnect();
    }
    const std::string clean = test::DumpDatabase(dir.Folder() + "schoon.pbd");
    const int calls = ForEveryCall(
        [&] {
            ::unlink(db.c_str());
            CreateDemoDatabase(db);
            return RunDatabaseMode(dir.Folder());
        },
        [&](bool) {
            // Only the log goes through the seam: the database is complete either way.
            EXPECT_EQ(test::DumpDatabase(db), clean);
        });
    EXPECT_GT(calls, 5);
}

} // namespace
} // namespace kw
