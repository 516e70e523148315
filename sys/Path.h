// How this platform writes the installation folder.
#pragma once

#include <filesystem>
#include <string>

namespace kw {

/// A path of the program's own (UTF-8) as the standard library takes it: on Windows a narrow
/// text would be read in the ANSI code page, and a folder such as "C:\Users\Zoë\" missed.
inline std::filesystem::path FilePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

/// A path of the standard library as the program's own text (UTF-8).
inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

/// The separator that ends a folder and joins its parts: "/" on POSIX, "\" on Windows.
extern const char kPathSeparator;

/// The folder of a command line as the modes receive it. Windows file names ignore letter case
/// and the folder is upper-cased there; POSIX names do not, so the folder keeps its case.
std::string CommandLineFolder(std::string folder);

} // namespace kw
