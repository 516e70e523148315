#include "db/jet/Pager.h"

#include "db/jet/JetError.h"

#include <algorithm>
#include <cstring>

namespace kw::jet {

namespace {

// Pages copied per write when the new copy is made: 16 (64 kB in Jet 4) keeps the buffer small
// beside the program (a run of 256 kB raised the database mode's peak memory above the SQLite
// one's).
constexpr std::uint32_t kCopyRun = 16;

} // namespace

std::string Pager::NewCopyPath(const std::string& path) {
    return path + ".kwastor-new";
}

std::string Pager::LockFilePath(const std::string& path) {
    // Access names its lock file after the database with the extension replaced.
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? path.substr(0, dot) : path) + ".ldb";
}

Pager::Pager(FileSystem& files, std::string path, std::size_t pageSize, std::size_t cachePages)
    : files_(files), path_(std::move(path)), pageSize_(pageSize), cachePages_(cachePages) {}

std::unique_ptr<Pager> Pager::Open(const std::string& path, std::size_t pageSize, FileSystem& files,
                                   std::size_t cachePages) {
    std::unique_ptr<Pager> pager(new Pager(files, files.Resolve(path), pageSize, cachePages));
    pager->lock_ = files.LockForWriting(LockFilePath(pager->path_), pager->path_);
    if (!pager->lock_)
        throw JetError("The database \"" + path +
                       "\" is in use by another program (its lock file \"" +
                       LockFilePath(pager->path_) +
                       "\" or the file itself is locked). Close that program and try again.");
    // A commit replaces the file under this name; another name of it would go on showing the old
    // contents, a second database that nobody asked for.
    if (const std::uint64_t names = files.Names(pager->path_); names > 1)
        throw JetError("The database \"" + path + "\" has " + std::to_string(names) +
                       " names (hard links); a change would reach only this one while the "
                       "others kept the old contents. Give it one name and try again; nothing "
                       "was changed.");
    // Only a commit cut short leaves a new copy; it never replaced the database, so it goes.
    files.Remove(NewCopyPath(pager->path_));
    std::unique_ptr<PageFile> file = files.OpenForReading(pager->path_);
    if (file->Size() == 0 || file->Size() % pageSize != 0)
        throw JetError("The database file \"" + path + "\" is not made of whole pages of " +
                       std::to_string(pageSize) + " bytes: it is truncated or damaged.");
    pager->OpenFile(std::move(file));
    return pager;
}

Pager::~Pager() = default;

void Pager::OpenFile(std::unique_ptr<PageFile> file) {
    // A fresh cache: the pages that a commit didn't change read the same from the new file.
    cache_ = std::make_unique<PageCache>(*file, pageSize_, cachePages_);
    file_ = std::move(file);
    pageCount_ = static_cast<std::uint32_t>(file_->Size() / pageSize_);
}

PageRef Pager::Read(std::uint32_t number) {
    if (const auto it = changed_.find(number); it != changed_.end())
        return it->second.page;
    if (number >= pageCount_)
        throw JetError("The database refers to page " + std::to_string(number) +
                       ", beyond its last page: the file is damaged.");
    return cache_->Get(number);
}

void Pager::RequireTransaction() const {
    if (!inTransaction_)
        throw JetError("The database can only be changed inside a transaction.");
}

void Pager::Begin() {
    if (inTransaction_)
        throw JetError("A transaction is already open on this database.");
    inTransaction_ = true;
}

std::span<std::uint8_t> Pager::Change(std::uint32_t number) {
    RequireTransaction();
    // Copy on write: a reader's PageRef may still hold the page, or a savepoint need it as it
    // was.
    const auto it = changed_.find(number);
    if (it != changed_.end() && it->second.page.use_count() == 1 &&
        (marks_.empty() || it->second.since >= marks_.back()))
        return *it->second.page;
    auto copy = std::make_shared<std::vector<std::uint8_t>>(*Read(number));
    if (!marks_.empty())
        undo_.emplace_back(number, it != changed_.end() ? it->second.page : nullptr);
    changed_[number] = {copy, generation_};
    return *copy;
}

std::uint32_t Pager::Grow() {
    RequireTransaction();
    const std::uint32_t number = pageCount_++;
    if (!marks_.empty())
        undo_.emplace_back(number, nullptr);
    changed_[number] = {std::make_shared<std::vector<std::uint8_t>>(pageSize_, 0), generation_};
    return number;
}

Pager::Savepoint Pager::Mark() {
    RequireTransaction();
    marks_.push_back(++generation_);
    return {undo_.size(), pageCount_};
}

void Pager::RollbackTo(Savepoint point) {
    RequireTransaction();
    for (; undo_.size() > point.undo; undo_.pop_back()) {
        auto& [number, before] = undo_.back();
        if (before)
            changed_[number] = {std::move(before), 0};
        else
            changed_.erase(number);
    }
    pageCount_ = point.pageCount;
    Release(point);
}

void Pager::Release(Savepoint) {
    RequireTransaction();
    if (!marks_.empty())
        marks_.pop_back();
    if (marks_.empty())
        undo_.clear();
}

void Pager::EndTransaction() {
    changed_.clear();
    undo_.clear();
    marks_.clear();
    inTransaction_ = false;
}

void Pager::Rollback() {
    EndTransaction();
    pageCount_ = static_cast<std::uint32_t>(file_->Size() / pageSize_);
}

void Pager::WriteCopy(File& copy) {
    std::vector<std::uint8_t> run;
    const std::uint32_t filePages = static_cast<std::uint32_t>(file_->Size() / pageSize_);
    for (std::uint32_t first = 0; first < pageCount_; first += kCopyRun) {
        const std::uint32_t count = std::min(kCopyRun, pageCount_ - first);
        run.assign(std::size_t{count} * pageSize_, 0);
        const std::uint32_t fromFile = first >= filePages ? 0 : std::min(count, filePages - first);
        file_->ReadAt(std::uint64_t{first} * pageSize_,
                      std::span(run).first(std::size_t{fromFile} * pageSize_));
        for (auto it = changed_.lower_bound(first);
             it != changed_.end() && it->first < first + count; ++it)
            std::memcpy(run.data() + std::size_t{it->first - first} * pageSize_,
                        it->second.page->data(), pageSize_);
        copy.WriteAt(std::uint64_t{first} * pageSize_, run);
    }
    copy.Sync();
}

void Pager::Commit() {
    RequireTransaction();
    if (changed_.empty()) {
        EndTransaction();
        return;
    }
    const std::string copyPath = NewCopyPath(path_);
    std::unique_ptr<PageFile> written;
    try {
        std::unique_ptr<File> copy = files_.CreateLike(copyPath, path_);
        WriteCopy(*copy);
        // Opened before the rename, so that nothing can fail once the copy is the database.
        written = files_.OpenForReading(copyPath);
        files_.Rename(copyPath, path_);
    } catch (const JetError& e) {
        written.reset();
        try {
            files_.Remove(copyPath);
        } catch (const JetError&) {
            // The next writer removes it; the database itself is untouched either way.
        }
        Rollback();
        throw JetError(std::string("The change was not saved; the database is as it was. ") +
                       e.what());
    }
    OpenFile(std::move(written));
    EndTransaction();
    try {
        files_.SyncFolder(path_);
    } catch (const JetError&) {
        // Every reader already sees the new file; a folder that can't be flushed only leaves
        // the rename to the system's own flush, as for every other program's files.
    }
}

} // namespace kw::jet
