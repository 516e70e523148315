#include "sys/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {

namespace {

constexpr mode_t kFileMode = 0644;

class PosixFiles final : public FileApi {
public:
    FileHandle CreateNew(const std::string& path) override {
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
        if (fd < 0)
            return kInvalidFile;
        // The umask may have taken bits away; the installation's users need to read the file.
        if (::fchmod(fd, kFileMode) != 0) {
            ::close(fd);
            ::unlink(path.c_str());
            return kInvalidFile;
        }
        return fd;
    }

    FileHandle OpenExisting(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return kInvalidFile;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return kInvalidFile;
        }
        return fd;
    }

    bool Lock(FileHandle file) override {
        // Only another opener's lock counts: where the file system has no locks at all, the
        // file is used without one rather than not at all.
        return ::flock(static_cast<int>(file), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    }

    bool TakeFolderOwner(FileHandle file, const std::string& folder) override {
        if (::geteuid() != 0)
            return true;
        struct stat st {};
        return ::stat(folder.c_str(), &st) == 0 &&
               ::fchown(static_cast<int>(file), st.st_uid, st.st_gid) == 0;
    }

    std::int64_t Write(FileHandle file, const void* data, std::size_t size) override {
        ssize_t n;
        do {
            n = ::write(static_cast<int>(file), data, size);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    bool Close(FileHandle file) override { return ::close(static_cast<int>(file)) == 0; }

    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    bool Rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }

    FileKind Kind(const std::string& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unknown;
        return S_ISREG(st.st_mode) ? FileKind::Ordinary : FileKind::Other;
    }

    bool IsOrdinaryFile(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
};

} // namespace

FileApi& SystemFiles() {
    // Never destroyed: the log's end record may be written while the program's statics are
    // being destroyed (an exit() from inside the toolkit), and it needs these.
    static PosixFiles* files = new PosixFiles;
    return *files;
}

} // namespace kw
