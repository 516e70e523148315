// How the payload operations turn a caught failure into what the user and the log see.
#pragma once

#include <exception>
#include <string>

namespace kw {

/// The description of the failure being handled (inside a catch block).
std::string CurrentDescription();

/// Shows the description in a message box (no icon, the program's title) and logs
/// operation + "() : " + description, the whole line being the record's format.
void ShowAndLog(const char* operation, const std::string& description);

} // namespace kw
