#include "sys/Path.h"

#include <windows.h>

namespace kw {

const char kPathSeparator = '\\';

std::string CommandLineFolder(std::string folder) {
    // Every letter to its upper-case form as the system knows it ("é" too), in UTF-16.
    if (folder.empty())
        return folder;
    const int size = static_cast<int>(folder.size());
    std::wstring wide(static_cast<std::size_t>(
                          ::MultiByteToWideChar(CP_UTF8, 0, folder.data(), size, nullptr, 0)),
                      L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, folder.data(), size, wide.data(),
                          static_cast<int>(wide.size()));
    ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    const int wideSize = static_cast<int>(wide.size());
    std::string upper(static_cast<std::size_t>(::WideCharToMultiByte(
                          CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr)),
                      '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, upper.data(),
                          static_cast<int>(upper.size()), nullptr, nullptr);
    return upper;
}

} // namespace kw
