// The update's steps, shared by the wizard and the command-line modes: what each step checks,
// changes and reports, without any window. A front end shows the results through the seams of
// sys/Ui.h.
#pragma once

#include <cstdint>
#include <string>

namespace kw {

/// Kilobytes (1024 bytes) that the current user may still write on the volume holding path,
/// capped at 2147483647, with one log record naming the volume. Returns -1 when the volume
/// can't be queried (an empty or missing path, for instance) and logs two failure records.
std::int32_t AvailableDiskSpace(const std::string& path);

} // namespace kw
