#include "tools/make-media/Wav.h"
#include "tools/make-media/LittleEndian.h"

#include "tools/make-media/Speech.h"

#include <algorithm>
#include <stdexcept>

namespace kw::tools {

namespace {

constexpr std::size_t kLeadIn = kSampleRate / 20; // 50 ms
constexpr std::size_t kTail = kSampleRate / 10;   // 100 ms
constexpr std::size_t kFade = kSampleRate / 50;   // 20 ms

} // namespace

std::int64_t WavSizeFor(std::size_t samples) {
    return kWavHeaderSize + 2 * static_cast<std::int64_t>(kLeadIn + samples + kTail);
}

std::string MakeWav(const std::vector<std::int16_t>& samples, std::int64_t size) {
    if (size < kWavHeaderSize || size % 2 != 0 || size > 0x7FFFFFFF)
        throw std::runtime_error("sound: a wave file can't be " + std::to_string(size) + " bytes");
    const auto room = static_cast<std::size_t>((size - kWavHeaderSize) / 2);
    std::vector<std::int16_t> data(room, 0);
    const std::size_t lead = std::min(kLeadIn, room / 8);
    const std::size_t n = std::min(samples.size(), room - lead);
    std::copy_n(samples.begin(), n, data.begin() + static_cast<std::ptrdiff_t>(lead));
    if (n < samples.size()) { // cut: fade the last of it out
        const std::size_t fade = std::min(kFade, n);
        for (std::size_t i = 0; i < fade; ++i) {
            auto& s = data[lead + n - fade + i];
            s = static_cast<std::int16_t>(s * static_cast<double>(fade - 1 - i) / fade);
        }
    }

    std::string out;
    out.reserve(static_cast<std::size_t>(size));
    const auto dataBytes = static_cast<std::uint32_t>(room * 2);
    out += "RIFF";
    PutLittleEndian(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLittleEndian(out, 16, 4);
    PutLittleEndian(out, 1, 2); // PCM
    PutLittleEndian(out, 1, 2); // channels
    PutLittleEndian(out, kSampleRate, 4);
    PutLittleEndian(out, kSampleRate * 2, 4); // bytes per second
    PutLittleEndian(out, 2, 2);               // bytes per frame
    PutLittleEndian(out, 16, 2);              // bits per sample
    out += "data";
    PutLittleEndian(out, dataBytes, 4);
    for (std::int16_t s : data)
        PutLittleEndian(out, static_cast<std::uint16_t>(s), 2);
    return out;
}

} // namespace kw::tools
