#include "app/Update.h"

#include "log/Log.h"
#include "sys/DiskSpace.h"

namespace kw {

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
