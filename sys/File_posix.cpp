#include "sys/File.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {

namespace {

class PosixFiles final : public FileApi {
public:
    FileHandle CreateAlways(const std::string& path) override {
        // Open without truncating first: a file that another opener holds must stay intact.
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return kInvalidFile;
        // POSIX has no share modes; an exclusive lock is the nearest thing and keeps two
        // cooperating writers (two runs of this program) apart.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return kInvalidFile;
        }
        return fd;
    }

    std::int64_t Write(FileHandle file, const void* data, std::size_t size) override {
        ssize_t n;
        do {
            n = ::write(static_cast<int>(file), data, size);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    void Close(FileHandle file) override { ::close(static_cast<int>(file)); }

    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    bool Rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0;
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
