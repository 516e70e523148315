#include "db/jet/WriterModel.h"

#include "db/jet/Check.h"
#include "db/jet/IndexKey.h"

#include <algorithm>
#include <map>

namespace kw::jet::test {

std::string Printed(const Row& row) {
    std::string out;
    for (const Value& v : row) {
        // Appended piece by piece: g++ 12 at -O3 sees a false overlap in "'" + text.
        if (const auto* i = std::get_if<std::int64_t>(&v)) {
            out += std::to_string(*i);
        } else if (const auto* s = std::get_if<std::string>(&v)) {
            out += '\'';
            out += *s;
            out += '\'';
        } else if (const auto* b = std::get_if<bool>(&v)) {
            out += *b ? "true" : "false";
        } else if (const auto* d = std::get_if<double>(&v)) {
            out += std::to_string(*d);
        } else if (const auto* t = std::get_if<DateTime>(&v)) {
            out += '#';
            out += std::to_string(t->days);
        } else if (std::holds_alternative<std::monostate>(v)) {
            out += "NULL";
        } else {
            out += "?";
        }
        out += "|";
    }
    return out;
}

Rows RowsOf(const Database& db, const TableDef& table) {
    Rows rows;
    db.ForEachRow(table, [&](RowId, const Row& row) { rows.insert(Printed(row)); });
    return rows;
}

std::string Findings(const Database& db) {
    std::string out;
    for (const Finding& f : Check(db))
        out += f.ToString() + "\n";
    return out;
}

bool Compare(std::int64_t x, const Comparison& c) {
    using Op = Comparison::Op;
    const std::map<Op, bool> result = {
        {Op::Equal, x == c.value},     {Op::NotEqual, x != c.value},
        {Op::Less, x < c.value},       {Op::Greater, x > c.value},
        {Op::LessEqual, x <= c.value}, {Op::GreaterEqual, x >= c.value}};
    return result.at(c.op);
}

bool Selected(const TableDef& table, const Condition& where, const Row& row) {
    return std::all_of(where.begin(), where.end(), [&](const Comparison& c) {
        for (std::size_t i = 0; i < table.columns.size(); ++i)
            if (SameName(table.columns[i].name, c.column)) {
                const auto* x = std::get_if<std::int64_t>(&row[i]);
                return x != nullptr && Compare(*x, c);
            }
        return false;
    });
}

bool Packable(const Column& c, const Value& v) {
    // The reader shows Windows-1252's undefined bytes as U+FFFD, which names no byte.
    if (const auto* s = std::get_if<std::string>(&v); s && s->find("\xEF\xBF\xBD") != s->npos)
        return false;
    switch (c.type) {
    case Type::Boolean:
    case Type::Byte:
    case Type::Integer:
    case Type::Long:
    case Type::Currency:
    case Type::Single:
    case Type::Double:
    case Type::DateTime:
    case Type::Text:
        return true;
    case Type::Binary: {
        const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&v);
        return std::holds_alternative<std::monostate>(v) ||
               (!c.fixed && bytes != nullptr && bytes->size() <= c.length);
    }
    default:
        return std::holds_alternative<std::monostate>(v);
    }
}

bool Writable(const TableDef& t) {
    if (std::any_of(t.indexes.begin(), t.indexes.end(),
                    [](const LogicalIndex& x) { return x.kind == IndexKind::ForeignKey; }))
        return false;
    return std::all_of(t.columns.begin(), t.columns.end(), [](const Column& c) {
        return !(c.flags & (ColumnFlag::AutoNumber | ColumnFlag::AutoGuid)) &&
               Packable(c, Value(std::int64_t{0}));
    });
}

std::string Refusal(const TableDef& table, const Row& row, const std::vector<Row>& rows,
                    Version version) {
    for (const IndexData& x : table.indexData) {
        if ((x.flags & IndexFlag::Required) && (NullKeyColumns(table, x, row) > 0))
            return "requires a value";
        if (!ComputeKey(table, x, row, version).Ok())
            return "can't be put into the index";
    }
    for (const IndexData& x : table.indexData) {
        if (!(x.flags & IndexFlag::Unique) || (NullKeyColumns(table, x, row) > 0))
            continue;
        const KeyBytes key = ComputeKey(table, x, row, version).bytes;
        for (const Row& other : rows)
            if (!(NullKeyColumns(table, x, other) > 0) &&
                ComputeKey(table, x, other, version).bytes == key)
                return "allows each value once";
    }
    return {};
}

} // namespace kw::jet::test
