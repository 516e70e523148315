#include "db/jet/FileSystem.h"

#include "db/jet/JetError.h"
#include "sys/CodePage.h"
#include "sys/WinError.h"

#include <windows.h>

namespace kw::jet {

namespace {

std::string SystemError() {
    return WindowsErrorText(::GetLastError());
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Native(const std::string& path) {
    return ToSystemText(path);
}

class WindowsFile final : public File {
public:
    WindowsFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
    ~WindowsFile() override { ::CloseHandle(file_); }
    WindowsFile(const WindowsFile&) = delete;
    WindowsFile& operator=(const WindowsFile&) = delete;

    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            OVERLAPPED at{};
            const std::uint64_t position = offset + done;
            at.Offset = static_cast<DWORD>(position);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            DWORD n = 0;
            const BOOL ok = ::WriteFile(file_, bytes.data() + done,
                                        static_cast<DWORD>(bytes.size() - done), &n, &at);
            if (!ok || n == 0)
                throw JetError("The file " + Quoted(path_) + " can't be written: " +
                               (ok ? std::string("nothing was written") : SystemError()) + ".");
            done += n;
        }
    }

    void Sync() override {
        if (!::FlushFileBuffers(file_))
            throw JetError("The file " + Quoted(path_) +
                           " can't be flushed to the disk: " + SystemError() + ".");
    }

private:
    HANDLE file_;
    std::string path_;
};

class WindowsLock final : public Lock {
public:
    WindowsLock(HANDLE file, std::string madePath) : file_(file), madePath_(std::move(madePath)) {}
    ~WindowsLock() override {
        // Deleted while still open and locked: the name goes when the handle is closed, and a
        // writer that tries to open it meanwhile is refused rather than sharing it.
        if (!madePath_.empty())
            ::DeleteFileA(Native(madePath_).c_str());
        ::CloseHandle(file_);
    }
    WindowsLock(const WindowsLock&) = delete;
    WindowsLock& operator=(const WindowsLock&) = delete;

private:
    HANDLE file_;
    std::string madePath_;
};

bool LockWhole(HANDLE file) {
    OVERLAPPED whole{};
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                        MAXDWORD, &whole) != 0;
}

// Whether another program has the database open for writing (Access opens it so, sharing it
// with other Access users) or holds a lock on some part of it.
bool LockedByOther(const std::string& path) {
    HANDLE file =
        ::CreateFileA(Native(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_SHARING_VIOLATION)
            return true;
        throw JetError("The database file " + Quoted(path) + " can't be opened: " + SystemError() +
                       ".");
    }
    const bool locked = !LockWhole(file);
    const DWORD error = ::GetLastError();
    ::CloseHandle(file); // releases the probe's lock
    if (locked && error != ERROR_LOCK_VIOLATION) {
        ::SetLastError(error);
        throw JetError("The locks on the database file " + Quoted(path) +
                       " can't be examined: " + SystemError() + ".");
    }
    return locked;
}

class WindowsFileSystem final : public FileSystem {
public:
    std::string Resolve(const std::string& path) override {
        HANDLE file = ::CreateFileA(Native(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            throw JetError("The database file " + Quoted(path) +
                           " can't be found: " + SystemError() + ".");
        char resolved[MAX_PATH * 4] = {};
        const DWORD n = ::GetFinalPathNameByHandleA(file, resolved, sizeof resolved,
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        const DWORD error = ::GetLastError();
        ::CloseHandle(file);
        if (n == 0 || n >= sizeof resolved) {
            ::SetLastError(error);
            throw JetError("The database file " + Quoted(path) +
                           " can't be found: " + SystemError() + ".");
        }
        std::string text(resolved, n);
        // The system answers in its long form, \\?\C:\...; the ordinary calls take C:\....
        if (text.starts_with("\\\\?\\UNC\\"))
            text.replace(0, 8, "\\\\");
        else if (text.starts_with("\\\\?\\"))
            text.erase(0, 4);
        return FromSystemText(text);
    }

    std::unique_ptr<PageFile> OpenForReading(const std::string& path) override {
        return PageFile::OpenForReading(path);
    }

    std::unique_ptr<File> CreateLike(const std::string& path, const std::string& like) override {
        const DWORD attributes = ::GetFileAttributesA(Native(like).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            throw JetError("The database file " + Quoted(like) +
                           " can't be examined: " + SystemError() + ".");
        // The new file takes the folder's permissions, as the database did when it was made;
        // it is read while it is written (to open it before the rename), and renamed.
        HANDLE file = ::CreateFileA(Native(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    (attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                                        FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
        if (file == INVALID_HANDLE_VALUE)
            throw JetError("The new copy of the database, " + Quoted(path) +
                           ", can't be made: " + SystemError() + ".");
        return std::make_unique<WindowsFile>(file, path);
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (!::MoveFileExA(Native(from).c_str(), Native(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw JetError("The new copy of the database can't replace " + Quoted(to) + ": " +
                           SystemError() + ".");
    }

    void Remove(const std::string& path) override {
        if (!::DeleteFileA(Native(path).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND &&
            ::GetLastError() != ERROR_PATH_NOT_FOUND)
            throw JetError("The file " + Quoted(path) + " can't be removed: " + SystemError() +
                           ".");
    }

    void SyncFolder(const std::string&) override {
        // A rename is written through (MOVEFILE_WRITE_THROUGH) and the file system journals its
        // folders: there is no folder to flush on Windows.
    }

    bool Exists(const std::string& path) override {
        return ::GetFileAttributesA(Native(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::unique_ptr<Lock> LockForWriting(const std::string& lockPath,
                                         const std::string& dataPath) override {
        // A few rounds: a lock file that its maker is removing can't be opened until it is gone.
        for (int round = 0; round < 8; ++round) {
            HANDLE file = ::CreateFileA(Native(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                if (::GetLastError() == ERROR_ACCESS_DENIED && Exists(lockPath)) {
                    ::Sleep(10);
                    continue;
                }
                throw JetError("The lock file " + Quoted(lockPath) +
                               " can't be opened: " + SystemError() + ".");
            }
            const bool made = ::GetLastError() != ERROR_ALREADY_EXISTS;
            if (!LockWhole(file)) {
                const DWORD error = ::GetLastError();
                ::CloseHandle(file);
                if (error == ERROR_LOCK_VIOLATION)
                    return nullptr;
                ::SetLastError(error);
                throw JetError("The lock file " + Quoted(lockPath) +
                               " can't be locked: " + SystemError() + ".");
            }
            auto held = std::make_unique<WindowsLock>(file, made ? lockPath : std::string());
            if (LockedByOther(dataPath))
                return nullptr;
            return held;
        }
        throw JetError("The lock file " + Quoted(lockPath) +
                       " keeps being replaced by another program.");
    }
};

} // namespace

FileSystem& FileSystem::System() {
    static WindowsFileSystem* system = new WindowsFileSystem;
    return *system;
}

} // namespace kw::jet
