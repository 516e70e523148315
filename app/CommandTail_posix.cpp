#include "app/CommandLine.h"

namespace kw {

// POSIX hands the program its arguments one by one, never the command line as typed: joining
// them with single blanks gives the tail that the rules for a command line apply to. A command
// line exists as soon as an argument was given, even an empty one.
std::optional<std::string> CommandTail(int argc, char** argv) {
    if (argc < 2)
        return std::nullopt;
    std::string tail;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            tail += ' ';
        tail += argv[i];
    }
    return tail;
}

} // namespace kw
