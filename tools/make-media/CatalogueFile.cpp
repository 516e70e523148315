#include "tools/make-media/CatalogueFile.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace kw::tools {

namespace {

bool IsNumber(const std::string& s) {
    if (s.empty() || s.size() > 9 || (s[0] == '0' && s.size() > 1))
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A name goes between single quotes in SQL and into the log's format text, so it may hold
// neither an apostrophe nor a control character.
bool IsFitName(const std::string& s) {
    for (unsigned char c : s)
        if (c == '\'' || c < 0x20 || c == 0x7F)
            return false;
    return !s.empty();
}

} // namespace

std::vector<CatalogueEntry> ReadCatalogueFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<CatalogueEntry> entries;
    std::set<std::string> numbers;
    std::string line;
    for (int lineNo = 1; std::getline(in, line); ++lineNo) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t a = line.find('\t');
        const std::size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos || line.find('\t', b + 1) != std::string::npos)
            throw std::runtime_error(path + ":" + std::to_string(lineNo) +
                                     ": expected number, name and category separated by tabs");
        CatalogueEntry e{line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)};
        const std::string where = path + ":" + std::to_string(lineNo) + ": ";
        if (!IsNumber(e.number) || !IsNumber(e.category))
            throw std::runtime_error(where + "the number and the category must be plain decimals");
        if (!IsFitName(e.name))
            throw std::runtime_error(where + "a name must not be empty nor hold an apostrophe or "
                                             "a control character");
        if (!numbers.insert(e.number).second)
            throw std::runtime_error(where + "number " + e.number + " comes twice");
        entries.push_back(std::move(e));
    }
    if (entries.empty())
        throw std::runtime_error(path + ": no entries");
    return entries;
}

} // namespace kw::tools
