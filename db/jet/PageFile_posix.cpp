#include "db/jet/PageFile.h"

#include "db/jet/JetError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw::jet {

namespace {

std::string SystemError() {
    return std::strerror(errno);
}

class PosixFile : public PageFile {
public:
    PosixFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::uint64_t Size() const override { return size_; }

    void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                throw JetError("The database file can't be read: " + SystemError() + ".");
            }
            if (n == 0) {
                throw JetError("The database file ends before the part being read.");
            }
            done += static_cast<std::size_t>(n);
        }
    }

private:
    int fd_;
    std::uint64_t size_;
};

} // namespace

std::unique_ptr<PageFile> PageFile::OpenForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw JetError("The database file \"" + path + "\" can't be opened: " + SystemError() +
                       ".");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw JetError("\"" + path + "\" is not a database file that can be read.");
    }
    return std::make_unique<PosixFile>(fd, static_cast<std::uint64_t>(st.st_size));
}

} // namespace kw::jet
