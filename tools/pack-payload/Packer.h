// Packing the payload: the catalogue's strings and every entry's four media files into one
// container, after checking that the media folder holds exactly those files.
#pragma once

#include <cstdint>
#include <string>

namespace kw::tools {

struct PackResult {
    std::size_t entries = 0;
    std::uint64_t mediaBytes = 0;
};

/// Packs the catalogue file and the media folder (laid out as an installation's media folders)
/// into the container file. Refuses, with std::runtime_error or kw::Failure naming the fault, a
/// bad catalogue, a missing or empty media file, and a media folder with files that no entry
/// names.
PackResult PackPayload(const std::string& cataloguePath, const std::string& mediaFolder,
                       const std::string& containerPath);

/// Writes the same payload, checked the same way, as a resource script for windres: the
/// catalogue as the string table, each blob as a resource of type kBlobType that names its media
/// file, and each blob's CRC-32 as a resource of type kCrcType under the blob's name.
PackResult WriteResourceScript(const std::string& cataloguePath, const std::string& mediaFolder,
                               const std::string& scriptPath);

} // namespace kw::tools
