#include "sys/WinError.h"

#include <windows.h>

namespace kw {

std::string WindowsErrorText(unsigned long error) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (n) {
        const int size = static_cast<int>(n);
        text.resize(static_cast<std::size_t>(
            ::WideCharToMultiByte(CP_UTF8, 0, buffer, size, nullptr, 0, nullptr, nullptr)));
        ::WideCharToMultiByte(CP_UTF8, 0, buffer, size, text.data(), static_cast<int>(text.size()),
                              nullptr, nullptr);
    }
    ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return (text.empty() ? "Windows-fout" : text) + " (" + std::to_string(error) + ")";
}

} // namespace kw
