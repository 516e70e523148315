// Where the program file lies, whose tail carries the payload.
#pragma once

#include <string>

namespace kw {

/// A path by which the running program's own file can be opened for reading.
std::string ProgramFilePath();

} // namespace kw
