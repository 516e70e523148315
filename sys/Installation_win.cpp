#include "sys/Installation.h"

#include "sys/CodePage.h"

#include <shlobj.h>
#include <windows.h>

namespace kw {

std::string GetSpecialFolderPath(std::int32_t csidl) {
    if (csidl != kCsidlProgramFiles && csidl != kCsidlAppData)
        return {};
    // A 32-bit program on 64-bit Windows is given "Program Files (x86)", where Vondelux, a
    // 32-bit program, is installed.
    char path[MAX_PATH] = {};
    if (::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return {};
    return FromSystemText(path);
}

} // namespace kw
