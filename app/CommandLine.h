// Splitting the command line into a mode word and a folder.
#pragma once

#include <optional>
#include <string>

namespace kw {

/// Removes leading and trailing blanks (the space character only; a tab is not a blank).
std::string Trim(const std::string& s);

/// The command tail: everything after the program's name, as the platform hands it over;
/// nothing when the program was started without a command line.
std::optional<std::string> CommandTail(int argc, char** argv);

struct CommandLine {
    std::string mode;   ///< upper-cased
    std::string folder; ///< ends with the path separator
};

/// Splits a trimmed command line at its first blank into the mode word and the folder; nothing
/// when the usage text is due (no blank, or an empty word or folder). The word is not checked.
std::optional<CommandLine> SplitCommandLine(const std::string& commandLine);

} // namespace kw
