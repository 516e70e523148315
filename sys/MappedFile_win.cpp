#include "sys/MappedFile.h"

#include "sys/CodePage.h"
#include "sys/Failure.h"
#include "sys/WinError.h"

#include <windows.h>

namespace kw {

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + WindowsErrorText(::GetLastError());
}

} // namespace

MappedFile::MappedFile(const std::string& path) {
    // Others may read the file meanwhile (the loader, a second run), nobody may change it.
    HANDLE file =
        ::CreateFileA(ToSystemText(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Failure(SystemError("Kan bestand niet openen", path));
    LARGE_INTEGER size{};
    HANDLE mapping = nullptr;
    const void* view = nullptr;
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
        (mapping = ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)))
        view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    const DWORD saved = ::GetLastError();
    // The view keeps the file and the mapping.
    if (mapping)
        ::CloseHandle(mapping);
    ::CloseHandle(file);
    if (!view && size.QuadPart > 0) {
        ::SetLastError(saved);
        throw Failure(SystemError("Kan bestand niet lezen", path));
    }
    data_ = static_cast<const std::byte*>(view);
    size_ = static_cast<std::size_t>(size.QuadPart);
}

MappedFile::~MappedFile() {
    if (data_)
        ::UnmapViewOfFile(data_);
}

void MappedFile::Populate(std::span<const std::byte>) const {
    // Windows reads a mapped file's pages in clusters ahead of the reader on its own.
}

void MappedFile::Release(std::span<const std::byte> part) const {
    if (part.empty() || part.data() < data_ || part.data() + part.size() > data_ + size_)
        return;
    // Unlocking pages that were never locked takes them out of the process's working set; the
    // call then reports that they were not locked, which is expected.
    ::VirtualUnlock(const_cast<std::byte*>(part.data()), part.size());
}

} // namespace kw
