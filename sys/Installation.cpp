#include "sys/Installation.h"

#include "sys/File.h"
#include "sys/Path.h"

namespace kw {

namespace {

std::string Candidate(std::int32_t csidl) {
    // An unresolved folder leaves "/Merodaan/", which is tested like any other candidate.
    return GetSpecialFolderPath(csidl) + kPathSeparator + "Merodaan" + kPathSeparator;
}

} // namespace

bool HoldsInstallation(const std::string& folder) {
    return Files().IsOrdinaryFile(folder + "Vondelux.exe");
}

std::string FindInstallation() {
    for (std::int32_t csidl : {kCsidlProgramFiles, kCsidlAppData}) {
        std::string candidate = Candidate(csidl);
        if (HoldsInstallation(candidate))
            return candidate;
    }
    return {};
}

} // namespace kw
