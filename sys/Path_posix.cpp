#include "sys/Path.h"

namespace kw {

const char kPathSeparator = '/';

std::string CommandLineFolder(std::string folder) {
    return folder;
}

} // namespace kw
