// The pager against a model of its pages, under injected faults at every step of a commit, under
// SIGKILL at random moments, and against a second writer.
#include "db/jet/Pager.h"

#include "db/jet/FaultyFileSystem.h"
#include "db/jet/JetError.h"
#include "testsupport/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kw::jet {
namespace {

using test::FaultyFileSystem;
using Pages = std::vector<std::vector<std::uint8_t>>;

constexpr std::size_t kPage = 4096;

std::string Bytes(const Pages& pages) {
    std::string all;
    for (const auto& p : pages)
        all.append(p.begin(), p.end());
    return all;
}

Pages RandomPages(std::mt19937& random, std::size_t count) {
    Pages pages(count, std::vector<std::uint8_t>(kPage));
    for (auto& p : pages)
        for (auto& b : p)
            b = static_cast<std::uint8_t>(random());
    return pages;
}

std::string Error(const std::function<void()>& f) {
    try {
        f();
    } catch (const JetError& e) {
        return e.what();
    }
    return {};
}

class PagerTest : public ::testing::Test {
protected:
    std::string Db() const { return dir_.Folder() + "picbase.pbd"; }
    void Write(const Pages& pages) const { kw::test::WriteFile(Db(), Bytes(pages)); }
    std::string OnDisk() const { return kw::test::ReadFile(Db()); }
    kw::test::TempDir dir_;
};

// One transaction that changes, adds and re-changes pages; returns the pages it should leave.
Pages ApplyScript(Pager& pager, Pages model) {
    pager.Begin();
    for (std::uint32_t page : {1u, 3u, 1u}) {
        pager.Change(page)[page * 7] ^= 0x5A;
        model[page][page * 7] ^= 0x5A;
    }
    for (int i = 0; i < 70; ++i) { // more than one run of the copy
        const std::uint32_t added = pager.Grow();
        pager.Change(added)[i] = static_cast<std::uint8_t>(i + 1);
        model.emplace_back(kPage, 0);
        model.back()[i] = static_cast<std::uint8_t>(i + 1);
    }
    pager.Commit();
    return model;
}

// Stopping the writer (a crash) or failing one operation (a full disk) at every counted step of a
// commit leaves the file exactly as before or exactly as after, and nothing beside it but the lock
// file of a writer that still runs.
TEST_F(PagerTest, EveryFaultDuringACommitLeavesTheWholeBeforeOrTheWholeAfter) {
    std::mt19937 random(11);
    const Pages before = RandomPages(random, 9);
    Write(before);
    FaultyFileSystem counting;
    auto measured = Pager::Open(Db(), kPage, counting);
    const int atOpen = counting.Operations();
    const std::string after = Bytes(ApplyScript(*measured, before));
    measured.reset();
    ASSERT_EQ(OnDisk(), after);
    const int steps = counting.Operations() - atOpen;
    const int rename = steps - 1; // operations before the rename: all but the folder flush
    ASSERT_GT(steps, 5);

    for (const auto fault : {FaultyFileSystem::Fault::Stop, FaultyFileSystem::Fault::Fail}) {
        for (int k = 0; k <= steps; ++k) {
            SCOPED_TRACE("fault " + std::to_string(int(fault)) + " after step " +
                         std::to_string(k));
            Write(before);
            FaultyFileSystem files;
            auto pager = Pager::Open(Db(), kPage, files);
            files.Arm(k, fault);
            const std::string error = Error([&] { ApplyScript(*pager, before); });
            EXPECT_EQ(files.Fired(), k < steps);
            EXPECT_EQ(!error.empty(), k < rename) << error;
            if (fault == FaultyFileSystem::Fault::Fail && k < rename) {
                EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
                EXPECT_EQ(OnDisk(), Bytes(before));
                EXPECT_FALSE(std::filesystem::exists(Pager::NewCopyPath(Db())));
                ApplyScript(*pager, before); // the writer goes on with the same pager
            }
            pager.reset();
            Pager::Open(Db(), kPage).reset(); // the next writer tidies up
            EXPECT_EQ(OnDisk(),
                      k < rename && fault == FaultyFileSystem::Fault::Stop ? Bytes(before) : after);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
        }
    }
}

// Random changes, growth, savepoints, rollbacks and commits against a model of the pages.
TEST_F(PagerTest, ReadsCommitsAndRollbacksFollowAModel) {
    for (unsigned seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        Pages committed = RandomPages(random, 1 + random() % 5);
        Write(committed);
        auto pager = Pager::Open(Db(), kPage, FileSystem::System(), 2);
        Pages current = committed;
        std::vector<std::pair<Pager::Savepoint, Pages>> marks;
        std::vector<std::pair<PageRef, std::vector<std::uint8_t>>> held;
        for (int step = 0; step < 300; ++step) {
            if (!pager->InTransaction()) {
                pager->Begin();
                marks.clear();
            }
            const std::uint32_t page = random() % current.size();
            switch (random() % 10) {
            case 0:
                pager->Grow();
                current.emplace_back(kPage, 0);
                break;
            case 1:
                marks.emplace_back(pager->Mark(), current);
                break;
            case 2:
                if (!marks.empty()) {
                    pager->RollbackTo(marks.back().first);
                    current = marks.back().second;
                    marks.pop_back();
                }
                break;
            case 3:
                pager->Commit();
                committed = current;
                ASSERT_EQ(OnDisk(), Bytes(committed));
                break;
            case 4:
                pager->Rollback();
                current = committed;
                break;
            case 5:
                held.emplace_back(pager->Read(page), current[page]);
                break;
            default: {
                const std::size_t at = random() % kPage;
                const auto value = static_cast<std::uint8_t>(random());
                pager->Change(page)[at] = value;
                current[page][at] = value;
            }
            }
            ASSERT_EQ(pager->PageCount(), current.size());
            ASSERT_EQ(*pager->Read(page % current.size()), current[page % current.size()]);
        }
        for (const auto& [ref, bytes] : held)
            ASSERT_EQ(*ref, bytes) << "a page read before a change kept its bytes";
        pager.reset();
        EXPECT_EQ(OnDisk(), Bytes(committed));
    }
}

// Owner, group and permissions (set-group-ID too) survive a commit, also one through a symbolic
// link. A database with a second hard link is refused before anything changes: the commit's rename
// would leave the other name with the old contents.
TEST_F(PagerTest, OwnerPermissionsAndLinksAcrossACommit) {
    std::mt19937 random(3);
    Write(RandomPages(random, 3));
    const bool root = ::geteuid() == 0;
    const std::string link = dir_.Folder() + "link.pbd";
    std::filesystem::create_symlink(Db(), link);
    for (const mode_t mode : {0640, 0600, 02664}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(Db().c_str(), mode), 0);
        if (root) {
            ASSERT_EQ(::chown(Db().c_str(), 1234, 4321), 0);
            ASSERT_EQ(::chmod(Db().c_str(), mode), 0); // chown clears set-group-ID
        }
        auto pager = Pager::Open(link, kPage);
        pager->Begin();
        pager->Change(2)[0] ^= 1;
        pager->Commit();

        struct stat st {};
        ASSERT_EQ(::stat(Db().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        if (root) {
            EXPECT_EQ(st.st_uid, 1234u);
            EXPECT_EQ(st.st_gid, 4321u);
        }
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }

    const std::string second = dir_.Folder() + "second.pbd";
    std::filesystem::create_hard_link(Db(), second);
    const std::string before = OnDisk();
    for (const std::string& name : {Db(), second, link})
        EXPECT_NE(Error([&] { Pager::Open(name, kPage); }).find("2 names (hard links)"),
                  std::string::npos)
            << name;
    EXPECT_EQ(OnDisk(), before);
    EXPECT_FALSE(std::filesystem::exists(Pager::LockFilePath(Db())));
    std::filesystem::remove(second);
    Pager::Open(Db(), kPage).reset();
}

// A child that holds a lock the way Access does (a classic byte-range lock of another process).
class LockingChild {
public:
    explicit LockingChild(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = 0x10000001; // a user slot of Jet's lock file
            lock.l_len = 1;
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
            if (::write(ready[1], &ok, 1) != 1)
                ::_exit(1);
            ::pause();
            ::_exit(0);
        }
        char ok = 0;
        if (::read(ready[0], &ok, 1) != 1 || ok != 'y')
            throw std::runtime_error("the child could not lock " + path);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~LockingChild() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

TEST_F(PagerTest, ASecondWriterOrADatabaseHeldByAnotherProgramIsRefused) {
    std::mt19937 random(5);
    Write(RandomPages(random, 2));
    const std::string lockFile = dir_.Folder() + "picbase.ldb";
    EXPECT_EQ(Pager::LockFilePath(Db()), lockFile);
    const std::string inUse = "is in use by another program";
    {
        auto first = Pager::Open(Db(), kPage);
        EXPECT_TRUE(std::filesystem::exists(lockFile));
        EXPECT_NE(Error([&] { Pager::Open(Db(), kPage); }).find(inUse), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "the writer removes the lock file it made";
    for (const std::string& held : {lockFile, Db()}) {
        SCOPED_TRACE(held);
        LockingChild access(held);
        const std::string before = OnDisk();
        EXPECT_NE(Error([&] { Pager::Open(Db(), kPage); }).find(inUse), std::string::npos);
        EXPECT_EQ(OnDisk(), before);
    }
    EXPECT_TRUE(std::filesystem::exists(lockFile)) << "a lock file another program made stays";
    Pager::Open(Db(), kPage).reset();
    EXPECT_TRUE(std::filesystem::exists(lockFile));
}

// A real process killed at random moments of a loop of commits: every transaction stamps every
// page with its number and every third one adds a page, so a torn state shows at once.
TEST_F(PagerTest, AWriterKilledAtRandomMomentsLeavesAWholeTransaction) {
    std::mt19937 random(7);
    constexpr std::uint32_t kStart = 6;
    Pages start = RandomPages(random, kStart);
    for (auto& p : start)
        std::fill_n(p.begin(), 4, 0);
    Write(start);
    std::uint32_t last = 0;
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                auto pager = Pager::Open(Db(), kPage);
                for (;;) {
                    std::uint32_t stamp = 0;
                    std::memcpy(&stamp, pager->Read(0)->data(), 4);
                    ++stamp;
                    pager->Begin();
                    if (stamp % 3 == 0)
                        pager->Grow();
                    for (std::uint32_t p = 0; p < pager->PageCount(); ++p)
                        std::memcpy(pager->Change(p).data(), &stamp, 4);
                    pager->Commit();
                }
            } catch (...) {
                ::_exit(2);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        auto pager = Pager::Open(Db(), kPage);
        std::uint32_t stamp = 0;
        std::memcpy(&stamp, pager->Read(0)->data(), 4);
        EXPECT_GE(stamp, last) << "round " << round;
        last = stamp;
        EXPECT_EQ(pager->PageCount(), kStart + stamp / 3)
            << "round " << round << ", stamp " << stamp;
        for (std::uint32_t p = 0; p < pager->PageCount(); ++p) {
            std::uint32_t s = 0;
            std::memcpy(&s, pager->Read(p)->data(), 4);
            ASSERT_EQ(s, stamp) << "page " << p << ", round " << round;
        }
    }
    EXPECT_GT(last, 0u) << "the writer never committed before it was killed";
}

} // namespace
} // namespace kw::jet
