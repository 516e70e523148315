// Splitting the command line into a mode word and a folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kw {

/// Removes leading and trailing blanks (the space character only; a tab is not a blank).
std::string Trim(const std::string& s);

/// The command tail: everything after the program's name, as the platform hands it over;
/// nothing when the program was started without a command line.
std::optional<std::string> CommandTail(int argc, char** argv);

/// The tail of a whole Windows command line: what follows the program's name (in quotation
/// marks, or up to the first blank or tab) and the one blank or tab after it; nothing when that
/// is empty. The Windows half of CommandTail.
std::optional<std::string> WindowsCommandTail(std::string_view commandLine);

struct CommandLine {
    std::string mode;   ///< upper-cased
    std::string folder; ///< ends with the path separator
};

/// Splits a trimmed command line at its first blank into the mode word and the folder; nothing
/// when the usage text is due (no blank, or an empty word or folder). The word is not checked.
std::optional<CommandLine> SplitCommandLine(const std::string& commandLine);

} // namespace kw
