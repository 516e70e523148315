#include "sys/DiskSpace.h"

#include <cmath>

namespace kw {

namespace {
constexpr std::int32_t kMaxKilobytes = 2147483647;
} // namespace

std::int32_t KilobytesFromBytes(std::uint64_t bytes) {
    const double quotient = static_cast<double>(bytes) / 1024.0;
    if (quotient > kMaxKilobytes)
        return kMaxKilobytes;
    // Below the cap both products are exact in a double; nearbyint rounds a half to even.
    const double fourDecimals = std::nearbyint(quotient * 10000.0) / 10000.0;
    return static_cast<std::int32_t>(std::nearbyint(fourDecimals));
}

} // namespace kw
