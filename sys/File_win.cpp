// Windows has share modes: a file created here is opened with share mode 0, so no other program
// can open it while it is written, and an open for reading fails on a file that another program
// writes. Byte-range locks keep two cooperating writers apart as flock does on POSIX.
#include "sys/File.h"

#include "sys/CodePage.h"

#include <windows.h>

namespace kw {

namespace {

HANDLE ToHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle FromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(handle);
}

class WindowsFiles final : public FileApi {
public:
    FileHandle CreateNew(const std::string& path) override {
        // CREATE_NEW, not CREATE_ALWAYS: the caller removed the name just before, and whatever
        // has taken it since (a link, say) must never be emptied or written through.
        return FromHandle(::CreateFileA(ToSystemText(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
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
        return FromHandle(h);
    }

    bool Lock(FileHandle file) override {
        OVERLAPPED whole{};
        if (::LockFileEx(ToHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
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
        if (!::WriteFile(ToHandle(file), data, static_cast<DWORD>(size), &written, nullptr))
            return -1;
        return written;
    }

    bool Close(FileHandle file) override { return ::CloseHandle(ToHandle(file)) != 0; }

    bool Remove(const std::string& path) override {
        return ::DeleteFileA(ToSystemText(path).c_str()) != 0;
    }

    bool Rename(const std::string& from, const std::string& to) override {
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
};

} // namespace

FileApi& SystemFiles() {
    // Never destroyed: the log's end record may be written while the program's statics are
    // being destroyed, and it needs these.
    static WindowsFiles* files = new WindowsFiles;
    return *files;
}

} // namespace kw
