// The program's one database connection and the SQL operations that everything else uses.
// Failures are shown ("Er is een fout opgetreden:"), logged and turned into a failure value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace kw {

/// A column value: SQL NULL, a whole number, a floating-point number, or text (UTF-8).
using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string>;

/// A forward-only, read-only result set positioned on its first row.
class Recordset {
public:
    virtual ~Recordset() = default;
    /// The named column (or alias) of the current row. Raises Failure when there is no current
    /// row or no such column.
    virtual FieldValue Field(const std::string& name) = 0;
    /// Moves to the next row; false at the end.
    virtual bool MoveNext() = 0;
    virtual bool IsOpen() const = 0;
    /// Closes the result set; raises Failure when the engine reports an error.
    virtual void Close() = 0;
};

/// Opens the database file at path, closing any open connection first.
void Connect(const std::string& path);
bool IsConnected();
/// Closes the connection; every error is ignored.
void Disconnect();
/// Runs a statement that changes data; the engine's records-affected count, or -1 on failure.
std::int32_t ExecuteSQL(const std::string& sql);
/// Runs a query; null on failure.
std::unique_ptr<Recordset> OpenRSBySQL(const std::string& sql, bool forwardOnly);
/// Closes the result set if it is open; a failure is only logged.
void CloseRS(Recordset* rs);

} // namespace kw
