#include "payload/Container.h"

#include "sys/Failure.h"

#include <algorithm>
#include <cstring>

namespace kw::payload {

namespace {

constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kEndSize = 22;
// A central directory larger than this is taken for damage; the real one is about 100 kB.
constexpr std::uint64_t kMaxDirectoryBytes = 64u << 20;

std::uint64_t Get(std::span<const std::byte> in, std::size_t at, int size) {
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
    return v;
}

} // namespace

void Damaged(const std::string& what) {
    throw Failure("De bron van het programma is beschadigd: " + what);
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

std::uint64_t BareSize(std::span<const std::byte> file) {
    try {
        return ReadDirectory(file).start;
    } catch (const Failure&) {
        return file.size(); // no archive (or none that we could take off again)
    }
}

} // namespace kw::payload
