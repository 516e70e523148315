#include "db/jet/Dump.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kw::jet {

namespace {

// The shortest digits that read back as `value`, printed as Java prints floating-point numbers:
// plain between 10^-3 and 10^7 with at least one decimal, else "d.dddE<exp>".
template <typename F> std::string ShortestNumber(F value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    if (value == 0) {
        return std::signbit(value) ? "-0.0" : "0.0";
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string sci(buf, res.ptr);
    const std::size_t e = sci.find('e');
    std::string mantissa = sci.substr(0, e);
    const int exponent = std::stoi(sci.substr(e + 1));
    const bool negative = mantissa[0] == '-';
    if (negative) {
        mantissa.erase(0, 1);
    }
    std::string digits;
    for (char c : mantissa) {
        if (c != '.') {
            digits.push_back(c);
        }
    }
    std::string out = negative ? "-" : "";
    if (exponent >= -3 && exponent < 7) {
        if (exponent < 0) {
            out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        } else {
            const auto intLen = static_cast<std::size_t>(exponent + 1);
            if (digits.size() <= intLen) {
                out += digits + std::string(intLen - digits.size(), '0') + ".0";
            } else {
                out += digits.substr(0, intLen) + "." + digits.substr(intLen);
            }
        }
    } else {
        out += digits.substr(0, 1) + "." + (digits.size() > 1 ? digits.substr(1) : "0") + "E" +
               std::to_string(exponent);
    }
    return out;
}

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

// Year, month, day of a count of days since 1970-01-01 (proleptic Gregorian calendar).
void CivilDate(std::int64_t days, std::int64_t& y, unsigned& m, unsigned& d) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// An OLE date: whole days since 1899-12-30, the time of day as the fraction's magnitude.
std::string FormatDate(double oleDays) {
    if (!std::isfinite(oleDays) || std::fabs(oleDays) > 3e6) {
        return ShortestNumber(oleDays);
    }
    std::int64_t day = static_cast<std::int64_t>(std::trunc(oleDays));
    auto ms = static_cast<std::int64_t>(
        std::llround(std::fabs(oleDays - std::trunc(oleDays)) * 86400000.0));
    if (ms >= 86400000) {
        ms -= 86400000;
        day += oleDays < 0 ? -1 : 1;
    }
    std::int64_t y;
    unsigned m, d;
    CivilDate(day - 25569, y, m, d);
    char buf[64];
    const auto h = ms / 3600000, min = ms / 60000 % 60, s = ms / 1000 % 60, frac = ms % 1000;
    int n =
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld", static_cast<long long>(y),
                      m, d, static_cast<long long>(h), static_cast<long long>(min));
    if (s != 0 || frac != 0) {
        n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ":%02lld",
                           static_cast<long long>(s));
    }
    if (frac != 0) {
        std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%03lld",
                      static_cast<long long>(frac));
    }
    return buf;
}

std::string FormatGuid(const Guid& g) {
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    char buf[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            out += '-';
        }
        std::snprintf(buf, sizeof buf, "%02X", g.bytes[static_cast<std::size_t>(kOrder[i])]);
        out += buf;
    }
    return out + "}";
}

// A decimal string of `digits` with `scale` of them after the point.
std::string WithScale(const std::string& digits, unsigned scale, bool negative) {
    const std::string padded =
        digits.size() <= scale ? std::string(scale + 1 - digits.size(), '0') + digits : digits;
    std::string out;
    if (negative) {
        out.push_back('-');
    }
    out.append(padded, 0, padded.size() - scale);
    if (scale > 0) {
        out.push_back('.');
        out.append(padded, padded.size() - scale, scale);
    }
    return out;
}

std::string FormatNumeric(const Numeric& n) {
    // 128-bit magnitude to decimal by repeated division of four 32-bit limbs.
    std::uint32_t limbs[4] = {
        static_cast<std::uint32_t>(n.high >> 32), static_cast<std::uint32_t>(n.high),
        static_cast<std::uint32_t>(n.low >> 32), static_cast<std::uint32_t>(n.low)};
    std::string digits;
    while (limbs[0] | limbs[1] | limbs[2] | limbs[3]) {
        std::uint64_t rest = 0;
        for (auto& limb : limbs) {
            const std::uint64_t cur = (rest << 32) | limb;
            limb = static_cast<std::uint32_t>(cur / 10);
            rest = cur % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rest));
    }
    if (digits.empty()) {
        digits.push_back('0');
    }
    return WithScale(digits, n.scale, n.negative && digits != "0");
}

std::string FormatCurrency(std::int64_t v) {
    const bool negative = v < 0;
    const std::uint64_t mag =
        negative ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
    return WithScale(std::to_string(mag), 4, negative);
}

// Orders NULL first, then by value; numbers by magnitude, text by code point.
int CompareValues(const Value& a, const Value& b) {
    if (a.index() != b.index()) {
        return a.index() < b.index() ? -1 : 1;
    }
    auto cmp = [](const auto& x, const auto& y) {
        if constexpr (std::is_floating_point_v<std::decay_t<decltype(x)>>) {
            if (std::isnan(x) || std::isnan(y)) { // NaN last, so that sorting stays well-defined
                return std::isnan(x) == std::isnan(y) ? 0 : (std::isnan(x) ? 1 : -1);
            }
        }
        return x < y ? -1 : (y < x ? 1 : 0);
    };
    return std::visit(
        [&](const auto& x) -> int {
            using T = std::decay_t<decltype(x)>;
            const T& y = std::get<T>(b);
            if constexpr (std::is_same_v<T, std::monostate>) {
                return 0;
            } else if constexpr (std::is_same_v<T, Currency>) {
                return cmp(x.tenThousandths, y.tenThousandths);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return cmp(x.days, y.days);
            } else if constexpr (std::is_same_v<T, Guid>) {
                return cmp(x.bytes, y.bytes);
            } else if constexpr (std::is_same_v<T, Numeric>) {
                return cmp(std::tie(x.negative, x.high, x.low),
                           std::tie(y.negative, y.high, y.low));
            } else if constexpr (std::is_same_v<T, std::string>) {
                return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
            } else {
                return cmp(x, y);
            }
        },
        a);
}

} // namespace

std::string TypeName(std::uint8_t type) {
    switch (type) {
    case Type::Boolean:
        return "BOOLEAN";
    case Type::Byte:
        return "BYTE";
    case Type::Integer:
        return "INT";
    case Type::Long:
        return "LONG";
    case Type::Currency:
        return "MONEY";
    case Type::Single:
        return "FLOAT";
    case Type::Double:
        return "DOUBLE";
    case Type::DateTime:
        return "SHORT_DATE_TIME";
    case Type::Binary:
        return "BINARY";
    case Type::Text:
        return "TEXT";
    case Type::Ole:
        return "OLE";
    case Type::Memo:
        return "MEMO";
    case Type::Guid:
        return "GUID";
    case Type::Numeric:
        return "NUMERIC";
    default:
        return "UNKNOWN_" + std::to_string(type);
    }
}

std::string FormatValue(const Column& column, const Value& value) {
    return std::visit(
        [&](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return "\\N";
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return column.type == Type::Single ? ShortestNumber(static_cast<float>(v))
                                                   : ShortestNumber(v);
            } else if constexpr (std::is_same_v<T, Currency>) {
                return FormatCurrency(v.tenThousandths);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return FormatDate(v.days);
            } else if constexpr (std::is_same_v<T, Guid>) {
                return FormatGuid(v);
            } else if constexpr (std::is_same_v<T, Numeric>) {
                return FormatNumeric(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return Escaped(v);
            } else {
                std::string hex;
                char buf[3];
                for (std::uint8_t b : v) {
                    std::snprintf(buf, sizeof buf, "%02x", b);
                    hex += buf;
                }
                return hex;
            }
        },
        value);
}

void WriteDump(const Database& db, std::ostream& out, bool withSystem, bool sorted) {
    const SortOrder order = db.GetSortOrder();
    out << "# file-format\t" << db.FileFormat() << "\n# sort-order\tSortOrder[" << order.value
        << "(" << order.version << ")]\n";
    const bool jet4 = db.GetVersion() == Version::Jet4;
    for (const TableDef& t : db.Tables(withSystem)) {
        out << "# table\t" << t.name << "\n";
        for (const Column& c : t.columns) {
            const bool text = c.type == Type::Text || c.type == Type::Memo;
            out << "# column\t" << c.name << "\t" << TypeName(c.type) << "\t"
                << (text && jet4 ? c.length / 2 : c.length) << "\n";
        }
        std::vector<LogicalIndex> indexes = t.indexes;
        std::sort(indexes.begin(), indexes.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        for (const LogicalIndex& x : indexes) {
            const IndexData& data = t.indexData[static_cast<std::size_t>(x.dataNumber)];
            out << "# index\t" << x.name << "\t";
            for (std::size_t i = 0; i < data.columns.size(); ++i) {
                const Column* c = t.ColumnByNumber(data.columns[i].columnNumber);
                out << (i ? "," : "") << (c ? c->name : "?") << " "
                    << (data.columns[i].ascending ? "ASC" : "DESC");
            }
            out << "\t" << (x.kind == IndexKind::Primary ? "primary" : "-") << "\t"
                << (data.flags & IndexFlag::Unique ? "unique" : "non-unique");
            if (data.flags & IndexFlag::IgnoreNulls) {
                out << "\tignore-nulls";
            }
            if (x.kind == IndexKind::ForeignKey) {
                out << "\tforeign-key";
            }
            if (data.flags & IndexFlag::Required) {
                out << "\trequired";
            }
            out << "\n";
        }
        auto print = [&](const std::vector<Value>& row) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                out << (i ? "\t" : "") << FormatValue(t.columns[i], row[i]);
            }
            out << "\n";
        };
        if (!sorted) {
            // Two passes, so that memory stays bounded by the page cache whatever the table's size.
            std::uint64_t count = 0;
            db.ForEachRow(t, [&](RowId, const std::vector<Value>&) { ++count; });
            out << "# rows\t" << count << "\n";
            db.ForEachRow(t, [&](RowId, const std::vector<Value>& row) { print(row); });
            continue;
        }
        std::vector<std::vector<Value>> rows;
        db.ForEachRow(t, [&](RowId, const std::vector<Value>& row) { rows.push_back(row); });
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
                if (const int c = CompareValues(a[i], b[i])) {
                    return c < 0;
                }
            }
            return false;
        });
        out << "# rows\t" << rows.size() << "\n";
        for (const auto& row : rows) {
            print(row);
        }
    }
}

} // namespace kw::jet
