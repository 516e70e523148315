// Vondelux is a Windows program; on POSIX it runs under Wine, so its special folders are the
// ones inside the Wine prefix (WINEPREFIX, else ~/.wine).
#include "sys/Installation.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string UserName() {
    std::string user = Env("USER");
    if (user.empty())
        if (const passwd* pw = ::getpwuid(::getuid()))
            user = pw->pw_name;
    return user;
}

std::string WinePrefix() {
    std::string prefix = Env("WINEPREFIX");
    if (!prefix.empty())
        return prefix;
    std::string home = Env("HOME");
    if (home.empty())
        if (const passwd* pw = ::getpwuid(::getuid()))
            home = pw->pw_dir;
    return home.empty() ? std::string() : home + "/.wine";
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// The first of the folders that exists, or empty text.
std::string FirstFolder(std::initializer_list<std::string> folders) {
    for (const std::string& folder : folders)
        if (IsFolder(folder))
            return folder;
    return {};
}

} // namespace

std::string GetSpecialFolderPath(std::int32_t csidl) {
    const std::string prefix = WinePrefix();
    if (prefix.empty())
        return {};
    const std::string driveC = prefix + "/drive_c";
    switch (csidl) {
    case kCsidlProgramFiles:
        // A 64-bit prefix keeps 32-bit programs such as Vondelux in "Program Files (x86)".
        return FirstFolder({driveC + "/Program Files (x86)", driveC + "/Program Files"});
    case kCsidlAppData: {
        const std::string user = driveC + "/users/" + UserName();
        // Older prefixes use the Windows XP name.
        return FirstFolder({user + "/AppData/Roaming", user + "/Application Data"});
    }
    default:
        return {};
    }
}

} // namespace kw
