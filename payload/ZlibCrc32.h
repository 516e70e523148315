// CRC-32 by zlib, for any length: both halves of Crc32 end in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kw::payload {

std::uint32_t ZlibCrc32(std::span<const std::byte> bytes, std::uint32_t crc);

} // namespace kw::payload
