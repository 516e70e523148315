// Where Vondelux is installed: the default places and the shell's special folders behind them.
#pragma once

#include <cstdint>
#include <string>

namespace kw {

/// Shell special-folder numbers (CSIDL) that the lookup uses.
inline constexpr std::int32_t kCsidlAppData = 26;      // the user's roaming application data
inline constexpr std::int32_t kCsidlProgramFiles = 38; // the program-files folder

/// The special folder's path without a trailing separator; empty text when the number is not
/// one of the above or the folder can't be resolved.
std::string GetSpecialFolderPath(std::int32_t csidl);

/// The first of the program-files and application-data folders, each followed by "/Merodaan/",
/// that holds an ordinary file "Vondelux.exe"; empty text when neither does.
std::string FindInstallation();

/// True when folder (ending with the separator) holds an ordinary file "Vondelux.exe"; a folder
/// of that name does not count.
bool HoldsInstallation(const std::string& folder);

} // namespace kw
