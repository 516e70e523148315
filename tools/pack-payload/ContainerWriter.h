// Writing the payload container (see payload/Container.h for its format): a container file of
// its own, and the container put at the end of a program file. Build-time only: the program
// reads its payload and never writes one.
#pragma once

#include "payload/Container.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw::payload {

/// A file written from the start, raising kw::Failure naming it when a write fails.
class OutputFile {
public:
    /// Creates the file at path, replacing it. Raises kw::Failure when it can't.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::span<const std::byte> data);
    /// Closes the file; raises kw::Failure when what was written could not be kept.
    void Close();

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

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
    void Write(std::span<const std::byte> data);

    OutputFile file_;
    std::uint64_t written_ = 0;
    std::vector<Entry> entries_;
    std::map<std::string, bool> keys_;
};

/// Puts the archive in containerFile at the end of programFile, in place of one that it carries
/// already (appending twice leaves one), with its offsets counted from the start of the program
/// file. The program file is replaced in one rename, so a failure leaves it as it was. Raises
/// kw::Failure.
void AppendContainer(const std::string& programFile, const std::string& containerFile);

} // namespace kw::payload
