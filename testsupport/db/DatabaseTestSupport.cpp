#include "testsupport/db/DatabaseTestSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace kw::test {

namespace {

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

std::unique_ptr<sqlite3, Closer> Open(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw std::runtime_error("cannot open " + path);
    }
    return std::unique_ptr<sqlite3, Closer>(db);
}

// Every row of the query, each value as text ("NULL" for NULL).
std::vector<std::vector<std::string>> Rows(const std::string& path, const std::string& sql) {
    auto db = Open(path);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    std::vector<std::vector<std::string>> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.push_back(text ? text : "NULL");
        }
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    return rows;
}

} // namespace

std::string DumpTable(const std::string& path, const std::string& table, const std::string& where) {
    std::vector<std::string> lines;
    for (const auto& row :
         Rows(path, "SELECT * FROM " + table + (where.empty() ? "" : " WHERE " + where))) {
        std::string line = table;
        for (const std::string& value : row)
            line += "|" + value;
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string dump;
    for (const std::string& line : lines)
        dump += line + "\n";
    return dump;
}

std::string QueryValue(const std::string& path, const std::string& sql) {
    const auto rows = Rows(path, sql);
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

std::string DumpDatabase(const std::string& path) {
    return DumpTable(path, "categorie") + DumpTable(path, "pictogram") +
           DumpTable(path, "categorie_pictogram");
}

void ExecOn(const std::string& path, const std::string& sql) {
    auto db = Open(path);
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
}

} // namespace kw::test
