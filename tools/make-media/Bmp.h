// Stand-in thumbnails: 60 pixels wide, 32 bits per pixel, uncompressed BMP files that show the
// pictogram small: its frame, its name and its number. Needs a QGuiApplication.
#pragma once

#include <cstdint>
#include <string>

namespace kw::tools {

inline constexpr int kThumbWidth = 60;

/// The size of a thumbnail of this height: file header, information header and pixels.
inline constexpr std::int64_t BmpSize(int height) {
    return 14 + 40 + kThumbWidth * height * 4;
}

std::string MakeBmp(const std::string& name, const std::string& number, int category, int height);

} // namespace kw::tools
