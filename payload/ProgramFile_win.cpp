#include "payload/ProgramFile.h"

#include "sys/CodePage.h"

#include <windows.h>

namespace kw {

// The file that the running image was loaded from.
std::string ProgramFilePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n); // 0 on failure: the empty path then fails to open, with a message
            return FromSystemText(path);
        }
        path.resize(path.size() * 2);
    }
}

} // namespace kw
