#include "sys/DiskSpace.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace kw {

namespace {

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

/// The mount point of the file system that holds folder: walk up while the device stays the
/// same. Falls back to the folder itself when it can't be resolved.
std::string MountPoint(const std::string& folder) {
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved))
        return folder;
    std::string current = resolved;
    struct stat here {};
    if (::stat(current.c_str(), &here) != 0)
        return current;
    while (current != "/") {
        const std::string parent = Parent(current);
        struct stat up {};
        if (::stat(parent.c_str(), &up) != 0 || up.st_dev != here.st_dev)
            break;
        current = parent;
    }
    return current;
}

} // namespace

FreeSpaceQuery QueryFreeSpace(const std::string& path) {
    FreeSpaceQuery query;
    struct statvfs vfs {};
    errno = 0;
    const int rc = ::statvfs(path.c_str(), &vfs);
    const int errorAfterCall = errno;
    if (rc != 0) {
        query.lastDllError = errorAfterCall;
        query.lastApiError = errno;
        return query;
    }
    // f_bavail leaves out the blocks reserved for root: what an ordinary user may write.
    query.ok = true;
    query.bytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    query.volume = MountPoint(path);
    return query;
}

} // namespace kw
