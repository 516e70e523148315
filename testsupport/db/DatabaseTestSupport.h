// Helpers for the tests of everything that works on a target database: reading its rows back
// independently of the program's own connection, and another process that holds it locked.
#pragma once

#include <string>

namespace kw::test {

/// The rows of one table as text, one line per row ("|" between the values, NULL as "NULL"),
/// sorted by all columns; only the rows that `where` selects, when given. Raises on an error.
std::string DumpTable(const std::string& path, const std::string& table,
                      const std::string& where = "");

/// DumpTable of categorie, pictogram and categorie_pictogram, one after the other.
std::string DumpDatabase(const std::string& path);

/// The first column of the first row of a query, as text ("NULL" for NULL, "" for no row).
std::string QueryValue(const std::string& path, const std::string& sql);

/// Runs statements on the file through the SQLite library, outside the program's connection.
void ExecOn(const std::string& path, const std::string& sql);

/// A child process that holds an exclusive lock on the database while this object lives.
class ExclusiveLockHolder {
public:
    /// Returns once the child holds the lock; raises when it couldn't take it.
    explicit ExclusiveLockHolder(const std::string& path);
    ~ExclusiveLockHolder();
    ExclusiveLockHolder(const ExclusiveLockHolder&) = delete;
    ExclusiveLockHolder& operator=(const ExclusiveLockHolder&) = delete;

private:
    void Release();

    int child_ = -1;   // the child's process id
    int release_ = -1; // closing it tells the child to let go
};

} // namespace kw::test
