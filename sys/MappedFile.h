// A file mapped into memory for reading, behind its platform half.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace kw {

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

} // namespace kw
