#include "app/CommandLine.h"

#include "sys/CodePage.h"

#include <windows.h>

namespace kw {

std::optional<std::string> WindowsCommandTail(std::string_view commandLine) {
    // The program's name ends at its closing quotation mark when it starts with one, else at
    // the first blank or tab; the one blank or tab after it separates it from the tail.
    std::size_t end = 0;
    if (commandLine.starts_with('"')) {
        end = commandLine.find('"', 1);
        end = end == std::string_view::npos ? commandLine.size() : end + 1;
    } else {
        end = std::min(commandLine.find_first_of(" \t"), commandLine.size());
    }
    if (end < commandLine.size() && (commandLine[end] == ' ' || commandLine[end] == '\t'))
        ++end;
    if (end >= commandLine.size())
        return std::nullopt;
    return std::string(commandLine.substr(end));
}

// Windows hands the program its command line as typed: the tail is taken from it whole, with
// its quotation marks and blanks, and the arguments that the runtime split are not used.
std::optional<std::string> CommandTail(int, char**) {
    std::optional<std::string> tail = WindowsCommandTail(::GetCommandLineA());
    if (tail)
        tail = FromSystemText(*tail);
    return tail;
}

} // namespace kw
