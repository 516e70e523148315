// The fault seam of the writer's tests: the real file system, with the writer stopped (as by a
// crash) or one operation failed (as by a full disk) after its k-th write, flush, rename or
// removal.
#pragma once

#include "db/jet/FileSystem.h"

namespace kw::jet::test {

class FaultyFileSystem final : public FileSystem {
public:
    enum class Fault {
        Stop, // every counted operation after the k-th fails, as if the process had died
        Fail, // only the operation after the k-th fails, as on a full disk
    };

    explicit FaultyFileSystem(FileSystem& real = FileSystem::System()) : real_(real) {}

    /// Faults the operation after `okCount` more counted ones; disarmed by a negative count.
    void Arm(int okCount, Fault fault) {
        left_ = okCount;
        fault_ = fault;
        fired_ = false;
    }
    bool Fired() const { return fired_; }
    /// Counted operations so far: writes, flushes, creations, renames and removals.
    int Operations() const { return operations_; }

    /// Counts one operation; raises JetError when it is to fault.
    void Count(const char* what);

    std::string Resolve(const std::string& path) override { return real_.Resolve(path); }
    std::unique_ptr<PageFile> OpenForReading(const std::string& path) override {
        return real_.OpenForReading(path);
    }
    std::unique_ptr<File> CreateLike(const std::string& path, const std::string& like) override;
    void Rename(const std::string& from, const std::string& to) override {
        Count("rename");
        real_.Rename(from, to);
    }
    void Remove(const std::string& path) override {
        Count("remove");
        real_.Remove(path);
    }
    void SyncFolder(const std::string& path) override {
        Count("folder flush");
        real_.SyncFolder(path);
    }
    bool Exists(const std::string& path) override { return real_.Exists(path); }
    std::uint64_t Names(const std::string& path) override { return real_.Names(path); }
    std::unique_ptr<Lock> LockForWriting(const std::string& lockPath,
                                         const std::string& dataPath) override {
        return real_.LockForWriting(lockPath, dataPath);
    }

private:
    FileSystem& real_;
    int left_ = -1;
    Fault fault_ = Fault::Stop;
    bool fired_ = false;
    int operations_ = 0;
};

} // namespace kw::jet::test
