#include "payload/ZlibCrc32.h"

#include <algorithm>
#include <zlib.h>

namespace kw::payload {

std::uint32_t ZlibCrc32(std::span<const std::byte> bytes, std::uint32_t crc) {
    // zlib counts in unsigned int; larger spans go in pieces.
    for (std::size_t done = 0; done < bytes.size();) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        crc = static_cast<std::uint32_t>(
            crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + done), n));
        done += n;
    }
    return crc;
}

} // namespace kw::payload
