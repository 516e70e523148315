#include "sys/DiskSpace.h"

#include "sys/CodePage.h"

#include <windows.h>

namespace kw {

FreeSpaceQuery QueryFreeSpace(const std::string& path) {
    // The volume is named by the path's drive letter alone; the rest of the path is not used
    // (an empty or network path gives a root that no volume has, and the query fails).
    std::string drive = path.empty() ? std::string() : path.substr(0, 1);
    if (!drive.empty() && drive[0] >= 'a' && drive[0] <= 'z')
        drive[0] = static_cast<char>(drive[0] - 'a' + 'A');
    drive += ":";
    FreeSpaceQuery query;
    ULARGE_INTEGER available{}, total{}, free{};
    const BOOL ok =
        ::GetDiskFreeSpaceExA(ToSystemText(drive + "\\").c_str(), &available, &total, &free);
    if (!ok) {
        query.lastDllError = static_cast<std::int32_t>(::GetLastError());
        query.lastApiError = static_cast<std::int32_t>(::GetLastError());
        return query;
    }
    // The quota-aware figure: what the calling user may still write.
    query.ok = true;
    query.bytes = available.QuadPart;
    query.volume = drive;
    return query;
}

} // namespace kw
