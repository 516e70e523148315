#include "sys/DiskSpace.h"

#include "log/Log.h"

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

std::int32_t AvailableDiskSpace(const std::string& path) {
    const FreeSpaceQuery query = QueryFreeSpace(path);
    if (!query.ok) {
        gLog->printf("AvailableDiskSpace() : GetDiskFreeSpaceEx() gaf ongewenst resultaat terug.");
        gLog->printf("last DLL error=%d, last API error=%d.", query.lastDllError,
                     query.lastApiError);
        return -1;
    }
    const std::int32_t kilobytes = KilobytesFromBytes(query.bytes);
    // The volume goes in as a value: a mount point may hold "%" or "\", which the format would
    // otherwise take as conversions and escapes.
    gLog->printf("AvailableDiskSpace() : " + std::to_string(kilobytes) + " kB vrij op %s",
                 query.volume);
    return kilobytes;
}

} // namespace kw
