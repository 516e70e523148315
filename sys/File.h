// The file operations that the log and the file installation need, behind one seam.
// Tests replace the seam to inject faults: any call can be made to fail (test::FaultyFiles).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kw {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

/// What a name is, without following a link.
enum class FileKind {
    Missing,  // nothing has this name
    Ordinary, // an ordinary file
    Other,    // a folder, a link, a FIFO, a device or a socket
    Unknown,  // the name could not be looked at
};

class FileApi {
public:
    virtual ~FileApi() = default;
    /// Creates a new file for writing only, with mode 0644 whatever the umask. Fails, creating
    /// nothing, when anything has the name already (a link is never followed) or the folder
    /// can't be written.
    virtual FileHandle CreateNew(const std::string& path) = 0;
    /// Creates a file without a name in `folder` (ending with a separator), for writing only,
    /// with mode 0644 whatever the umask; Name gives it its name once it is written, and until
    /// then no name shows it and a crash leaves nothing behind. kInvalidFile where the system or
    /// the folder's file system has no such files, or the folder can't be written: CreateNew
    /// serves then.
    virtual FileHandle CreateUnnamed(const std::string& /*folder*/) { return kInvalidFile; }
    /// Gives a file made by CreateUnnamed the name `path`, in its folder. Fails, changing
    /// nothing, when anything has that name already (a link is never followed) or it can't.
    virtual bool Name(FileHandle /*file*/, const std::string& /*path*/) { return false; }
    /// Opens an existing ordinary file for reading, never through a link and never waiting (a
    /// FIFO or device is refused). kInvalidFile when it can't.
    virtual FileHandle OpenExisting(const std::string& path) = 0;
    /// Takes an exclusive lock on the open file without waiting; false when another opener
    /// holds one. POSIX has no share modes: the lock keeps two cooperating writers apart (where
    /// the file system has no locks, nothing is held and the answer is true).
    virtual bool Lock(FileHandle file) = 0;
    /// When running as the superuser, gives the file the owner and group of the folder, so that
    /// the installation's owner can use it; elsewhere does nothing. False when it can't.
    virtual bool TakeFolderOwner(FileHandle file, const std::string& folder) = 0;
    /// One write call. Returns the bytes written (possibly fewer than asked), or -1 on failure.
    virtual std::int64_t Write(FileHandle file, const void* data, std::size_t size) = 0;
    /// Closes the file; false when the system reports a failure (the handle is gone either way).
    virtual bool Close(FileHandle file) = 0;
    /// Deletes a name (a link itself, never its target); false when it can't.
    virtual bool Remove(const std::string& path) = 0;
    /// Renames a file, replacing what has the new name (unless that is a folder); false when it
    /// can't.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    /// What the name is, without following a link.
    virtual FileKind Kind(const std::string& path) = 0;
    /// True when path names an existing ordinary file (not a folder), following links.
    virtual bool IsOrdinaryFile(const std::string& path) = 0;
    /// Between these two, many files are created in the same few folders, and what the platform
    /// looks up for each of them that stays the same meanwhile (a folder's owner, the file mode
    /// that a new file gets) may be looked up once.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}
};

/// One batch (FileApi::BeginBatch) for as long as the object lives.
class FileBatch {
public:
    explicit FileBatch(FileApi& files) : files_(files) { files_.BeginBatch(); }
    ~FileBatch() { files_.EndBatch(); }
    FileBatch(const FileBatch&) = delete;
    FileBatch& operator=(const FileBatch&) = delete;

private:
    FileApi& files_;
};

/// An existing ordinary file opened and locked for as long as the object lives, so that no other
/// cooperating writer starts on it meanwhile.
class LockedFile {
public:
    explicit LockedFile(FileApi& files) : files_(files) {}
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    /// Opens and locks the file; false when it can't be opened or another opener holds a lock.
    bool Take(const std::string& path);
    /// Whether Take could open the file (whether or not it got the lock).
    bool Opened() const { return handle_ != kInvalidFile; }

private:
    FileApi& files_;
    FileHandle handle_ = kInvalidFile;
};

/// The platform's file operations.
FileApi& SystemFiles();

/// The file operations in use: the platform's, unless a test has put others in place.
FileApi& Files();

/// Puts other file operations in place (nullptr restores the platform's). For tests.
void SetFiles(FileApi* files);

} // namespace kw
