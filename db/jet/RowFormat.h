// A row as Access stores it on a data page: the column count, the fixed part, the variable part,
// the variable offsets (Jet 3 with its jump table) and the null mask.
#pragma once

#include "db/jet/Jet.h"

#include <cstdint>
#include <vector>

namespace kw::jet {

/// The bytes of a row of `table` that holds `values` (one per column of `table.columns`, in that
/// order) in a table whose rows carry `columnCount` columns. Raises JetError, naming the column,
/// for a value that the column can't hold or that the writer doesn't store (Memo, OLE,
/// fixed-length binary, GUID and decimal data).
std::vector<std::uint8_t> PackRow(Version version, const TableDef& table, std::uint16_t columnCount,
                                  const std::vector<Value>& values);

} // namespace kw::jet
