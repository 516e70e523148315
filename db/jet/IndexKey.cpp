#include "db/jet/IndexKey.h"

#include <array>
#include <bit>
#include <cstring>
#include <optional>

namespace kw::jet {
namespace {

constexpr std::uint8_t kFlagAscending = 0x7F, kNullAscending = 0x00;
constexpr std::uint8_t kTextEnd = 0x00;

// --- Jet 3, "General" of Access 97 -----------------------------------------------------------
// Per byte of the code page: its main weights (one or two bytes; none = no ground truth) and its
// accent code (0 = none). Read from the keys that Access 97 stored for every byte value in
// testIndexCodesV1997.mdb (table Table14, "a<byte>a"); bytes 0x00 and 0x1A never reached an
// index there.
struct Jet3Char {
    std::uint8_t w1, w2, accent;
};
constexpr Jet3Char kJet3Chars[256] = {
#include "db/jet/Jet3General97.inc"
};
// The accent section counts letters and passes over symbols (below the digits in weight): the
// files show it for '-', the no-break space and the florin sign. How digits and letters of two
// weights (ß, æ, œ) count there is not shown.
constexpr std::uint8_t kJet3Digits = 0x56;
constexpr bool Jet3SkippedInAccents(const Jet3Char& c) {
    return c.w1 < kJet3Digits && c.w2 == 0;
}
constexpr bool Jet3Letter(const Jet3Char& c) {
    return c.w1 >= 0x60 && c.w2 == 0;
}

// The code page's characters 0x80-0x9F (the rest of Windows-1252 equals Latin-1). The five bytes
// it leaves undefined read as U+FFFD or as the control character of the same number; Access 97
// gives all five one key (that of the control characters), so either form has a known key.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr char32_t kReplacement = 0xFFFD;
constexpr std::uint8_t kUndefinedByte = 0x81;

std::optional<std::uint8_t> ToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<std::uint8_t>(c);
    if (c == kReplacement)
        return kUndefinedByte;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

// Decodes UTF-8; false on a malformed sequence.
bool DecodeUtf8(std::string_view s, std::u32string& out) {
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size())
            return false;
        char32_t c = len == 1 ? b : b & (0x7F >> len);
        for (int k = 1; k < len; ++k) {
            auto cont = static_cast<unsigned char>(s[i + k]);
            if ((cont & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (cont & 0x3F);
        }
        out.push_back(c);
        i += len;
    }
    return true;
}

std::string CharName(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

bool Jet3TextKey(const std::u32string& text, KeyBytes& out, std::string& why) {
    std::vector<std::uint8_t> accents; // one per counted letter
    bool anyAccent = false;
    bool positionsKnown = true;
    for (char32_t c : text) {
        auto b = ToCp1252(c);
        if (!b) {
            why = "character " + CharName(c) + " is not in the code page";
            return false;
        }
        const Jet3Char& ch = kJet3Chars[*b];
        if (ch.w1 == 0) {
            why = "no key is known for code page byte " + HexOf(KeyBytes{*b});
            return false;
        }
        out.push_back(ch.w1);
        if (ch.w2)
            out.push_back(ch.w2);
        if (ch.accent) {
            if (!positionsKnown) {
                why = "accent positions after " + CharName(c) + " are not known";
                return false;
            }
            anyAccent = true;
        }
        if (Jet3Letter(ch))
            accents.push_back(ch.accent ? ch.accent : 2);
        else if (!Jet3SkippedInAccents(ch))
            positionsKnown = false; // how it counts in the accent section is unknown
    }
    if (!anyAccent) {
        out.push_back(kTextEnd);
        return true;
    }
    // Accent section in nibbles: 0, one code per letter (2 = none; trailing ones left out), 0.
    while (!accents.empty() && accents.back() == 2)
        accents.pop_back();
    std::vector<std::uint8_t> nibbles{0};
    nibbles.insert(nibbles.end(), accents.begin(), accents.end());
    nibbles.push_back(0);
    if (nibbles.size() % 2)
        nibbles.push_back(0);
    for (std::size_t i = 0; i < nibbles.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(nibbles[i] << 4 | nibbles[i + 1]));
    return true;
}

// --- Jet 4, "General" 1033 version 0 -----------------------------------------------------------
// Per character U+0000-U+00FF: either main weights (one or two bytes) and an accent code (0 =
// none), or, for characters left out of the main weights (controls, `'`, `-`, soft hyphen), the
// code they get in a section of their own. Read from the key that Access stored for the text of
// every character U+0001-U+00FF in testUnicodeCompV2003.mdb, and checked against the keys of
// picbase-V2000-text.pbd. Case is ignored; accented letters weigh as their base letter.
struct Jet4Char {
    std::uint8_t special, w1, w2, code;
};
constexpr Jet4Char kJet4Chars[256] = {
#include "db/jet/Jet4General.inc"
};
constexpr std::uint8_t kJet4NoAccent = 0x02;
constexpr std::uint8_t kSectionEnd = 0x01;

// Characters known to take exactly one place in the accent section. For the others the files
// leave it open, so an accent after one of them can't be placed.
bool Jet4AccentPlaceKnown(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U' ' || c >= 0xAA;
}

bool Jet4TextKey(const std::u32string& text, KeyBytes& out, std::string& why) {
    std::vector<std::uint8_t> accents;
    std::vector<std::pair<std::size_t, std::uint8_t>> specials; // main weights before it, code
    bool placesKnown = true;
    for (char32_t c : text) {
        if (c == 0 || c > 0xFF) {
            why = "no key is known for character " + CharName(c);
            return false;
        }
        const Jet4Char& ch = kJet4Chars[c];
        if (ch.special) {
            specials.emplace_back(accents.size(), ch.code);
            placesKnown = false;
            continue;
        }
        if (ch.code && !placesKnown) {
            why =
                "the accent of " + CharName(c) + " can't be placed after the characters before it";
            return false;
        }
        placesKnown = placesKnown && Jet4AccentPlaceKnown(c);
        out.push_back(ch.w1);
        if (ch.w2)
            out.push_back(ch.w2);
        accents.push_back(ch.code ? ch.code : kJet4NoAccent);
    }
    while (!accents.empty() && accents.back() == kJet4NoAccent)
        accents.pop_back();
    out.push_back(kSectionEnd);
    out.insert(out.end(), accents.begin(), accents.end());
    if (!specials.empty()) {
        // The sections between stay empty; then each left-out character by place and code.
        out.insert(out.end(), {kSectionEnd, kSectionEnd, kSectionEnd});
        for (auto [place, code] : specials) {
            unsigned where = 0x8000u + 7u + 4u * static_cast<unsigned>(place);
            if (where > 0xFFFF) {
                why = "the text is too long for its key";
                return false;
            }
            out.insert(out.end(), {static_cast<std::uint8_t>(where >> 8),
                                   static_cast<std::uint8_t>(where), std::uint8_t{0x06}, code});
        }
    }
    out.push_back(kTextEnd);
    return true;
}

// --- fixed-size values ---------------------------------------------------------------------------
void AppendBigEndian(KeyBytes& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Signed integers: sign bit flipped, so that negatives sort first.
void AppendSigned(KeyBytes& out, std::int64_t v, int bytes) {
    auto u = static_cast<std::uint64_t>(v) ^ (std::uint64_t{1} << (8 * bytes - 1));
    AppendBigEndian(out, u, bytes);
}

// IEEE numbers: positives get the sign bit set, negatives have every bit inverted.
void AppendFloat(KeyBytes& out, std::uint64_t bits, int bytes) {
    std::uint64_t sign = std::uint64_t{1} << (8 * bytes - 1);
    std::uint64_t mask = bytes == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * bytes)) - 1;
    AppendBigEndian(out, (bits & sign) ? (~bits & mask) : (bits | sign), bytes);
}

// A GUID in its canonical byte order, in segments of 8 bytes each followed by 0x09 when more
// follows and by the count of its bytes at the end.
constexpr std::uint8_t kSegmentMore = 0x09;
void AppendGuid(KeyBytes& out, const Guid& g, std::size_t& start) {
    const auto& b = g.bytes;
    std::uint8_t canon[16] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
    std::memcpy(canon + 8, b.data() + 8, 8);
    out.insert(out.end(), canon, canon + 8);
    out.push_back(kSegmentMore);
    start = out.size(); // the marker itself is not inverted in descending keys
    out.insert(out.end(), canon + 8, canon + 16);
    out.push_back(8);
}

} // namespace

std::string HexOf(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

bool AppendTextKey(KeyBytes& out, std::string_view utf8, bool ascending, Version version,
                   std::string& why) {
    std::u32string text;
    if (!DecodeUtf8(utf8, text)) {
        why = "text is not valid UTF-8";
        return false;
    }
    std::size_t start = out.size();
    out.push_back(kFlagAscending);
    bool ok = version == Version::Jet3 ? Jet3TextKey(text, out, why) : Jet4TextKey(text, out, why);
    if (ok && !ascending)
        for (std::size_t i = start; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    return ok;
}

bool AppendColumnKey(KeyBytes& out, const Value& value, const Column& column, bool ascending,
                     Version version, std::string& why) {
    if (std::holds_alternative<std::monostate>(value)) {
        out.push_back(ascending ? kNullAscending : static_cast<std::uint8_t>(~kNullAscending));
        return true;
    }
    if (column.type == Type::Text || column.type == Type::Memo) {
        if (const auto* s = std::get_if<std::string>(&value))
            return AppendTextKey(out, *s, ascending, version, why);
    }
    std::size_t start = out.size();
    out.push_back(kFlagAscending);
    std::size_t invertFrom = start;
    bool done = true;
    switch (column.type) {
    case Type::Boolean:
        if (const auto* b = std::get_if<bool>(&value))
            out.push_back(*b ? 0x00 : 0xFF); // True (-1) sorts before False (0)
        else
            done = false;
        break;
    case Type::Byte:
    case Type::Integer:
    case Type::Long:
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            if (column.type == Type::Byte)
                out.push_back(static_cast<std::uint8_t>(*i));
            else
                AppendSigned(out, *i, column.type == Type::Integer ? 2 : 4);
        } else {
            done = false;
        }
        break;
    case Type::Currency:
        if (const auto* c = std::get_if<Currency>(&value))
            AppendSigned(out, c->tenThousandths, 8);
        else
            done = false;
        break;
    case Type::Single:
    case Type::Double:
    case Type::DateTime: {
        double d = 0;
        if (const auto* v = std::get_if<double>(&value))
            d = *v;
        else if (const auto* t = std::get_if<DateTime>(&value))
            d = t->days;
        else {
            done = false;
            break;
        }
        if (column.type == Type::Single)
            AppendFloat(out, std::bit_cast<std::uint32_t>(static_cast<float>(d)), 4);
        else
            AppendFloat(out, std::bit_cast<std::uint64_t>(d), 8);
        break;
    }
    case Type::Guid:
        if (const auto* g = std::get_if<Guid>(&value)) {
            std::size_t secondHalf = 0;
            AppendGuid(out, *g, secondHalf);
            if (!ascending) {
                for (std::size_t i = start; i + 1 < secondHalf; ++i)
                    out[i] = static_cast<std::uint8_t>(~out[i]);
                invertFrom = secondHalf;
            }
        } else {
            done = false;
        }
        break;
    default:
        why = "keys of column type " + std::to_string(column.type) + " are not known";
        return false;
    }
    if (!done) {
        why = "value does not match the column's type";
        return false;
    }
    if (!ascending)
        for (std::size_t i = invertFrom; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    return true;
}

namespace {
const Value* KeyValue(const TableDef& table, const IndexColumn& ic, const std::vector<Value>& row) {
    for (std::size_t i = 0; i < table.columns.size() && i < row.size(); ++i)
        if (table.columns[i].number == ic.columnNumber)
            return &row[i];
    return nullptr;
}
} // namespace

KeyResult ComputeKey(const TableDef& table, const IndexData& index, const std::vector<Value>& row,
                     Version version) {
    KeyResult result;
    for (const IndexColumn& ic : index.columns) {
        const Column* column = table.ColumnByNumber(ic.columnNumber);
        const Value* value = KeyValue(table, ic, row);
        if (!column || !value) {
            result.unencodable = "the index names column " + std::to_string(ic.columnNumber) +
                                 ", which the table lacks";
            return result;
        }
        std::string why;
        if (!AppendColumnKey(result.bytes, *value, *column, ic.ascending, version, why)) {
            result.unencodable = "column " + column->name + ": " + why;
            return result;
        }
    }
    return result;
}

std::size_t NullKeyColumns(const TableDef& table, const IndexData& index,
                           const std::vector<Value>& row) {
    std::size_t nulls = 0;
    for (const IndexColumn& ic : index.columns) {
        const Value* v = KeyValue(table, ic, row);
        if (!v || std::holds_alternative<std::monostate>(*v))
            ++nulls;
    }
    return nulls;
}

} // namespace kw::jet
