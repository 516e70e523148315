// The log is written in the ANSI code page that the Windows edition uses: Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace kw {

/// Converts UTF-8 text to Windows-1252, one byte per character. A character outside the code
/// page, and every byte of malformed UTF-8, becomes "?".
std::string Utf8ToAnsi(std::string_view utf8);

} // namespace kw
