// The program's one database connection and the SQL operations that everything else uses.
// Failures are shown ("Er is een fout opgetreden:"), logged and turned into a failure value.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kw {

/// A column value: SQL NULL, a whole number, a floating-point number, or text (UTF-8).
using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string>;

/// A forward-only, read-only result set standing on its first row, if the query matched any.
/// The engines read that row when the query runs, so it holds nothing of the engine.
class Recordset {
public:
    Recordset(std::vector<std::string> columns, std::optional<std::vector<FieldValue>> firstRow)
        : columns_(std::move(columns)), row_(std::move(firstRow)) {}
    /// The named column (or alias) of the current row; names compare without regard to ASCII
    /// case. Raises Failure when the set is closed, has no current row or no such column.
    FieldValue Field(const std::string& name) const;
    bool IsOpen() const { return open_; }
    void Close() { open_ = false; }

private:
    std::vector<std::string> columns_;
    std::optional<std::vector<FieldValue>> row_;
    bool open_ = true;
};

/// A value as a 32-bit whole number: numbers are rounded to the nearest (a half to even), texts
/// must hold a number (blanks around it allowed). Raises Failure for NULL, a text that is no
/// number, and a value out of range.
std::int32_t FieldToInt32(const FieldValue& value);

/// A value as text: numbers in decimal. Raises Failure for NULL.
std::string FieldToText(const FieldValue& value);

/// Opens the database file at path, closing any open connection first. On failure shows the
/// message box, logs "Connect() : " + the description and stays disconnected.
void Connect(const std::string& path);
/// Whether the last Connect succeeded and no Disconnect followed.
bool IsConnected();
/// Closes the connection; every error is ignored, and nothing happens when disconnected.
void Disconnect();
/// Runs a statement that changes data; the engine's records-affected count, or -1 after a
/// failure (shown, then logged with the statement).
std::int32_t ExecuteSQL(const std::string& sql);
/// Runs a query; null after a failure (shown, then logged with the query). Every result set is
/// forward-only and read-only, whatever forwardOnly asks.
std::unique_ptr<Recordset> OpenRSBySQL(const std::string& sql, bool forwardOnly);
/// Closes the result set if it is open; a null rs is only logged ("CloseRS() : ...").
void CloseRS(Recordset* rs);

/// Starts a transaction on the connection: nothing that follows lasts until CommitTrans. False
/// after a failure (shown, then logged as "BeginTrans() : " + the description).
bool BeginTrans();
/// Makes the transaction's changes last. False after a failure (shown and logged); the
/// transaction is then still open, for RollbackTrans.
bool CommitTrans();
/// Undoes the transaction's changes. False after a failure, which is only logged.
bool RollbackTrans();

} // namespace kw
