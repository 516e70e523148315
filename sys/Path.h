// How this platform writes the installation folder.
#pragma once

#include <string>

namespace kw {

/// The separator that ends a folder and joins its parts: "/" on POSIX, "\" on Windows.
extern const char kPathSeparator;

/// The folder of a command line as the modes receive it. Windows file names ignore letter case
/// and the folder is upper-cased there; POSIX names do not, so the folder keeps its case.
std::string CommandLineFolder(std::string folder);

} // namespace kw
