// The code pages of the platform's narrow calls: the log's ANSI code page, and the text that
// file names and the command line are passed in.
#pragma once

#include <string>
#include <string_view>

namespace kw {

/// The system's ANSI code page, in which the log is written: GetACP() on Windows (1252 on a
/// Dutch system); elsewhere 1252, the Windows edition's code page on a Dutch system.
unsigned AnsiCodePage();

/// UTF-8 text as the platform's narrow calls take it (file names, titles): on Windows in the
/// ANSI code page, with "?" for a character outside it; on POSIX the UTF-8 itself.
std::string ToSystemText(std::string_view utf8);

/// Text that a narrow call of the platform gave (the command line) as UTF-8.
std::string FromSystemText(std::string_view text);

} // namespace kw
