// Stand-in pictures: placeable Windows metafiles that draw the pictogram's name in a frame in
// its category's colour, with its number below.
#pragma once

#include <cstdint>
#include <string>

namespace kw::tools {

/// The picture of one pictogram, exactly `size` bytes (even, at least MinimumWmfSize): the
/// drawing, then comment records that fill it up. The name is UTF-8; the metafile holds it in
/// Windows-1252.
std::string MakeWmf(const std::string& name, const std::string& number, int category,
                    std::int64_t size);

/// The fewest bytes that the drawing of this pictogram takes.
std::int64_t MinimumWmfSize(const std::string& name, const std::string& number);

/// A category's colour as red, green and blue.
struct Rgb {
    std::uint8_t r, g, b;
};
Rgb CategoryColour(int category);

} // namespace kw::tools
