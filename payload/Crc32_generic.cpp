// CRC-32 by zlib, which works on several bytes at a time.
#include "payload/Container.h"

#include <algorithm>
#include <zlib.h>

namespace kw::payload {

std::uint32_t Crc32(std::span<const std::byte> bytes, std::uint32_t crc) {
    for (std::size_t done = 0; done < bytes.size();) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        crc = static_cast<std::uint32_t>(
            crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + done), n));
        done += n;
    }
    return crc;
}

} // namespace kw::payload
