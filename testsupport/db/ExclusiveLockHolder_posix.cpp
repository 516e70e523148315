#include "testsupport/db/DatabaseTestSupport.h"

#include <sqlite3.h>

#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace kw::test {

ExclusiveLockHolder::ExclusiveLockHolder(const std::string& path) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0)
        throw std::runtime_error("pipe failed");
    child_ = ::fork();
    if (child_ < 0)
        throw std::runtime_error("fork failed");
    if (child_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        sqlite3* db = nullptr;
        char ok =
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK
                ? '1'
                : '0';
        if (::write(ready[1], &ok, 1) != 1)
            ::_exit(1);
        char c;
        while (::read(release[0], &c, 1) > 0) {
        }
        ::_exit(0); // the lock goes with the process
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char ok = '0';
    const bool got = ::read(ready[0], &ok, 1) == 1;
    ::close(ready[0]);
    if (!got || ok != '1') {
        Release();
        throw std::runtime_error("the child could not lock " + path);
    }
}

ExclusiveLockHolder::~ExclusiveLockHolder() {
    Release();
}

void ExclusiveLockHolder::Release() {
    if (release_ >= 0)
        ::close(release_);
    release_ = -1;
    if (child_ > 0)
        ::waitpid(child_, nullptr, 0);
    child_ = -1;
}

} // namespace kw::test
