// The payload container: a ZIP archive whose entries are all stored (not compressed), either a
// file of its own or appended to the program file with its offsets counted from the start of
// the program file, so that `unzip -l` lists the program file and `unzip -t` checks it.
//
// Entry names: "STRING/<id>" for the catalogue text with that id (UTF-8), "<TYPE>/<name>" for a
// blob ("BLOB/P_1173"). Names are looked up without regard to letter case, as resource names are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace kw::payload {

/// What the reader and the packer agree on: the records' signatures, the local header's size and
/// the largest value of a 32-bit field (which stands for a ZIP64 value).
inline constexpr std::uint32_t kLocalSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::size_t kLocalSize = 30;
inline constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;

/// CRC-32 (the polynomial of ZIP and PNG), continued from `crc` (0 to start).
std::uint32_t Crc32(std::span<const std::byte> bytes, std::uint32_t crc = 0);

/// Raises kw::Failure saying that the program's payload is damaged, with what is damaged.
[[noreturn]] void Damaged(const std::string& what);

/// One entry as the central directory describes it.
struct Entry {
    std::string name;         ///< as stored
    std::uint64_t header = 0; ///< offset of its local header in the source
    std::uint64_t size = 0;   ///< bytes of data
    std::uint32_t crc = 0;    ///< CRC-32 of the data
};

/// The checked central directory of the archive that ends a source.
struct Directory {
    std::map<std::string, Entry> entries; ///< by EntryKey of the name
    std::uint64_t start = 0;              ///< where the archive begins: its first local header
    std::uint64_t offsetShift = 0;        ///< added to the stored offsets to find the entries
};

/// Entry names of a catalogue text and of a resource.
std::string StringEntryName(std::int32_t id);
std::string ResourceEntryName(std::string_view type, std::string_view name);

/// The key under which an entry is filed: its name with ASCII letters upper-cased.
std::string EntryKey(std::string_view name);

/// Finds and checks the central directory of the ZIP archive that ends the file. Raises
/// kw::Failure with a description of what is wrong when there is none, or it is damaged, or an
/// entry is compressed, split or larger than the file.
Directory ReadDirectory(std::span<const std::byte> file);

/// An entry's data where it lies in the file, after checking its local header and its CRC;
/// raises kw::Failure when either is damaged.
std::span<const std::byte> EntryData(std::span<const std::byte> file, const Entry& entry);

/// The program file's size without the archive that ends it (its whole size without one).
std::uint64_t BareSize(std::span<const std::byte> file);

} // namespace kw::payload
