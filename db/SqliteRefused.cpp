// The Windows edition has no SQLite engine: the installations it updates hold Access files.
#include "db/Backend.h"

#include "sys/Failure.h"

namespace kw {

std::unique_ptr<Connection> OpenSqlite(const std::string& path) {
    throw Failure("Database '" + path +
                  "' is een SQLite-bestand; de Windows-uitgave van Kwastor opent alleen "
                  "Access-databases");
}

} // namespace kw
