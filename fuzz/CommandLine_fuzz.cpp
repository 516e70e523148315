// Any command line gives the usage text or a mode word with a folder, never a crash.
#include "app/CommandLine.h"
#include "sys/Path.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    auto cl = kw::SplitCommandLine(kw::Trim(line));
    if (!cl)
        return 0;
    // What the modes receive: a one-word mode in upper case and a folder ending in a separator.
    if (cl->mode.empty() || cl->mode.find(' ') != std::string::npos || cl->folder.empty() ||
        cl->folder.back() != kw::kPathSeparator)
        std::abort();
    for (unsigned char c : cl->mode)
        if (std::islower(c))
            std::abort();
    return 0;
}
