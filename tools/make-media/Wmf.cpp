#include "tools/make-media/Wmf.h"

#include "log/Ansi.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace kw::tools {

namespace {

constexpr int kExtent = 5670; // 1440 units to the inch: 10 cm square
constexpr std::size_t kPlaceableWords = 11;
constexpr std::size_t kHeaderWords = 9;
constexpr std::size_t kEofWords = 3;
constexpr std::size_t kCommentWords = 5; // an empty comment record
constexpr std::size_t kMaxCommentData = 65000;

class Records {
public:
    // Starts a record of the given function; Close() fills in its size.
    Records& Begin(std::uint16_t function) {
        start_ = words_.size();
        words_.push_back(0);
        words_.push_back(0);
        words_.push_back(function);
        return *this;
    }
    Records& W(int v) {
        words_.push_back(static_cast<std::uint16_t>(v));
        return *this;
    }
    Records& D(std::uint32_t v) { return W(v & 0xFFFF).W(v >> 16); }
    Records& Bytes(const std::string& s) {
        for (std::size_t i = 0; i < s.size(); i += 2) {
            const auto lo = static_cast<unsigned char>(s[i]);
            const auto hi = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
            words_.push_back(static_cast<std::uint16_t>(lo | hi << 8));
        }
        return *this;
    }
    void Close() {
        const std::size_t size = words_.size() - start_;
        words_[start_] = static_cast<std::uint16_t>(size & 0xFFFF);
        words_[start_ + 1] = static_cast<std::uint16_t>(size >> 16);
        maxRecord_ = std::max(maxRecord_, size);
    }
    const std::vector<std::uint16_t>& Words() const { return words_; }
    std::size_t MaxRecord() const { return maxRecord_; }

private:
    std::vector<std::uint16_t> words_;
    std::size_t start_ = 0, maxRecord_ = 0;
};

std::uint32_t ColorRef(Rgb c) {
    return c.r | c.g << 8 | c.b << 16;
}

Rgb Tint(Rgb c, double keep) {
    auto mix = [&](std::uint8_t v) {
        return static_cast<std::uint8_t>(v * keep + 255 * (1 - keep) + 0.5);
    };
    return {mix(c.r), mix(c.g), mix(c.b)};
}

void Font(Records& r, int height, int weight) {
    r.Begin(0x02FB).W(-height).W(0).W(0).W(0).W(weight);
    // Not italic, underlined or struck out; ANSI characters; default precisions and quality;
    // variable pitch, Swiss family; the face name.
    r.W(0).W(0).W(0).W(0x22 << 8);
    r.Bytes(std::string("Arial\0", 6));
    r.Close();
}

void Text(Records& r, const std::string& ansi, int x, int y) {
    r.Begin(0x0521).W(static_cast<int>(ansi.size())).Bytes(ansi).W(y).W(x);
    r.Close();
}

// The drawing of one pictogram, without the comments that fill it up.
Records Drawing(const std::string& name, const std::string& number, int category) {
    const std::string ansi = Utf8ToAnsi(name);
    const Rgb colour = CategoryColour(category);
    Records r;
    r.Begin(0x020B).W(0).W(0).Close();             // SETWINDOWORG
    r.Begin(0x020C).W(kExtent).W(kExtent).Close(); // SETWINDOWEXT
    r.Begin(0x0102).W(1).Close();                  // SETBKMODE transparent
    // The frame: a rounded square in a light tint of the category's colour, edged in the colour.
    r.Begin(0x02FA).W(0).W(160).W(0).D(ColorRef(colour)).Close();      // CREATEPENINDIRECT: 0
    r.Begin(0x02FC).W(0).D(ColorRef(Tint(colour, 0.18))).W(0).Close(); // CREATEBRUSHINDIRECT: 1
    r.Begin(0x012D).W(0).Close();                                      // SELECTOBJECT pen
    r.Begin(0x012D).W(1).Close();                                      // SELECTOBJECT brush
    r.Begin(0x061C).W(900).W(900).W(kExtent - 200).W(kExtent - 200).W(200).W(200).Close();
    // The name across the middle, as large as its length allows.
    const int length = std::max<int>(3, static_cast<int>(ansi.size()));
    const int height = std::clamp(8400 / length, 320, 1100);
    r.Begin(0x012E).W(6 | 24).Close();   // SETTEXTALIGN centre, baseline
    r.Begin(0x0209).D(0x202020).Close(); // SETTEXTCOLOR
    Font(r, height, 700);                // CREATEFONTINDIRECT: 2
    r.Begin(0x012D).W(2).Close();
    Text(r, ansi, kExtent / 2, kExtent / 2 + height / 3);
    r.Begin(0x012D).W(0).Close(); // back to the pen, then drop the font
    r.Begin(0x01F0).W(2).Close(); // DELETEOBJECT
    // The number, small, near the bottom edge, in the category's colour.
    r.Begin(0x0209).D(ColorRef(colour)).Close();
    Font(r, 380, 400); // CREATEFONTINDIRECT: 2 again
    r.Begin(0x012D).W(2).Close();
    Text(r, number, kExtent / 2, kExtent - 520);
    r.Begin(0x012D).W(0).Close();
    for (int object = 2; object >= 0; --object)
        r.Begin(0x01F0).W(object).Close();
    return r;
}

} // namespace

Rgb CategoryColour(int category) {
    // Hues around the circle, a step of the golden angle apart, fairly dark and saturated.
    const double hue = std::fmod(category * 137.508, 360.0) / 60.0;
    const double c = 0.62, x = c * (1 - std::abs(std::fmod(hue, 2.0) - 1)), m = 0.12;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue)) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    auto byte = [&](double v) { return static_cast<std::uint8_t>((v + m) * 255 + 0.5); };
    return {byte(r), byte(g), byte(b)};
}

std::int64_t MinimumWmfSize(const std::string& name, const std::string& number) {
    return 2 * static_cast<std::int64_t>(kPlaceableWords + kHeaderWords +
                                         Drawing(name, number, 1).Words().size() + kEofWords);
}

std::string MakeWmf(const std::string& name, const std::string& number, int category,
                    std::int64_t size) {
    Records r = Drawing(name, number, category);
    if (size % 2 != 0 || size < MinimumWmfSize(name, number))
        throw std::runtime_error("picture " + number + ": no room in " + std::to_string(size) +
                                 " bytes");
    // Fill up with comment records of at most kMaxCommentData bytes, none shorter than empty.
    std::size_t fill = static_cast<std::size_t>(size / 2) - kPlaceableWords - kHeaderWords -
                       r.Words().size() - kEofWords;
    const std::string note = "Kwastor demo-pictogram " + number + ". ";
    while (fill > 0) {
        std::size_t words = std::min(fill, kCommentWords + kMaxCommentData / 2);
        if (fill - words > 0 && fill - words < kCommentWords)
            words = fill - kCommentWords;
        const std::size_t bytes = 2 * (words - kCommentWords);
        std::string data;
        while (data.size() < bytes)
            data += note;
        data.resize(bytes);
        r.Begin(0x0626).W(0x000F).W(static_cast<int>(bytes)).Bytes(data).Close(); // MFCOMMENT
        fill -= words;
    }
    r.Begin(0x0000).Close(); // EOF

    std::vector<std::uint16_t> words;
    // The placeable header: key, handle, bounding box, units per inch, reserved, checksum.
    words = {0xCDD7, 0x9AC6, 0, 0, 0, kExtent, kExtent, 1440, 0, 0};
    std::uint16_t checksum = 0;
    for (std::uint16_t w : words)
        checksum ^= w;
    words.push_back(checksum);
    // The metafile header: in memory, 9 words, version 3.0, size, objects, largest record.
    const std::size_t metaWords = kHeaderWords + r.Words().size();
    const std::size_t maxRecord = r.MaxRecord();
    words.insert(words.end(), {1, kHeaderWords, 0x0300, static_cast<std::uint16_t>(metaWords),
                               static_cast<std::uint16_t>(metaWords >> 16), 3,
                               static_cast<std::uint16_t>(maxRecord),
                               static_cast<std::uint16_t>(maxRecord >> 16), 0});
    words.insert(words.end(), r.Words().begin(), r.Words().end());

    std::string out;
    out.reserve(words.size() * 2);
    for (std::uint16_t w : words) {
        out += static_cast<char>(w & 0xFF);
        out += static_cast<char>(w >> 8);
    }
    return out;
}

} // namespace kw::tools
