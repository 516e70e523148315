// Without a speech synthesiser: a voiced hum, one rise and fall of pitch for every syllable
// (every group of vowels), lower for the man than for the woman.
#include "tools/make-media/Speech.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace kw::tools {

std::string SpeechEngine() {
    return "tones";
}

std::vector<std::int16_t> Speak(const std::string& utf8, Voice voice) {
    int syllables = 0;
    bool inVowel = false;
    for (unsigned char c : utf8) {
        const bool vowel =
            std::string_view("aeiouyAEIOUY").find(static_cast<char>(c)) != std::string_view::npos ||
            c >= 0x80;
        syllables += vowel && !inVowel;
        inVowel = vowel;
    }
    syllables = std::max(syllables, 1);
    const double base = voice == Voice::Man ? 115.0 : 210.0;
    const int perSyllable = kSampleRate * 22 / 100;
    std::vector<std::int16_t> out;
    double phase = 0;
    for (int s = 0; s < syllables; ++s) {
        for (int i = 0; i < perSyllable; ++i) {
            const double t = static_cast<double>(i) / perSyllable;
            const double envelope = std::sin(std::numbers::pi * t);
            const double pitch = base * (1.0 + 0.15 * envelope - 0.05 * s / syllables);
            phase += 2 * std::numbers::pi * pitch / kSampleRate;
            double v = 0;
            for (int h = 1; h <= 6; ++h)
                v += std::sin(h * phase) / h;
            out.push_back(static_cast<std::int16_t>(9000 * envelope * v));
        }
    }
    return TrimSilence(out);
}

} // namespace kw::tools
