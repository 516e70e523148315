#include "sys/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>

namespace kw {

void OpenMissingStandardStreams() {
    // In order: open() takes the lowest free number, which is the closed one.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
}

} // namespace kw
