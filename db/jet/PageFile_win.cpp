// Windows can't replace a file that a program holds open, and a writer renames its new copy over
// the database while it still reads the old one: so the file is read whole when it is opened and
// is not held afterwards. The databases that the program updates are a few megabytes.
#include "db/jet/PageFile.h"

#include "db/jet/JetError.h"
#include "sys/CodePage.h"
#include "sys/WinError.h"

#include <windows.h>

namespace kw::jet {

namespace {

std::string SystemError() {
    return WindowsErrorText(::GetLastError());
}

} // namespace

std::unique_ptr<PageFile> PageFile::OpenForReading(const std::string& path) {
    // Every kind of sharing: the writer of this program reads the copy that it has just written
    // and still holds.
    HANDLE file = ::CreateFileA(ToSystemText(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw JetError("The database file \"" + path + "\" can't be opened: " + SystemError() +
                       ".");
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size) ||
        size.QuadPart > 0x7FFFFFFF) {
        ::CloseHandle(file);
        throw JetError("\"" + path + "\" is not a database file that can be read.");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const BOOL ok = ::ReadFile(file, bytes.data() + done,
                                   static_cast<DWORD>(bytes.size() - done), &n, nullptr);
        if (!ok || n == 0) {
            const std::string why = ok ? std::string("it ends early") : SystemError();
            ::CloseHandle(file);
            throw JetError("The database file can't be read: " + why + ".");
        }
        done += n;
    }
    ::CloseHandle(file);
    return InMemory(std::move(bytes));
}

} // namespace kw::jet
