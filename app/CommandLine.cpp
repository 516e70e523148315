#include "app/CommandLine.h"

#include "sys/Path.h"

#include <algorithm>
#include <cctype>

namespace kw {

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

} // namespace

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::optional<CommandLine> SplitCommandLine(const std::string& commandLine) {
    std::size_t blank = commandLine.find(' ');
    if (blank == std::string::npos)
        return std::nullopt;
    CommandLine cl{Upper(Trim(commandLine.substr(0, blank))),
                   CommandLineFolder(Trim(commandLine.substr(blank + 1)))};
    if (cl.mode.empty() || cl.folder.empty())
        return std::nullopt;
    if (cl.folder.back() != kPathSeparator)
        cl.folder += kPathSeparator;
    return cl;
}

} // namespace kw
