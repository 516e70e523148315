#include "db/jet/RowFormat.h"

#include "db/jet/JetFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kw::jet {

namespace {

[[noreturn]] void Refuse(const Column& c, const std::string& why) {
    throw JetError("The value for column \"" + c.name + "\" " + why + ".");
}

void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::int64_t Whole(const Column& c, const Value& v, std::int64_t low, std::int64_t high) {
    const auto* i = std::get_if<std::int64_t>(&v);
    if (i == nullptr)
        Refuse(c, "is not a whole number");
    if (*i < low || *i > high)
        Refuse(c, std::string("(") + std::to_string(*i) + ") is outside the column's range " +
                      std::to_string(low) + " to " + std::to_string(high));
    return *i;
}

double Number(const Column& c, const Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    Refuse(c, "is not a number");
}

// The fixed part's bytes of a non-NULL value.
void PutFixed(std::vector<std::uint8_t>& out, std::size_t at, const Column& c, const Value& v) {
    switch (c.type) {
    case Type::Byte:
        PutLe(out, at, static_cast<std::uint64_t>(Whole(c, v, 0, 255)), 1);
        return;
    case Type::Integer:
        PutLe(out, at, static_cast<std::uint64_t>(Whole(c, v, -32768, 32767)), 2);
        return;
    case Type::Long:
        PutLe(out, at,
              static_cast<std::uint64_t>(Whole(c, v, std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max())),
              4);
        return;
    case Type::Currency: {
        const auto* money = std::get_if<Currency>(&v);
        const std::int64_t stored =
            money ? money->tenThousandths : Whole(c, v, -922337203685477, 922337203685477) * 10000;
        PutLe(out, at, static_cast<std::uint64_t>(stored), 8);
        return;
    }
    case Type::Single: {
        const auto f = static_cast<float>(Number(c, v));
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        PutLe(out, at, bits, 4);
        return;
    }
    case Type::Double:
    case Type::DateTime: {
        const auto* date = std::get_if<DateTime>(&v);
        if (c.type == Type::DateTime && date == nullptr)
            Refuse(c, "is not a date");
        const double d = date ? date->days : Number(c, v);
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        PutLe(out, at, bits, 8);
        return;
    }
    default:
        Refuse(c,
               "is of a kind (type " + std::to_string(c.type) + ") that the writer doesn't store");
    }
}

// A Text value as stored: Jet 4 as UCS-2, or "compressed Unicode" when the column asks for it,
// every character fits one byte and that makes it shorter; Jet 3 in Windows-1252.
std::vector<std::uint8_t> TextBytes(const Column& c, const Value& v, Version version) {
    std::string utf8;
    if (const auto* text = std::get_if<std::string>(&v))
        utf8 = *text;
    else if (const auto* i = std::get_if<std::int64_t>(&v))
        utf8 = std::to_string(*i);
    else
        Refuse(c, "is not a text");
    const std::u16string u = Utf8ToUtf16(utf8);
    std::vector<std::uint8_t> out;
    if (version == Version::Jet3) {
        for (const char16_t ch : u) {
            int byte = 0;
            while (byte < 256 && Windows1252ToUnicode(static_cast<std::uint8_t>(byte)) != ch)
                ++byte;
            if (byte == 256 || ch == 0 || ch == 0xFFFD)
                Refuse(c, "holds a character that the database's code page (Windows-1252) "
                          "doesn't have");
            out.push_back(static_cast<std::uint8_t>(byte));
        }
    } else if (c.compressed && u.size() > 2 &&
               std::all_of(u.begin(), u.end(), [](char16_t ch) { return ch > 0 && ch < 256; })) {
        out = {0xFF, 0xFE};
        for (const char16_t ch : u)
            out.push_back(static_cast<std::uint8_t>(ch));
    } else {
        for (const char16_t ch : u) {
            out.push_back(static_cast<std::uint8_t>(ch));
            out.push_back(static_cast<std::uint8_t>(ch >> 8));
        }
    }
    const std::size_t characters = version == Version::Jet3 ? c.length : c.length / 2u;
    if (u.size() > characters)
        Refuse(c, "is longer than the column's " + std::to_string(characters) + " characters");
    return out;
}

} // namespace

std::vector<std::uint8_t> PackRow(Version version, const TableDef& table, std::uint16_t columnCount,
                                  const std::vector<Value>& values) {
    if (values.size() != table.columns.size())
        throw JetError("Table \"" + table.name + "\" has " + std::to_string(table.columns.size()) +
                       " columns, but " + std::to_string(values.size()) + " values were given.");
    const bool jet3 = version == Version::Jet3;
    const std::size_t countSize = jet3 ? 1 : 2;
    std::size_t fixedEnd = 0, varCount = 0;
    for (const Column& c : table.columns) {
        if (c.number >= columnCount)
            throw JetError("Table \"" + table.name + "\" has a column beyond its rows' count.");
        if (c.fixed)
            fixedEnd = std::max(fixedEnd, c.fixedOffset + FixedSize(c));
        else
            varCount = std::max<std::size_t>(varCount, c.varIndex + 1u);
    }
    std::vector<std::uint8_t> row(countSize + fixedEnd, 0);
    PutLe(row, 0, columnCount, countSize);
    std::vector<std::uint8_t> mask((columnCount + 7) / 8, 0);
    std::vector<std::vector<std::uint8_t>> variable(varCount);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Column& c = table.columns[i];
        const Value& v = values[i];
        bool present = !std::holds_alternative<std::monostate>(v);
        if (c.type == Type::Boolean) {
            present = present && (std::holds_alternative<bool>(v) ? std::get<bool>(v)
                                                                  : Whole(c, v, -1, 1) != 0);
        } else if (present && c.fixed) {
            PutFixed(row, countSize + c.fixedOffset, c, v);
        } else if (present && c.type == Type::Text) {
            variable[c.varIndex] = TextBytes(c, v, version);
        } else if (present && c.type == Type::Binary) {
            // Stored as given, as the catalogue keeps an object's owner.
            const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&v);
            if (bytes == nullptr)
                Refuse(c, "is not binary data");
            if (bytes->size() > c.length)
                Refuse(c, "is longer than the column's " + std::to_string(c.length) + " bytes");
            variable[c.varIndex] = *bytes;
        } else if (present) {
            Refuse(c, "is of a kind (type " + std::to_string(c.type) +
                          ") that the writer doesn't store");
        }
        if (present)
            mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
    }
    if (varCount == 0) {
        row.insert(row.end(), mask.begin(), mask.end());
        return row;
    }
    // Offsets of the variable values from the row's start; the last one is where they end.
    std::vector<std::size_t> offsets;
    for (const auto& bytes : variable) {
        offsets.push_back(row.size());
        row.insert(row.end(), bytes.begin(), bytes.end());
    }
    offsets.push_back(row.size());
    if (!jet3) {
        for (std::size_t i = offsets.size(); i-- > 0;) {
            row.push_back(static_cast<std::uint8_t>(offsets[i]));
            row.push_back(static_cast<std::uint8_t>(offsets[i] >> 8));
        }
        row.push_back(static_cast<std::uint8_t>(varCount));
        row.push_back(static_cast<std::uint8_t>(varCount >> 8));
    } else {
        // One-byte offsets; the jump table names, per 256 bytes of row, the first offset at or
        // beyond that boundary. Its size follows from the row's size, which includes it.
        std::size_t jumps = 0;
        while ((row.size() + offsets.size() + jumps + 1 + mask.size() - 1) / 256 > jumps)
            ++jumps;
        for (std::size_t i = offsets.size(); i-- > 0;)
            row.push_back(static_cast<std::uint8_t>(offsets[i]));
        for (std::size_t j = jumps; j-- > 0;) {
            const auto first = std::find_if(offsets.begin(), offsets.end(),
                                            [&](std::size_t o) { return o >= (j + 1) * 256; });
            row.push_back(first == offsets.end()
                              ? std::uint8_t{0xFF}
                              : static_cast<std::uint8_t>(first - offsets.begin()));
        }
        row.push_back(static_cast<std::uint8_t>(varCount));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

} // namespace kw::jet
