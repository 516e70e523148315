// The three standard descriptors (input, output, error output) as the program relies on them.
#pragma once

namespace kw {

/// Opens each standard descriptor that the program was started without on the null device, so
/// that no file that the program opens later (the log, a media file) takes its number and
/// receives what is meant for standard error. Call first thing.
void OpenMissingStandardStreams();

} // namespace kw
