#include "payload/Catalogue.h"

#include "payload/Resources.h"
#include "sys/Failure.h"
#include "sys/Path.h"

#include <limits>

namespace kw {

std::int32_t ToInt32(const std::string& text) {
    std::size_t i = 0, end = text.size();
    while (i < end && text[i] == ' ')
        ++i;
    while (end > i && text[end - 1] == ' ')
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == end)
        throw Failure("Typen komen niet overeen");
    std::int64_t value = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            throw Failure("Typen komen niet overeen");
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            throw Failure("Overloop");
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        throw Failure("Overloop");
    return static_cast<std::int32_t>(value);
}

std::int32_t CheckedEntryCount() {
    const std::int32_t n = ToInt32(LoadResString(kCountId));
    if (n < 1)
        throw Failure(kBadFormat);
    return n;
}

std::string PathStart(const std::string& folder, const BlobKind& kind) {
    std::string start = folder;
    for (const char* c = kind.folder; *c; ++c)
        start += *c == '/' ? kPathSeparator : *c;
    start += kPathSeparator;
    start += 'i';
    return start;
}

} // namespace kw
