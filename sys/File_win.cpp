// Windows has share modes: a file created here is opened with share mode 0, so no other program
// can open it while it is written, and an open for reading fails on a file that another program
// writes. Byte-range locks keep two cooperating writers apart as flock does on POSIX.
//
// Unlike POSIX, Windows can't replace or remove a name while a program holds the file open. On
// POSIX a hold stays on the old file and no longer concerns the name once it is replaced or
// removed; here a file that this process holds (OpenExisting) is let go when this process
// replaces or removes its name, which gives the same outcome. Handles are therefore numbers of
// this seam's own, never reused, so that a hold let go early is closed exactly once.
#include "sys/File.h"

#include "sys/CodePage.h"

#include <map>
#include <windows.h>

namespace kw {

namespace {

struct Open {
    HANDLE handle;
    std::string fullPath; ///< for a hold: the full path, to be let go with its name
};

// The name as the system resolves it, to compare two ways of writing it.
std::string FullPath(const std::string& path) {
    const std::string narrow = ToSystemText(path);
    char full[MAX_PATH * 4];
    const DWORD n = ::GetFullPathNameA(narrow.c_str(), sizeof full, full, nullptr);
    std::string text = n > 0 && n < sizeof full ? std::string(full, n) : narrow;
    ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

class WindowsFiles final : public FileApi {
public:
    FileHandle CreateNew(const std::string& path) override {
        // CREATE_NEW, not CREATE_ALWAYS: the caller removed the name just before, and whatever
        // has taken it since (a link, say) must never be emptied or written through.
        return Add(::CreateFileA(ToSystemText(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr),
                   {});
    }

    FileHandle OpenExisting(const std::string& path) override {
        // Sharing deletion lets this process rename or remove the name while it holds the file;
        // not sharing writing makes the open fail on a file that another program writes.
        HANDLE h = ::CreateFileA(ToSystemText(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return kInvalidFile;
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
            ::CloseHandle(h);
            return kInvalidFile;
        }
        return Add(h, FullPath(path));
    }

    bool Lock(FileHandle file) override {
        OVERLAPPED whole{};
        if (::LockFileEx(HandleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                         MAXDWORD, MAXDWORD, &whole))
            return true;
        // Only another opener's lock counts, as on POSIX.
        return ::GetLastError() != ERROR_LOCK_VIOLATION;
    }

    bool TakeFolderOwner(FileHandle, const std::string&) override {
        // A new file inherits the folder's permissions; Windows has no owner to hand over.
        return true;
    }

    std::int64_t Write(FileHandle file, const void* data, std::size_t size) override {
        DWORD written = 0;
        if (!::WriteFile(HandleOf(file), data, static_cast<DWORD>(size), &written, nullptr))
            return -1;
        return written;
    }

    bool Close(FileHandle file) override {
        const auto it = open_.find(file);
        if (it == open_.end())
            return false;
        const HANDLE handle = it->second.handle;
        open_.erase(it);
        return handle == nullptr || ::CloseHandle(handle) != 0;
    }

    bool Remove(const std::string& path) override {
        LetGo(path);
        return ::DeleteFileA(ToSystemText(path).c_str()) != 0;
    }

    bool Rename(const std::string& from, const std::string& to) override {
        LetGo(to);
        return ::MoveFileExA(ToSystemText(from).c_str(), ToSystemText(to).c_str(),
                             MOVEFILE_REPLACE_EXISTING) != 0;
    }

    FileKind Kind(const std::string& path) override {
        const DWORD attributes = ::GetFileAttributesA(ToSystemText(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? FileKind::Missing
                       : FileKind::Unknown;
        }
        return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                             FILE_ATTRIBUTE_DEVICE)
                   ? FileKind::Other
                   : FileKind::Ordinary;
    }

    bool IsOrdinaryFile(const std::string& path) override {
        const DWORD attributes = ::GetFileAttributesA(ToSystemText(path).c_str());
        // As a directory search with normal attributes only finds it: a hidden or system file
        // doesn't count.
        return attributes != INVALID_FILE_ATTRIBUTES &&
               !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE |
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    }

private:
    FileHandle Add(HANDLE handle, std::string fullPath) {
        if (handle == INVALID_HANDLE_VALUE)
            return kInvalidFile;
        open_.emplace(++last_, Open{handle, std::move(fullPath)});
        return last_;
    }

    HANDLE HandleOf(FileHandle file) const {
        const auto it = open_.find(file);
        return it == open_.end() || it->second.handle == nullptr ? INVALID_HANDLE_VALUE
                                                                 : it->second.handle;
    }

    /// Closes this process's holds on the name; their numbers stay until Close.
    void LetGo(const std::string& path) {
        const std::string full = FullPath(path);
        for (auto& [number, open] : open_)
            if (open.handle != nullptr && !open.fullPath.empty() && open.fullPath == full) {
                ::CloseHandle(open.handle);
                open.handle = nullptr;
            }
    }

    std::map<FileHandle, Open> open_; // one thread: the program's
    FileHandle last_ = 0;
};

} // namespace

FileApi& SystemFiles() {
    // Never destroyed: the log's end record may be written while the program's statics are
    // being destroyed, and it needs these.
    static WindowsFiles* files = new WindowsFiles;
    return *files;
}

} // namespace kw
