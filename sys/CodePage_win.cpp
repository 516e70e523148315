#include "sys/CodePage.h"

#include <windows.h>

namespace kw {

namespace {

std::wstring Wide(std::string_view text, UINT codePage) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)),
        L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(),
                          static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    // No best fit: a character that the code page lacks becomes "?", never a look-alike that
    // names another file.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    std::string text(static_cast<std::size_t>(::WideCharToMultiByte(
                         codePage, flags, wide.data(), size, nullptr, 0, fallback, nullptr)),
                     '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(),
                          static_cast<int>(text.size()), fallback, nullptr);
    return text;
}

} // namespace

unsigned AnsiCodePage() {
    return ::GetACP();
}

std::string ToSystemText(std::string_view utf8) {
    return Narrow(Wide(utf8, CP_UTF8), CP_ACP);
}

std::string FromSystemText(std::string_view text) {
    return Narrow(Wide(text, CP_ACP), CP_UTF8);
}

} // namespace kw
