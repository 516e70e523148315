// The bytes Access stores in an index entry for a row: per indexed column a flag byte and the value
// encoded so that comparing entries byte by byte gives the index's order. Text follows the
// database's sort order ("General" of Jet 4, 1033 version 0, and "General" of Access 97).
#pragma once

#include "db/jet/Jet.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw::jet {

using KeyBytes = std::vector<std::uint8_t>;

/// A computed key, or why it can't be computed: a value for which the encoder has no ground truth
/// (a character outside its tables, a type whose keys it doesn't know). Never a guess.
struct KeyResult {
    KeyBytes bytes;
    std::string unencodable; // non-empty: the key is unknown, for this reason

    bool Ok() const { return unencodable.empty(); }
};

/// Appends the key part of `value` of `column` (flag byte and encoded value). Returns false and
/// sets `why` when the value can't be encoded; `out` is then incomplete.
bool AppendColumnKey(KeyBytes& out, const Value& value, const Column& column, bool ascending,
                     Version version, std::string& why);

/// Appends the key part of a Text value given as UTF-8 (flag byte included).
bool AppendTextKey(KeyBytes& out, std::string_view utf8, bool ascending, Version version,
                   std::string& why);

/// The key of `row` (values in the order of `table.columns`) in `index`.
KeyResult ComputeKey(const TableDef& table, const IndexData& index, const std::vector<Value>& row,
                     Version version);

/// How many columns of `index` are NULL in `row`. Rows with all of them NULL are left out of an
/// index that ignores nulls; rows with any of them NULL may repeat in a unique index.
std::size_t NullKeyColumns(const TableDef& table, const IndexData& index,
                           const std::vector<Value>& row);

/// Lower-case hex of `bytes`, as the tools print keys.
std::string HexOf(std::span<const std::uint8_t> bytes);

} // namespace kw::jet
