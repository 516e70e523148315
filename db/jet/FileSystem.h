// The file operations that changing an Access database needs, behind one seam: reading and
// writing a file at positions, flushing it, renaming and removing files, and the locks that keep
// two writers apart. Tests put a fault-injecting seam in its place; the platform half is
// FileSystem_posix.cpp. Every failure raises JetError with a description for the user.
#pragma once

#include "db/jet/PageFile.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kw::jet {

/// A file open for writing.
class File {
public:
    virtual ~File() = default;
    /// Writes all of `bytes` at `offset`; raises JetError when it can't (a full disk).
    virtual void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    /// Flushes the file's contents to the disk.
    virtual void Sync() = 0;
};

/// Held while it lives; released (and a lock file this process made removed) when destroyed.
class Lock {
public:
    virtual ~Lock() = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// The path of the file itself when `path` is a symbolic link (or goes through one).
    virtual std::string Resolve(const std::string& path) = 0;
    /// Opens an existing ordinary file for reading.
    virtual std::unique_ptr<PageFile> OpenForReading(const std::string& path) = 0;
    /// Creates `path`, which must not exist, for writing, with the owner, group and permissions
    /// of the file `like`.
    virtual std::unique_ptr<File> CreateLike(const std::string& path, const std::string& like) = 0;
    /// Replaces `to` by `from` in one step: a reader sees the one or the other, never a mix.
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    /// Removes `path`; one that doesn't exist is no failure.
    virtual void Remove(const std::string& path) = 0;
    /// Flushes the folder that holds `path`, so that a rename in it survives a power cut.
    virtual void SyncFolder(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    /// How many names (hard links) the file at `path` has.
    virtual std::uint64_t Names(const std::string& path) = 0;

    /// The writer's lock: a lock over all of the lock file `lockPath` (made when missing, and
    /// then removed again when the lock is released). Returns null when another program or
    /// another writer of this one holds any lock on that file, or on the database `dataPath`.
    virtual std::unique_ptr<Lock> LockForWriting(const std::string& lockPath,
                                                 const std::string& dataPath) = 0;

    /// The real file system of the platform.
    static FileSystem& System();
};

} // namespace kw::jet
