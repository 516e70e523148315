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

class WindowsFile : public PageFile {
public:
    WindowsFile(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
    ~WindowsFile() override { ::CloseHandle(file_); }
    WindowsFile(const WindowsFile&) = delete;
    WindowsFile& operator=(const WindowsFile&) = delete;

    std::uint64_t Size() const override { return size_; }

    void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        std::size_t done = 0;
        while (done < out.size()) {
            OVERLAPPED at{};
            const std::uint64_t position = offset + done;
            at.Offset = static_cast<DWORD>(position);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            DWORD n = 0;
            if (!::ReadFile(file_, out.data() + done, static_cast<DWORD>(out.size() - done), &n,
                            &at)) {
                if (::GetLastError() == ERROR_HANDLE_EOF)
                    throw JetError("The database file ends before the part being read.");
                throw JetError("The database file can't be read: " + SystemError() + ".");
            }
            if (n == 0)
                throw JetError("The database file ends before the part being read.");
            done += n;
        }
    }

private:
    HANDLE file_;
    std::uint64_t size_;
};

} // namespace

std::unique_ptr<PageFile> PageFile::OpenForReading(const std::string& path) {
    // Every kind of sharing: a writer of this program renames its new copy over the file while
    // the old one is still being read, and reads the copy that it is writing.
    HANDLE file = ::CreateFileA(ToSystemText(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw JetError("The database file \"" + path + "\" can't be opened: " + SystemError() +
                       ".");
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
        ::CloseHandle(file);
        throw JetError("\"" + path + "\" is not a database file that can be read.");
    }
    return std::make_unique<WindowsFile>(file, static_cast<std::uint64_t>(size.QuadPart));
}

} // namespace kw::jet
