#include "sys/File.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kw {

namespace {

constexpr mode_t kFileMode = 0644;

// What a folder decides about the files created in it: the owner that they should get, whether
// a file created there by this process has it already, and whether the umask alone takes bits
// away from a new file's mode (a default ACL takes its place).
struct FolderFacts {
    uid_t uid = 0;
    gid_t gid = 0;
    bool newFilesHaveOwner = false;
    bool umaskDecidesMode = false;
};

// The folder that holds the file: everything up to its last separator.
std::string FolderOf(const std::string& path) {
    const std::size_t end = path.rfind('/');
    return end == std::string::npos ? "." : path.substr(0, end + 1);
}

// What a batch of files looks up once.
struct Batch {
    mode_t umask = 0;
    std::vector<std::pair<std::string, FolderFacts>> folders;
};

class PosixFiles final : public FileApi {
public:
    FileHandle CreateNew(const std::string& path) override {
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
        if (fd >= 0 && !GiveMode(fd, FolderOf(path))) {
            ::close(fd);
            ::unlink(path.c_str());
            return kInvalidFile;
        }
        return fd;
    }

    FileHandle CreateUnnamed(const std::string& folder) override {
        // The file is named through its entry in /proc; without /proc it couldn't be.
        static const bool procFds = ::access("/proc/self/fd", X_OK) == 0;
        if (!procFds)
            return kInvalidFile;
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kFileMode);
        if (fd >= 0 && !GiveMode(fd, folder)) {
            ::close(fd);
            return kInvalidFile;
        }
        return fd;
    }

    bool Name(FileHandle file, const std::string& path) override {
        // linkat never follows a link at the new name: anything there makes it fail.
        const std::string self = "/proc/self/fd/" + std::to_string(file);
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
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
        if (euid_ != 0)
            return true;
        const std::optional<FolderFacts> facts = FactsOf(folder);
        return facts && (facts->newFilesHaveOwner ||
                         ::fchown(static_cast<int>(file), facts->uid, facts->gid) == 0);
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

    void BeginBatch() override {
        batch_.emplace();
        batch_->umask = ::umask(0);
        ::umask(batch_->umask);
    }

    void EndBatch() override { batch_.reset(); }

private:
    // The umask or the folder's default ACL may have taken bits away from a new file's mode;
    // the installation's users need to read the file.
    bool GiveMode(int fd, const std::string& folder) {
        bool masked = !batch_ || (batch_->umask & kFileMode) != 0;
        if (!masked) {
            const std::optional<FolderFacts> facts = FactsOf(folder);
            masked = !facts || !facts->umaskDecidesMode;
        }
        return !masked || ::fchmod(fd, kFileMode) == 0;
    }

    // Looked up once per batch: a folder does not change while its files are written.
    std::optional<FolderFacts> FactsOf(const std::string& folder) {
        if (batch_)
            for (const auto& [name, facts] : batch_->folders)
                if (name == folder)
                    return facts;
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0)
            return std::nullopt;
        const bool noDefaultAcl =
            ::getxattr(folder.c_str(), "system.posix_acl_default", nullptr, 0) < 0 &&
            (errno == ENODATA || errno == ENOTSUP);
        // A new file has this process's owner and group, or the group of a set-group-ID folder.
        const FolderFacts facts{st.st_uid, st.st_gid,
                                st.st_uid == euid_ &&
                                    (st.st_gid == egid_ || (st.st_mode & S_ISGID) != 0),
                                noDefaultAcl};
        if (batch_)
            batch_->folders.emplace_back(folder, facts);
        return facts;
    }

    // This program never changes its user or group.
    const uid_t euid_ = ::geteuid();
    const gid_t egid_ = ::getegid();
    std::optional<Batch> batch_;
};

} // namespace

FileApi& SystemFiles() {
    // Never destroyed: the log's end record may be written while the program's statics are
    // being destroyed (an exit() from inside the toolkit), and it needs these.
    static PosixFiles* files = new PosixFiles;
    return *files;
}

} // namespace kw
