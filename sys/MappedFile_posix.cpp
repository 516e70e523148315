#include "sys/MappedFile.h"

#include "sys/Failure.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

} // namespace

MappedFile::MappedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Failure(SystemError("Kan bestand niet openen", path));
    struct stat st {};
    void* map = nullptr;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    const int saved = errno;
    ::close(fd); // the mapping keeps the file
    errno = saved;
    if (map == MAP_FAILED || (map == nullptr && st.st_size > 0))
        throw Failure(SystemError("Kan bestand niet lezen", path));
    data_ = static_cast<const std::byte*>(map);
    size_ = static_cast<std::size_t>(st.st_size);
}

MappedFile::~MappedFile() {
    if (data_)
        ::munmap(const_cast<std::byte*>(data_), size_);
}

void MappedFile::Populate(std::span<const std::byte> part) const {
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (part.empty() || part.data() < data_ || part.data() + part.size() > data_ + size_)
        return;
    const auto from = reinterpret_cast<std::uintptr_t>(part.data()) & ~(page - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(part.data() + part.size());
    // One call instead of a fault for every few pages; an older kernel just faults them in.
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_READ);
}

void MappedFile::Release(std::span<const std::byte> part) const {
    // The kernel maps the pages around a faulting one as well, a whole folio of the page cache
    // at a time (up to 2 MB), so pages of neighbouring entries come in with this one: those go
    // too, in whole windows of that size. Measured: 64 kB windows left 10-20 MB mapped.
    constexpr std::uintptr_t kWindow = 2 * 1024 * 1024;
    if (part.empty() || part.data() < data_ || part.data() + part.size() > data_ + size_)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data_);
    const auto end = begin + size_;
    const auto from = std::max(reinterpret_cast<std::uintptr_t>(part.data()) & ~(kWindow - 1),
                               begin); // the mapping starts on a page, at the least
    const auto to =
        std::min((reinterpret_cast<std::uintptr_t>(part.data() + part.size()) + kWindow - 1) &
                     ~(kWindow - 1),
                 end);
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

} // namespace kw
