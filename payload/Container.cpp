#include "payload/Container.h"

#include "sys/Failure.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw::payload {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::uint16_t kVersionNeeded = 10;     // 1.0: stored entries only
constexpr std::uint16_t kVersionMadeBy = 0x031E; // Unix, 3.0: the attributes are a file mode
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01, so builds are alike
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint32_t kFileMode = 0100644u << 16;
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
// A central directory larger than this is taken for damage; the real one is about 100 kB.
constexpr std::uint64_t kMaxDirectoryBytes = 64u << 20;

class Bytes {
public:
    Bytes& U16(std::uint64_t v) { return Put(v, 2); }
    Bytes& U32(std::uint64_t v) { return Put(v, 4); }
    Bytes& Text(std::string_view s) {
        for (char c : s)
            out_.push_back(static_cast<std::byte>(c));
        return *this;
    }
    const std::vector<std::byte>& Data() const { return out_; }

private:
    Bytes& Put(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i)
            out_.push_back(static_cast<std::byte>(v >> (8 * i)));
        return *this;
    }
    std::vector<std::byte> out_;
};

std::uint64_t Get(std::span<const std::byte> in, std::size_t at, int size) {
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
    return v;
}

[[noreturn]] void Damaged(const std::string& what) {
    throw Failure("De bron van het programma is beschadigd: " + what);
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

std::vector<std::byte> LocalHeader(const Entry& e) {
    Bytes b;
    b.U32(kLocalSignature).U16(kVersionNeeded).U16(0).U16(0).U16(kDosTime).U16(kDosDate);
    b.U32(e.crc).U32(e.size).U32(e.size).U16(e.name.size()).U16(0).Text(e.name);
    return b.Data();
}

// The central directory and its end record for entries whose local headers lie at e.header,
// the directory itself at `offset`.
std::vector<std::byte> CentralDirectory(const std::vector<Entry>& entries, std::uint64_t offset) {
    if (entries.size() >= 0xFFFF)
        throw Failure("Te veel bronnen voor één archief");
    Bytes b;
    for (const Entry& e : entries) {
        if (e.header > kMax32)
            throw Failure("Het archief wordt te groot");
        b.U32(kCentralSignature).U16(kVersionMadeBy).U16(kVersionNeeded).U16(0).U16(0);
        b.U16(kDosTime).U16(kDosDate).U32(e.crc).U32(e.size).U32(e.size);
        b.U16(e.name.size()).U16(0).U16(0).U16(0).U16(0).U32(kFileMode).U32(e.header);
        b.Text(e.name);
    }
    const std::uint64_t size = b.Data().size();
    if (offset > kMax32 || size > kMax32)
        throw Failure("Het archief wordt te groot");
    b.U32(kEndSignature).U16(0).U16(0).U16(entries.size()).U16(entries.size());
    b.U32(size).U32(offset).U16(0);
    return b.Data();
}

// Writes all of a buffer to a descriptor.
void WriteAll(int fd, const std::byte* data, std::size_t size, const std::string& path) {
    for (std::size_t done = 0; done < size;) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Failure(SystemError("Kan niet schrijven naar", path));
        done += static_cast<std::size_t>(n);
    }
}

std::vector<Entry> InFileOrder(const Directory& dir) {
    std::vector<Entry> entries;
    for (const auto& [key, e] : dir.entries)
        entries.push_back(e);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.header < b.header; });
    return entries;
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
    // The kernel maps the pages around a faulting one as well (64 kB by default), so the pages
    // of a neighbouring entry come in with this one: those go too, in whole windows.
    constexpr std::uintptr_t kWindow = 64 * 1024;
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

std::string StringEntryName(std::int32_t id) {
    return "STRING/" + std::to_string(id);
}

std::string ResourceEntryName(std::string_view type, std::string_view name) {
    return std::string(type) + "/" + std::string(name);
}

std::string EntryKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

Directory ReadDirectory(std::span<const std::byte> file) {
    const std::uint64_t fileSize = file.size();
    if (fileSize < kEndSize)
        throw Failure("Het programma bevat geen bronnen");
    // The end record is the last 22 bytes, or fewer when the archive has a comment after it.
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, kEndSize + 0xFFFF);
    const std::span<const std::byte> tail = file.last(tailSize);
    std::uint64_t endAt = tailSize;
    for (std::uint64_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (Get(tail, i, 4) == kEndSignature && Get(tail, i + 20, 2) == tailSize - i - kEndSize) {
            endAt = i;
            break;
        }
    }
    if (endAt == tailSize)
        throw Failure("Het programma bevat geen bronnen");

    const std::span<const std::byte> end = tail.subspan(endAt, kEndSize);
    const std::uint64_t endPos = fileSize - tailSize + endAt;
    const std::uint64_t count = Get(end, 10, 2);
    const std::uint64_t cdSize = Get(end, 12, 4);
    const std::uint64_t cdOffset = Get(end, 16, 4);
    if (Get(end, 4, 2) != 0 || Get(end, 6, 2) != 0 || Get(end, 8, 2) != count)
        Damaged("archief in delen");
    if (count == 0xFFFF || cdSize == kMax32 || cdOffset == kMax32)
        Damaged("ZIP64 wordt niet ondersteund");
    if (cdSize > endPos || cdSize > kMaxDirectoryBytes)
        Damaged("onmogelijke lengte van de inhoudsopgave");
    const std::uint64_t cdStart = endPos - cdSize;
    if (cdOffset > cdStart)
        Damaged("onmogelijke plaats van de inhoudsopgave");

    Directory dir;
    dir.offsetShift = cdStart - cdOffset;
    dir.start = cdStart;
    const std::span<const std::byte> cd = file.subspan(cdStart, cdSize);
    std::size_t pos = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (cd.size() - pos < kCentralSize || Get(cd, pos, 4) != kCentralSignature)
            Damaged("inhoudsopgave");
        const std::span<const std::byte> fixed = cd.subspan(pos, kCentralSize);
        Entry e;
        e.crc = static_cast<std::uint32_t>(Get(fixed, 16, 4));
        e.size = Get(fixed, 24, 4);
        const std::uint64_t nameLen = Get(fixed, 28, 2);
        const std::uint64_t skip = Get(fixed, 30, 2) + Get(fixed, 32, 2);
        const std::uint64_t stored = Get(fixed, 42, 4);
        pos += kCentralSize;
        if (cd.size() - pos < nameLen + skip)
            Damaged("inhoudsopgave");
        e.name.assign(reinterpret_cast<const char*>(cd.data()) + pos, nameLen);
        pos += nameLen + skip;
        if ((Get(fixed, 8, 2) & 1) || Get(fixed, 10, 2) != 0 || Get(fixed, 20, 4) != e.size)
            Damaged("'" + e.name + "' is gecomprimeerd of versleuteld");
        if (Get(fixed, 34, 2) != 0 || stored == kMax32 || e.size == kMax32)
            Damaged("'" + e.name + "' heeft een onbekende indeling");
        e.header = stored + dir.offsetShift;
        if (e.header > cdStart || cdStart - e.header < kLocalSize + nameLen + e.size)
            Damaged("'" + e.name + "' ligt buiten het archief");
        dir.start = std::min(dir.start, e.header);
        if (!dir.entries.emplace(EntryKey(e.name), e).second)
            Damaged("'" + e.name + "' komt twee keer voor");
    }
    if (pos != cd.size())
        Damaged("inhoudsopgave");
    return dir;
}

std::span<const std::byte> EntryData(std::span<const std::byte> file, const Entry& entry) {
    if (entry.header > file.size() || file.size() - entry.header < kLocalSize)
        Damaged("'" + entry.name + "'");
    const std::span<const std::byte> local = file.subspan(entry.header, kLocalSize);
    const std::uint64_t nameLen = Get(local, 26, 2);
    const std::uint64_t extraLen = Get(local, 28, 2);
    const std::uint64_t dataAt = entry.header + kLocalSize + nameLen + extraLen;
    if (Get(local, 0, 4) != kLocalSignature || Get(local, 8, 2) != 0 ||
        nameLen != entry.name.size() || dataAt > file.size() || entry.size > file.size() - dataAt ||
        std::memcmp(file.data() + entry.header + kLocalSize, entry.name.data(), nameLen) != 0)
        Damaged("'" + entry.name + "'");
    const std::span<const std::byte> data = file.subspan(dataAt, entry.size);
    if (Crc32(data) != entry.crc)
        Damaged("'" + entry.name + "' (CRC)");
    return data;
}

ContainerWriter::ContainerWriter(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        throw Failure(SystemError("Kan bestand niet maken", path));
}

ContainerWriter::~ContainerWriter() {
    if (file_)
        std::fclose(file_);
}

void ContainerWriter::Write(const void* data, std::size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size)
        throw Failure(SystemError("Kan niet schrijven naar", path_));
    written_ += size;
}

void ContainerWriter::Add(std::string_view name, std::span<const std::byte> data) {
    if (name.size() > 0xFFFF || data.size() >= kMax32)
        throw Failure("Bron '" + std::string(name) + "' is te groot");
    if (!keys_.emplace(EntryKey(name), true).second)
        throw Failure("Bron '" + std::string(name) + "' komt twee keer voor");
    Entry e{std::string(name), written_, data.size(), Crc32(data)};
    const std::vector<std::byte> header = LocalHeader(e);
    Write(header.data(), header.size());
    Write(data.data(), data.size());
    entries_.push_back(std::move(e));
}

void ContainerWriter::AddString(std::int32_t id, std::string_view utf8) {
    Add(StringEntryName(id), std::as_bytes(std::span(utf8.data(), utf8.size())));
}

void ContainerWriter::AddResource(std::string_view type, std::string_view name,
                                  std::span<const std::byte> bytes) {
    Add(ResourceEntryName(type, name), bytes);
}

void ContainerWriter::Finish() {
    const std::vector<std::byte> cd = CentralDirectory(entries_, written_);
    Write(cd.data(), cd.size());
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0)
        throw Failure(SystemError("Kan niet schrijven naar", path_));
}

std::uint64_t BareSize(std::span<const std::byte> file) {
    try {
        return ReadDirectory(file).start;
    } catch (const Failure&) {
        return file.size(); // no archive (or none that we could take off again)
    }
}

void AppendContainer(const std::string& programFile, const std::string& containerFile) {
    struct stat st {};
    if (::stat(programFile.c_str(), &st) != 0)
        throw Failure(SystemError("Kan bestand niet lezen", programFile));
    const MappedFile program(programFile);
    const std::uint64_t keep = BareSize(program.Bytes());
    const MappedFile container(containerFile);
    const Directory dir = ReadDirectory(container.Bytes());
    std::vector<Entry> entries = InFileOrder(dir);

    // Written beside the program and renamed over it, so that a failure leaves it whole.
    const std::string temp = programFile + ".payload-tmp";
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0)
        throw Failure(SystemError("Kan bestand niet maken", temp));
    try {
        WriteAll(out, program.Bytes().data(), keep, temp);
        // Each entry again, local header and data, checked on the way and moved to its place.
        std::uint64_t at = keep;
        for (Entry& e : entries) {
            const std::span<const std::byte> data = EntryData(container.Bytes(), e);
            e.header = at;
            const std::vector<std::byte> local = LocalHeader(e);
            WriteAll(out, local.data(), local.size(), temp);
            WriteAll(out, data.data(), data.size(), temp);
            at += local.size() + data.size();
        }
        const std::vector<std::byte> cd = CentralDirectory(entries, at);
        WriteAll(out, cd.data(), cd.size(), temp);
        const int fd = out;
        out = -1;
        if (::close(fd) != 0)
            throw Failure(SystemError("Kan niet schrijven naar", temp));
        if (::rename(temp.c_str(), programFile.c_str()) != 0)
            throw Failure(SystemError("Kan bestand niet vervangen", programFile));
    } catch (...) {
        if (out >= 0)
            ::close(out);
        ::unlink(temp.c_str());
        throw;
    }
}

} // namespace kw::payload
