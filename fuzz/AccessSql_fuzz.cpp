// Any statement text is parsed into one of the supported forms or refused, never a crash.
#include "db/AccessSql.h"
#include "sys/Failure.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        kw::sql::Parse(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const kw::Failure&) {
    }
    return 0;
}
