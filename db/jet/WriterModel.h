// What the writer's tests and its fuzz target keep beside the file: rows in a printed form that
// compares without order, the comparisons evaluated independently of the writer, and which
// inserts the writer must refuse, by the keys that the index code computes.
#pragma once

#include "db/jet/Jet.h"
#include "db/jet/Writer.h"

#include <set>
#include <string>
#include <vector>

namespace kw::jet::test {

using Row = std::vector<Value>;
using Rows = std::multiset<std::string>;

std::string Printed(const Row& row);
Rows RowsOf(const Database& db, const TableDef& table);
/// Every finding of the checker, one a line; empty for a sound file.
std::string Findings(const Database& db);

bool Compare(std::int64_t x, const Comparison& c);
/// Whether the row `row` is selected by `where` (columns by position in `columns`).
bool Selected(const TableDef& table, const Condition& where, const Row& row);

/// Whether the writer can store `v` in column `c`.
bool Packable(const Column& c, const Value& v);
/// Whether the writer changes `table` at all (no enforced relationship, no AutoNumber, no column
/// it can't fill).
bool Writable(const TableDef& table);

/// What the writer must refuse about inserting `row` beside `rows`: a missing value in a
/// required index, a value without a key, a repeated key in a unique index. Empty when the
/// insert must succeed; else a piece of the writer's message.
std::string Refusal(const TableDef& table, const Row& row, const std::vector<Row>& rows,
                    Version version);

} // namespace kw::jet::test
