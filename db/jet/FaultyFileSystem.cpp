#include "db/jet/FaultyFileSystem.h"

#include "db/jet/JetError.h"

namespace kw::jet::test {

namespace {

class FaultyFile final : public File {
public:
    FaultyFile(std::unique_ptr<File> real, FaultyFileSystem& files)
        : real_(std::move(real)), files_(files) {}
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        files_.Count("write");
        real_->WriteAt(offset, bytes);
    }
    void Sync() override {
        files_.Count("flush");
        real_->Sync();
    }

private:
    std::unique_ptr<File> real_;
    FaultyFileSystem& files_;
};

} // namespace

void FaultyFileSystem::Count(const char* what) {
    ++operations_;
    const bool stopped = fired_ && fault_ == Fault::Stop;
    if (!stopped && left_-- != 0)
        return;
    fired_ = true;
    throw JetError(std::string("injected fault at the ") + what + " (" +
                   (fault_ == Fault::Stop ? "stopped" : "No space left on device") + ")");
}

std::unique_ptr<File> FaultyFileSystem::CreateLike(const std::string& path,
                                                   const std::string& like) {
    Count("creation");
    return std::make_unique<FaultyFile>(real_.CreateLike(path, like), *this);
}

} // namespace kw::jet::test
