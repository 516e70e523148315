// The payload container: a ZIP archive whose entries are all stored (not compressed), either a
// file of its own or appended to the program file with its offsets counted from the start of
// the program file, so that `unzip -l` lists the program file and `unzip -t` checks it.
//
// Entry names: "STRING/<id>" for the catalogue text with that id (UTF-8), "<TYPE>/<name>" for a
// blob ("BLOB/P_1173"). Names are looked up without regard to letter case, as resource names are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw::payload {

/// CRC-32 (the polynomial of ZIP and PNG), continued from `crc` (0 to start).
std::uint32_t Crc32(std::span<const std::byte> bytes, std::uint32_t crc = 0);

/// A file mapped into memory for reading, so that its entries are used where they lie. Pages
/// that have been read can be given back; the kernel reads them in again should they be needed.
class MappedFile {
public:
    /// Maps the whole file. Raises kw::Failure when it can't be opened or mapped.
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const std::byte> Bytes() const { return {data_, size_}; }
    /// Maps the pages that hold `part` (a part of Bytes()) in one go, ahead of reading them.
    void Populate(std::span<const std::byte> part) const;
    /// Drops the pages that hold `part` (a part of Bytes()) from this process's memory.
    void Release(std::span<const std::byte> part) const;

private:
    const std::byte* data_ = nullptr;
    std::size_t size_ = 0;
};

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

/// Writes an archive of stored entries. Entry data goes to the file as it is added, so a writer
/// holds no more than one entry in memory; Finish adds the central directory.
class ContainerWriter {
public:
    /// Starts the file at path, replacing it. Raises kw::Failure when it can't be written.
    explicit ContainerWriter(const std::string& path);
    ~ContainerWriter();
    ContainerWriter(const ContainerWriter&) = delete;
    ContainerWriter& operator=(const ContainerWriter&) = delete;

    /// Adds an entry; a second entry of the same name (letter case aside) raises kw::Failure.
    void Add(std::string_view name, std::span<const std::byte> data);
    void AddString(std::int32_t id, std::string_view utf8);
    void AddResource(std::string_view type, std::string_view name,
                     std::span<const std::byte> bytes);
    /// Writes the central directory and closes the file. Raises kw::Failure.
    void Finish();

private:
    void Write(const void* data, std::size_t size);

    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;
    std::vector<Entry> entries_;
    std::map<std::string, bool> keys_;
};

/// The program file's size without the archive that ends it (its whole size without one).
std::uint64_t BareSize(std::span<const std::byte> file);

/// Puts the archive in containerFile at the end of programFile, in place of one that it carries
/// already (appending twice leaves one), with its offsets counted from the start of the program
/// file. The program file is replaced in one rename, so a failure leaves it as it was. Raises
/// kw::Failure.
void AppendContainer(const std::string& programFile, const std::string& containerFile);

} // namespace kw::payload
