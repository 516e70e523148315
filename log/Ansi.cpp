#include "log/Ansi.h"

#include "sys/CodePage.h"

#include <array>
#include <cstdint>

namespace kw {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks the five unassigned ones.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToByte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c && c != 0)
            return static_cast<char>(0x80 + i);
    return '?';
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when it is malformed.
std::size_t Decode(std::string_view s, std::size_t i, char32_t& out) {
    auto b = static_cast<std::uint8_t>(s[i]);
    std::size_t len;
    char32_t min;
    if (b < 0x80) {
        out = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        len = 2, out = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, out = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, out = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        auto c = static_cast<std::uint8_t>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        out = (out << 6) | (c & 0x3F);
    }
    if (out < min || out > 0x10FFFF || (out >= 0xD800 && out <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
    if (AnsiCodePage() != 1252)
        return ToSystemText(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c;
        std::size_t len = Decode(utf8, i, c);
        if (len == 0) {
            out += '?';
            ++i;
        } else {
            out += ToByte(c);
            i += len;
        }
    }
    return out;
}

} // namespace kw
