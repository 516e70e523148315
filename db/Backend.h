// The engines behind the connection: the embedded SQLite library for SQLite files, and ODBC for
// every other database file. Each raises kw::Failure with the engine's own description.
#pragma once

#include "db/Database.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kw {

/// An open connection to one database. Outside a transaction every statement commits by itself.
/// Closed when released (an open transaction is then undone); errors while closing are ignored.
class Connection {
public:
    virtual ~Connection() = default;
    /// Runs one statement; the rows it inserted, deleted or changed as the engine counts them.
    /// Raises Failure when the engine refuses or fails the statement.
    virtual std::int32_t Execute(const std::string& sql) = 0;
    /// Runs one query; the result set stands on its first row (or on no row when none matched).
    /// Raises Failure when the engine refuses or fails the query.
    virtual std::unique_ptr<Recordset> Query(const std::string& sql) = 0;
    /// Starts a transaction, commits it, or undoes it. Each raises Failure when the engine
    /// refuses; after a failed commit the transaction is still open, to be undone.
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
};

/// The connection string that the target program's database is opened with; the path follows it.
inline constexpr const char* kAccessConnectionString =
    "DRIVER={Microsoft Access Driver (*.mdb)};UID=Admin;PWD=kolibrie;DBQ=";

/// How long a statement waits for another process's lock before it fails.
inline constexpr int kBusyTimeoutMs = 2000;

/// Opens the database file at path with the engine that its first bytes call for: SQLite files
/// directly, Access files through ODBC with kAccessConnectionString. Raises Failure, and creates
/// nothing, when the path is missing, a folder, unreadable or not a database, or when the engine
/// can't open it for writing.
std::unique_ptr<Connection> OpenDatabaseFile(const std::string& path);

/// Opens an existing SQLite file for reading and writing; never creates one. Raises Failure when
/// it can't, when the file is read-only, or when it isn't a readable SQLite database or its
/// engine's quick check finds it damaged.
std::unique_ptr<Connection> OpenSqlite(const std::string& path);

/// Connects through the ODBC driver manager with the given connection string. Raises Failure
/// with the driver manager's or driver's description when it can't.
std::unique_ptr<Connection> OpenOdbc(const std::string& connectionString);

} // namespace kw
