// CRC-32 by zlib, which works on several bytes at a time.
#include "payload/Container.h"
#include "payload/ZlibCrc32.h"

namespace kw::payload {

std::uint32_t Crc32(std::span<const std::byte> bytes, std::uint32_t crc) {
    return ZlibCrc32(bytes, crc);
}

} // namespace kw::payload
