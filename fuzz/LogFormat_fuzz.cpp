// Any format text with any values gives a record or a raised LogFormatError, never a crash or
// an overrun; and the record converts to the code page one byte per character.
#include "log/Ansi.h"
#include "log/Log.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout: the first byte says how many of the following bytes describe values; the rest is
    // the format text.
    if (size == 0)
        return 0;
    std::size_t nValues = std::min<std::size_t>(data[0] % 8, size - 1);
    std::vector<kw::LogValue> values;
    for (std::size_t i = 1; i <= nValues; ++i) {
        std::uint8_t b = data[i];
        switch (b % 5) {
        case 0:
            values.emplace_back(std::string(b / 5 % 4, static_cast<char>('0' + b % 10)));
            break;
        case 1:
            values.emplace_back(static_cast<std::int16_t>(b * 257));
            break;
        case 2:
            values.emplace_back(
                static_cast<std::int32_t>(static_cast<std::uint32_t>(b) * 16777259u));
            break;
        case 3:
            values.emplace_back(b * 1e7 / 3.0 - 4e8);
            break;
        default:
            values.emplace_back(
                kw::DateTime{1899 + b % 200, 1 + b % 12, 1 + b % 28, b % 24, b % 60, b % 60});
        }
    }
    std::string format(reinterpret_cast<const char*>(data + 1 + nValues), size - 1 - nValues);
    try {
        std::string text = kw::FormatLogText(format, values);
        std::string ansi = kw::Utf8ToAnsi(text);
        if (ansi.size() > text.size())
            std::abort(); // conversion never grows the text
    } catch (const kw::LogFormatError&) {
    }
    return 0;
}
