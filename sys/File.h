// The file operations that the log and the file installation need, behind one seam.
// Tests replace the seam to inject faults (a failing or short write, a full disk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kw {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

class FileApi {
public:
    virtual ~FileApi() = default;
    /// Creates the file for writing only, or empties an existing one, and holds it so that no
    /// other opener shares it. Returns kInvalidFile when it can't (missing folder, no access,
    /// a folder of that name, the file held elsewhere); nothing is created then.
    virtual FileHandle CreateAlways(const std::string& path) = 0;
    /// One write call. Returns the bytes written (possibly fewer than asked), or -1 on failure.
    virtual std::int64_t Write(FileHandle file, const void* data, std::size_t size) = 0;
    /// Closes the file; a failure is ignored.
    virtual void Close(FileHandle file) = 0;
    /// Deletes a file; false when it can't.
    virtual bool Remove(const std::string& path) = 0;
    /// Renames a file; false when it can't.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    /// True when path names an existing ordinary file (not a folder).
    virtual bool IsOrdinaryFile(const std::string& path) = 0;
};

/// The platform's file operations.
FileApi& SystemFiles();

/// The file operations in use: the platform's, unless a test has put others in place.
FileApi& Files();

/// Puts other file operations in place (nullptr restores the platform's). For tests.
void SetFiles(FileApi* files);

} // namespace kw
