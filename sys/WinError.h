// The system's own description of a Windows error number, for the Windows halves of the seams
// (of this folder and of the Access library alike, so it depends on nothing).
#pragma once

#include <string>

namespace kw {

/// The description that the system gives for the error (as UTF-8, without a final full stop or
/// line break), followed by its number in parentheses.
std::string WindowsErrorText(unsigned long error);

} // namespace kw
