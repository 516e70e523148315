#include "db/jet/FileSystem.h"

#include "db/jet/JetError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw::jet {

namespace {

std::string SystemError() {
    return std::strerror(errno);
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

class PosixFile final : public File {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw JetError("The file " + Quoted(path_) + " can't be written: " +
                               (n == 0 ? std::string("nothing was written") : SystemError()) + ".");
            done += static_cast<std::size_t>(n);
        }
    }

    void Sync() override {
        if (::fdatasync(fd_) != 0)
            throw JetError("The file " + Quoted(path_) +
                           " can't be flushed to the disk: " + SystemError() + ".");
    }

private:
    int fd_;
    std::string path_;
};

// A lock over the whole lock file, held by this open file description: it conflicts with the
// locks of other programs (Access under Wine locks byte ranges of its .ldb) and with those of
// another writer in this same process, and isn't dropped when some other descriptor of the file
// is closed.
bool LockWhole(int fd, int command, short type, struct flock& lock) {
    lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, command, &lock) == 0;
}

class PosixLock final : public Lock {
public:
    PosixLock(int fd, std::string madePath) : fd_(fd), madePath_(std::move(madePath)) {}
    ~PosixLock() override {
        // Removed while still locked: a writer that opened it meanwhile finds, after taking
        // the lock, that it no longer is the file at that path and starts again.
        if (!madePath_.empty())
            ::unlink(madePath_.c_str());
        ::close(fd_);
    }
    PosixLock(const PosixLock&) = delete;
    PosixLock& operator=(const PosixLock&) = delete;

private:
    int fd_;
    std::string madePath_;
};

bool SameFile(int fd, const std::string& path) {
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// Whether any other open file (of any program) holds a lock on some part of `path`.
bool LockedByOther(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw JetError("The database file " + Quoted(path) + " can't be opened: " + SystemError() +
                       ".");
    struct flock lock {};
    const bool asked = LockWhole(fd, F_OFD_GETLK, F_WRLCK, lock);
    const int saved = errno;
    ::close(fd);
    if (!asked) {
        errno = saved;
        throw JetError("The locks on the database file " + Quoted(path) +
                       " can't be examined: " + SystemError() + ".");
    }
    return lock.l_type != F_UNLCK;
}

class PosixFileSystem final : public FileSystem {
public:
    std::string Resolve(const std::string& path) override {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr)
            throw JetError("The database file " + Quoted(path) +
                           " can't be found: " + SystemError() + ".");
        std::string resolved(real);
        std::free(real);
        return resolved;
    }

    std::unique_ptr<PageFile> OpenForReading(const std::string& path) override {
        return PageFile::OpenForReading(path);
    }

    std::unique_ptr<File> CreateLike(const std::string& path, const std::string& like) override {
        struct stat model {};
        if (::stat(like.c_str(), &model) != 0)
            throw JetError("The database file " + Quoted(like) +
                           " can't be examined: " + SystemError() + ".");
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            throw JetError("The new copy of the database, " + Quoted(path) +
                           ", can't be made: " + SystemError() + ".");
        struct stat made {};
        const bool sameOwner =
            ::fstat(fd, &made) == 0 && made.st_uid == model.st_uid && made.st_gid == model.st_gid;
        if ((!sameOwner && ::fchown(fd, model.st_uid, model.st_gid) != 0) ||
            ::fchmod(fd, model.st_mode & 07777) != 0) {
            const std::string why = SystemError();
            ::close(fd);
            ::unlink(path.c_str());
            throw JetError("The new copy of the database can't be given the owner and "
                           "permissions of " +
                           Quoted(like) + ": " + why + ".");
        }
        return std::make_unique<PosixFile>(fd, path);
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw JetError("The new copy of the database can't replace " + Quoted(to) + ": " +
                           SystemError() + ".");
    }

    void Remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throw JetError("The file " + Quoted(path) + " can't be removed: " + SystemError() +
                           ".");
    }

    void SyncFolder(const std::string& path) override {
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            const std::string why = SystemError();
            if (fd >= 0)
                ::close(fd);
            throw JetError("The folder " + Quoted(folder) +
                           " can't be flushed to the disk: " + why + ".");
        }
        ::close(fd);
    }

    bool Exists(const std::string& path) override {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    std::uint64_t Names(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            throw JetError("The database file " + Quoted(path) +
                           " can't be examined: " + SystemError() + ".");
        return st.st_nlink;
    }

    std::unique_ptr<Lock> LockForWriting(const std::string& lockPath,
                                         const std::string& dataPath) override {
        // A few rounds: the lock file may be removed by its maker between our open and lock.
        for (int round = 0; round < 8; ++round) {
            bool made = false;
            int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT) {
                fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                made = fd >= 0;
                if (fd < 0 && errno == EEXIST)
                    continue;
            }
            if (fd < 0)
                throw JetError("The lock file " + Quoted(lockPath) +
                               " can't be opened: " + SystemError() + ".");
            struct flock lock {};
            if (!LockWhole(fd, F_OFD_SETLK, F_WRLCK, lock)) {
                const int saved = errno;
                ::close(fd);
                if (saved == EAGAIN || saved == EACCES)
                    return nullptr;
                errno = saved;
                throw JetError("The lock file " + Quoted(lockPath) +
                               " can't be locked: " + SystemError() + ".");
            }
            if (!SameFile(fd, lockPath)) {
                ::close(fd);
                continue;
            }
            auto held = std::make_unique<PosixLock>(fd, made ? lockPath : std::string());
            if (LockedByOther(dataPath))
                return nullptr;
            return held;
        }
        throw JetError("The lock file " + Quoted(lockPath) +
                       " keeps being replaced by another program.");
    }
};

} // namespace

FileSystem& FileSystem::System() {
    static PosixFileSystem* system = new PosixFileSystem;
    return *system;
}

} // namespace kw::jet
