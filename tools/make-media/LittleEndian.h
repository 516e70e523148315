// The media formats store their numbers little-endian.
#pragma once

#include <cstdint>
#include <string>

namespace kw::tools {

/// Appends the lowest `bytes` bytes of v, the lowest first.
inline void PutLittleEndian(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i));
}

} // namespace kw::tools
