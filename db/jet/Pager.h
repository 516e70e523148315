// Changing an Access database file page by page, all or nothing.
//
// Crash safety. The database file is never written where it lies. A transaction collects its
// changed and added pages in memory; Commit writes the whole database, old pages and changed ones,
// into a new file beside it ("<file>.kwastor-new", with the owner, group and permissions of the
// database), flushes that file to the disk, renames it over the database in one step and flushes
// the folder. Up to the rename every reader (Access, mdb-export, mdb-reader, this engine) finds
// the old file untouched; from the rename on it finds the new one, complete. So at no instant does
// any program see half a change, which a journal of our own could not promise: the other readers
// know nothing of such a journal and would read a half-written file before it was mended. A
// process killed before the rename leaves only the new copy, which the next writer removes; a full
// disk makes Commit fail with the database as it was. The price is that each commit writes the
// whole file, which for the databases this engine serves (well under a megabyte) costs less than
// the flushes that any safe commit needs. A rename would part the database from its other hard
// links, so a file with more than one name is refused before anything changes; a symbolic link
// is followed, and the engine works on the file it names, never on the link.
//
// Concurrency. While a Pager lives it holds a lock over the whole of the database's Access lock
// file ("<name>.ldb" beside it, made when missing and removed again when this writer made it):
// a second writer, and Access itself, which locks bytes of that file while it has the database
// open, are kept apart from it. A database whose lock file or file is locked by another program
// is refused before anything is read or written.
#pragma once

#include "db/jet/FileSystem.h"
#include "db/jet/PageFile.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kw::jet {

class Pager {
public:
    /// Opens the database at `path` for writing, with pages of `pageSize` bytes. Raises JetError
    /// when another program or writer holds the database, or the file can't be read or isn't made
    /// of whole pages. Removes the new copy that a commit cut short has left.
    static std::unique_ptr<Pager> Open(const std::string& path, std::size_t pageSize,
                                       FileSystem& files = FileSystem::System(),
                                       std::size_t cachePages = 256);
    /// Rolls back an open transaction and releases the lock.
    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    std::size_t PageSize() const { return pageSize_; }
    /// Pages in the database, with those that the open transaction added.
    std::uint32_t PageCount() const { return pageCount_; }
    /// Page `number` as the open transaction sees it. Raises JetError beyond the last page.
    PageRef Read(std::uint32_t number);

    void Begin();
    bool InTransaction() const { return inTransaction_; }
    /// The bytes of page `number` to change in the open transaction; valid until the next call of
    /// the Pager. Pages handed out by Read before keep their contents.
    std::span<std::uint8_t> Change(std::uint32_t number);
    /// Adds a page of zeros at the end in the open transaction; returns its number.
    std::uint32_t Grow();
    /// Makes the open transaction's changes the database's. On failure (a full disk, a file that
    /// can't be replaced) raises JetError with the transaction rolled back and the file as it was.
    void Commit();
    /// Forgets the open transaction's changes.
    void Rollback();

    /// A point inside the open transaction to roll back to, so that a failed statement leaves
    /// the statements before it in the transaction. Points nest; each ends, innermost first, by
    /// RollbackTo or Release (or with the transaction).
    struct Savepoint {
        std::size_t undo = 0;
        std::uint32_t pageCount = 0;
    };
    Savepoint Mark();
    /// Undoes the changes made since `point`, which ends.
    void RollbackTo(Savepoint point);
    /// Ends `point`, keeping the changes made since.
    void Release(Savepoint point);

    /// The database's path and the paths of its new copy and its lock file.
    const std::string& Path() const { return path_; }
    static std::string NewCopyPath(const std::string& path);
    static std::string LockFilePath(const std::string& path);

private:
    Pager(FileSystem& files, std::string path, std::size_t pageSize, std::size_t cachePages);
    void OpenFile(std::unique_ptr<PageFile> file);
    void WriteCopy(File& copy);
    void RequireTransaction() const;

    FileSystem& files_;
    std::string path_;
    std::size_t pageSize_;
    std::size_t cachePages_;
    std::unique_ptr<Lock> lock_;
    std::unique_ptr<PageFile> file_;
    std::unique_ptr<PageCache> cache_;
    bool inTransaction_ = false;
    void EndTransaction();

    // A changed page, and the savepoint generation it was copied in: a page copied after the
    // innermost open savepoint was taken may change in place.
    struct Changed {
        std::shared_ptr<std::vector<std::uint8_t>> page;
        std::uint64_t since = 0;
    };
    std::map<std::uint32_t, Changed> changed_;
    // While savepoints are open: each changed page as it was before (null: not yet changed), in
    // the order of the changes, so that rolling back costs what the statement changed.
    std::vector<std::pair<std::uint32_t, std::shared_ptr<std::vector<std::uint8_t>>>> undo_;
    std::vector<std::uint64_t> marks_; // the open savepoints' generations, innermost last
    std::uint64_t generation_ = 0;
    std::uint32_t pageCount_ = 0;
};

} // namespace kw::jet
