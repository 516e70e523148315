// How much the current user may still write on the volume that holds a folder.
#pragma once

#include <cstdint>
#include <string>

namespace kw {

/// Bytes as whole kilobytes: the quotient is held to four decimals and then taken to the
/// nearest whole number, a half to the even one; quotients above 2147483647 give 2147483647.
std::int32_t KilobytesFromBytes(std::uint64_t bytes);

/// What the platform's volume query tells.
struct FreeSpaceQuery {
    bool ok = false;
    std::uint64_t bytes = 0;       ///< on success: bytes available to the calling user
    std::string volume;            ///< on success: the volume as the log names it
    std::int32_t lastDllError = 0; ///< on failure: the error recorded right after the query
    std::int32_t lastApiError = 0; ///< on failure: the thread's error number a moment later
};

/// Asks the volume that holds path how much the current user may still write. Never raises.
FreeSpaceQuery QueryFreeSpace(const std::string& path);

} // namespace kw
