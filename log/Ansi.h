// The log is written in the system's ANSI code page: Windows-1252 on a Dutch Windows, and on
// every other platform.
#pragma once

#include <string>
#include <string_view>

namespace kw {

/// Converts UTF-8 text to the ANSI code page (sys/CodePage.h). In Windows-1252, one byte per
/// character: a character outside the code page, and every byte of malformed UTF-8, becomes
/// "?". Another code page (a Windows system in another language) is the system's to convert.
std::string Utf8ToAnsi(std::string_view utf8);

} // namespace kw
