// Spoken names for the stand-in sounds: Dutch speech where the speech synthesiser is built in,
// otherwise a hum with one rise in pitch for every syllable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kw::tools {

inline constexpr int kSampleRate = 44100;

enum class Voice { Man, Woman };

/// The name spoken, as 16-bit mono samples at kSampleRate, without silence before or after.
std::vector<std::int16_t> Speak(const std::string& utf8, Voice voice);

/// What speaks: "espeak-ng <version>".
std::string SpeechEngine();

/// Samples at `from` Hz to samples at `to` Hz, by straight lines between neighbours.
std::vector<std::int16_t> Resample(const std::vector<std::int16_t>& in, int from, int to);

/// The samples without the quiet stretches at either end.
std::vector<std::int16_t> TrimSilence(const std::vector<std::int16_t>& in);

} // namespace kw::tools
