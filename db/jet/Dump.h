// The text form of a database for people and tests: its schema and every row, tab-separated.
#pragma once

#include "db/jet/Jet.h"

#include <ostream>
#include <string>

namespace kw::jet {

/// The name of a column type as the dump prints it ("LONG", "TEXT", ...).
std::string TypeName(std::uint8_t type);

/// A value as the dump prints it: NULL as \N; text with backslash, tab, newline and carriage
/// return escaped; Single and Double in their shortest round-trip form ("444.555", "-3.5134E-4");
/// money with four decimals; dates as "1974-09-21T00:00" (seconds and milliseconds when set);
/// GUIDs as "{8E39276A-BCA8-4AC4-891E-49911D8438DD}"; bytes in hex.
std::string FormatValue(const Column& column, const Value& value);

/// Writes the file format, sort order, and per table (user tables, and system tables when
/// `withSystem`, by name) its columns, indexes (by name), row count and rows: sorted by the first
/// column, then the second, and so on; or, unless `sorted`, in file order and in memory bounded
/// by the page cache. Raises JetError.
void WriteDump(const Database& db, std::ostream& out, bool withSystem = false, bool sorted = true);

} // namespace kw::jet
