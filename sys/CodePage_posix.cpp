#include "sys/CodePage.h"

namespace kw {

unsigned AnsiCodePage() {
    return 1252;
}

// POSIX file names and arguments are bytes, UTF-8 by convention: nothing to convert.
std::string ToSystemText(std::string_view utf8) {
    return std::string(utf8);
}

std::string FromSystemText(std::string_view text) {
    return std::string(text);
}

} // namespace kw
