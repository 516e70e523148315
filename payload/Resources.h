// Access to the payload that the program file carries: the catalogue strings by id and the
// media blobs by name. Every failure raises kw::Failure with a description naming what failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kw {

/// The bytes of one blob. They stay valid while the Blob lives; at most one is held at a time.
class Blob {
public:
    virtual ~Blob() = default;
    virtual std::span<const std::byte> Bytes() const = 0;
};

/// The catalogue text with the given id (UTF-8). Raises Failure when it is missing.
std::string LoadResString(std::int32_t id);

/// The bytes of the named blob, checked against their checksum. `type` is always "BLOB".
/// Raises Failure when the blob is missing or damaged; never returns a damaged blob.
std::unique_ptr<Blob> LoadResData(const std::string& name, const std::string& type);

/// The size of the named blob in bytes, without reading its bytes. Raises Failure when missing.
std::int64_t ResourceSize(const std::string& name, const std::string& type);

/// Reads the payload from the given container file instead of the program file (tests, tools).
/// An empty path returns to the program file.
void UsePayloadFile(const std::string& path);

} // namespace kw
