// The catalogue as the repository keeps it: payload/catalogue.tsv, one entry a line, number,
// name and category separated by tabs, in catalogue order; lines starting with '#' are notes.
#pragma once

#include <string>
#include <vector>

namespace kw::tools {

struct CatalogueEntry {
    std::string number;   ///< decimal text, as it goes into the string table
    std::string name;     ///< UTF-8, exactly as stored (a trailing blank stays)
    std::string category; ///< decimal text
};

/// Reads and checks the file: plain decimal numbers, each number once, names without an
/// apostrophe or a control character. Raises std::runtime_error naming the line that is wrong.
std::vector<CatalogueEntry> ReadCatalogueFile(const std::string& path);

} // namespace kw::tools
