#include "db/jet/PageFile.h"

#include "db/jet/JetError.h"

#include <cstring>

namespace kw::jet {

namespace {

class MemoryFile : public PageFile {
public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t Size() const override { return bytes_.size(); }

    void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
            throw JetError("The database file ends before the part being read.");
        }
        if (!out.empty()) {
            std::memcpy(out.data(), bytes_.data() + offset, out.size());
        }
    }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace

std::shared_ptr<const std::vector<std::uint8_t>> PageFile::HeldPage(std::uint32_t,
                                                                    std::size_t) const {
    return nullptr;
}

std::unique_ptr<PageFile> PageFile::InMemory(std::vector<std::uint8_t> bytes) {
    return std::make_unique<MemoryFile>(std::move(bytes));
}

PageCache::PageCache(const PageFile& file, std::size_t pageSize, std::size_t capacity)
    : file_(file), pageSize_(pageSize), capacity_(capacity < 1 ? 1 : capacity) {}

PageRef PageCache::Get(std::uint32_t number) {
    if (PageRef held = file_.HeldPage(number, pageSize_))
        return held;
    if (const auto it = where_.find(number); it != where_.end()) {
        recent_.splice(recent_.begin(), recent_, it->second);
        return it->second->second;
    }
    if (const std::uint32_t pageCount = PageCount(); number >= pageCount) {
        throw JetError("The database refers to page " + std::to_string(number) +
                       ", beyond the end of the file (" + std::to_string(pageCount) +
                       " pages): the file is truncated or damaged.");
    }
    auto page = std::make_shared<std::vector<std::uint8_t>>(pageSize_);
    file_.ReadAt(std::uint64_t{number} * pageSize_, *page);
    if (recent_.size() >= capacity_) {
        where_.erase(recent_.back().first);
        recent_.pop_back();
    }
    recent_.emplace_front(number, std::move(page));
    where_[number] = recent_.begin();
    return recent_.front().second;
}

} // namespace kw::jet
