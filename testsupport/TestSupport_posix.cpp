#include "testsupport/TestSupport.h"

#include <cstdlib>
#include <stdexcept>
#include <sys/mount.h>

namespace kw::test {

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "kwastor-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name))
        old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_);
}

std::optional<ScopedTmpfs> ScopedTmpfs::Mount(std::size_t bytes, bool readOnly) {
    std::string tmpl = (fs::temp_directory_path() / "kwastor-tmpfs-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        return std::nullopt;
    std::string opts = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", tmpl.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, opts.c_str()) != 0) {
        fs::remove(tmpl);
        return std::nullopt;
    }
    return ScopedTmpfs(tmpl);
}

ScopedTmpfs::ScopedTmpfs(ScopedTmpfs&& other) noexcept : dir_(std::move(other.dir_)) {
    other.dir_.clear();
}

ScopedTmpfs::~ScopedTmpfs() {
    if (dir_.empty())
        return;
    ::umount2(dir_.c_str(), MNT_DETACH);
    std::error_code ec;
    fs::remove(dir_, ec);
}

bool ScopedTmpfs::Remount(bool readOnly) {
    unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("tmpfs", dir_.c_str(), "tmpfs", flags, nullptr) == 0;
}

} // namespace kw::test
