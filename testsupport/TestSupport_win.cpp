#include "testsupport/TestSupport.h"

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <windows.h>

namespace kw::test {

TempDir::TempDir() {
    std::random_device random;
    for (int round = 0; round < 100; ++round) {
        const fs::path candidate =
            fs::temp_directory_path() / ("kwastor-test-" + std::to_string(random()));
        if (::CreateDirectoryA(candidate.string().c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name))
        old_ = old;
    ::_putenv_s(name, value ? value : "");
}

ScopedEnv::~ScopedEnv() {
    ::_putenv_s(name_, old_ ? old_->c_str() : "");
}

// Windows has no tmpfs: the tests that need one skip.
std::optional<ScopedTmpfs> ScopedTmpfs::Mount(std::size_t, bool) {
    return std::nullopt;
}

ScopedTmpfs::ScopedTmpfs(ScopedTmpfs&& other) noexcept : dir_(std::move(other.dir_)) {
    other.dir_.clear();
}

ScopedTmpfs::~ScopedTmpfs() = default;

bool ScopedTmpfs::Remount(bool) {
    return false;
}

} // namespace kw::test
