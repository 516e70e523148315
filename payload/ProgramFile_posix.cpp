#include "payload/ProgramFile.h"

namespace kw {

// The kernel's link to the running image: it opens the very file that was started, even when
// the program was started through a symbolic link or its file was renamed since.
std::string ProgramFilePath() {
    return "/proc/self/exe";
}

std::shared_ptr<PayloadSource> OpenProgramPayload() {
    return OpenContainerPayload(ProgramFilePath());
}

} // namespace kw
