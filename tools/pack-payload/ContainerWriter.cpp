#include "tools/pack-payload/ContainerWriter.h"

#include "sys/Failure.h"
#include "sys/MappedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kw::payload {

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kVersionNeeded = 10;     // 1.0: stored entries only
constexpr std::uint16_t kVersionMadeBy = 0x031E; // Unix, 3.0: the attributes are a file mode
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01, so builds are alike
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint32_t kFileMode = 0100644u << 16;

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

std::vector<Entry> InFileOrder(const Directory& dir) {
    std::vector<Entry> entries;
    for (const auto& [key, e] : dir.entries)
        entries.push_back(e);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.header < b.header; });
    return entries;
}

} // namespace

OutputFile::OutputFile(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        throw Failure(SystemError("Kan bestand niet maken", path));
}

OutputFile::~OutputFile() {
    if (file_)
        std::fclose(file_);
}

void OutputFile::Write(std::span<const std::byte> data) {
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file_) != data.size())
        throw Failure(SystemError("Kan niet schrijven naar", path_));
}

void OutputFile::Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0)
        throw Failure(SystemError("Kan niet schrijven naar", path_));
}

ContainerWriter::ContainerWriter(const std::string& path) : file_(path) {}

ContainerWriter::~ContainerWriter() = default;

void ContainerWriter::Write(std::span<const std::byte> data) {
    file_.Write(data);
    written_ += data.size();
}

void ContainerWriter::Add(std::string_view name, std::span<const std::byte> data) {
    if (name.size() > 0xFFFF || data.size() >= kMax32)
        throw Failure("Bron '" + std::string(name) + "' is te groot");
    if (!keys_.emplace(EntryKey(name), true).second)
        throw Failure("Bron '" + std::string(name) + "' komt twee keer voor");
    Entry e{std::string(name), written_, data.size(), Crc32(data)};
    Write(LocalHeader(e));
    Write(data);
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
    Write(CentralDirectory(entries_, written_));
    file_.Close();
}

void AppendContainer(const std::string& programFile, const std::string& containerFile) {
    std::error_code ec;
    const fs::perms mode = fs::status(programFile, ec).permissions();
    if (ec || !fs::exists(programFile))
        throw Failure("Kan bestand niet lezen '" + programFile + "': " + ec.message());
    const MappedFile program(programFile);
    const std::uint64_t keep = BareSize(program.Bytes());
    const MappedFile container(containerFile);
    const Directory dir = ReadDirectory(container.Bytes());
    std::vector<Entry> entries = InFileOrder(dir);

    // Written beside the program and renamed over it, so that a failure leaves it whole.
    const std::string temp = programFile + ".payload-tmp";
    try {
        OutputFile out(temp);
        out.Write(program.Bytes().first(keep));
        // Each entry again, local header and data, checked on the way and moved to its place.
        std::uint64_t at = keep;
        for (Entry& e : entries) {
            const std::span<const std::byte> data = EntryData(container.Bytes(), e);
            e.header = at;
            const std::vector<std::byte> local = LocalHeader(e);
            out.Write(local);
            out.Write(data);
            at += local.size() + data.size();
        }
        out.Write(CentralDirectory(entries, at));
        out.Close();
        fs::permissions(temp, mode, ec);
        if (ec)
            throw Failure("Kan bestand niet maken '" + temp + "': " + ec.message());
        fs::rename(temp, programFile, ec);
        if (ec)
            throw Failure("Kan bestand niet vervangen '" + programFile + "': " + ec.message());
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
}

} // namespace kw::payload
