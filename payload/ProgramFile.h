// Where the payload comes from: a container file, or the program's own payload, which the
// platform's half keeps (POSIX: the container at the end of the program file; Windows: the
// program's resources).
#pragma once

#include "payload/Resources.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kw {

/// The three reads of Resources.h, served from one place; each raises Failure as they do.
class PayloadSource {
public:
    virtual ~PayloadSource() = default;
    virtual std::string String(std::int32_t id) = 0;
    virtual std::unique_ptr<Blob> Data(const std::string& name, const std::string& type) = 0;
    virtual std::int64_t Size(const std::string& name, const std::string& type) = 0;
};

/// The payload in the container file at path (one of its own, or at the end of a program file).
std::shared_ptr<PayloadSource> OpenContainerPayload(const std::string& path);

/// The payload of the running program.
std::shared_ptr<PayloadSource> OpenProgramPayload();

/// The failures of a missing string and a missing blob, the same from every source.
[[noreturn]] void MissingString(std::int32_t id);
[[noreturn]] void MissingBlob(const std::string& name);

/// POSIX: a path by which the running program's own file, whose tail carries the payload, can be
/// opened for reading.
std::string ProgramFilePath();

} // namespace kw
