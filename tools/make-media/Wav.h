// Stand-in sounds: RIFF WAVE files, PCM, 16 bits, 44,100 Hz, one channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kw::tools {

inline constexpr std::int64_t kWavHeaderSize = 44;

/// The size of a file that holds these samples with a short silence before and after.
std::int64_t WavSizeFor(std::size_t samples);

/// A file of exactly `size` bytes (even, at least the header): a short silence, the samples,
/// and silence up to the end. Samples that don't fit are cut off, the last of them faded out.
std::string MakeWav(const std::vector<std::int16_t>& samples, std::int64_t size);

} // namespace kw::tools
