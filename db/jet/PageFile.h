// The file seam of the Access library: a database file seen as bytes at positions. Reading is all
// a reader needs; a writer adds positional writes, sync, locking and renaming as further virtual
// members here without changing the readers. The platform half is PageFile_posix.cpp.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace kw::jet {

class PageFile {
public:
    virtual ~PageFile() = default;

    /// The file's size in bytes.
    virtual std::uint64_t Size() const = 0;

    /// Fills `out` with the bytes at `offset`. Raises JetError when they can't all be read.
    virtual void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;

    /// Page `number` (of `pageSize` bytes) when the file keeps its pages in memory itself, as a
    /// writer's open transaction does; null otherwise. A cache hands such pages out as they are
    /// and keeps no copy of them, which could go stale when the writer changes them.
    virtual std::shared_ptr<const std::vector<std::uint8_t>> HeldPage(std::uint32_t number,
                                                                      std::size_t pageSize) const;

    /// Opens the file at `path` for reading. Raises JetError when it can't be opened.
    static std::unique_ptr<PageFile> OpenForReading(const std::string& path);

    /// A file held in memory (damaged copies in tests, fuzzing).
    static std::unique_ptr<PageFile> InMemory(std::vector<std::uint8_t> bytes);
};

/// One page's bytes, shared so that an evicted page stays valid for whoever still holds it.
using PageRef = std::shared_ptr<const std::vector<std::uint8_t>>;

/// Keeps the most recently used pages; memory is bounded by `capacity` pages whatever the file's
/// size.
class PageCache {
public:
    PageCache(const PageFile& file, std::size_t pageSize, std::size_t capacity);

    /// Page `number`. Raises JetError when it lies beyond the end of the file.
    PageRef Get(std::uint32_t number);

    /// The file's pages, counted anew: a writer's file grows.
    std::uint32_t PageCount() const { return static_cast<std::uint32_t>(file_.Size() / pageSize_); }
    std::size_t PageSize() const { return pageSize_; }

private:
    const PageFile& file_;
    std::size_t pageSize_;
    std::size_t capacity_;
    std::list<std::pair<std::uint32_t, PageRef>> recent_; // most recent first
    std::unordered_map<std::uint32_t, decltype(recent_)::iterator> where_;
};

} // namespace kw::jet
