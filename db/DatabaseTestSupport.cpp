#include "db/DatabaseTestSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
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

ExclusiveLockHolder::ExclusiveLockHolder(const std::string& path) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0)
        throw std::runtime_error("pipe failed");
    child_ = ::fork();
    if (child_ < 0)
        throw std::runtime_error("fork failed");
    if (child_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        sqlite3* db = nullptr;
        char ok =
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK
                ? '1'
                : '0';
        if (::write(ready[1], &ok, 1) != 1)
            ::_exit(1);
        char c;
        while (::read(release[0], &c, 1) > 0) {
        }
        ::_exit(0); // the lock goes with the process
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char ok = '0';
    const bool got = ::read(ready[0], &ok, 1) == 1;
    ::close(ready[0]);
    if (!got || ok != '1') {
        Release();
        throw std::runtime_error("the child could not lock " + path);
    }
}

ExclusiveLockHolder::~ExclusiveLockHolder() {
    Release();
}

void ExclusiveLockHolder::Release() {
    if (release_ >= 0)
        ::close(release_);
    release_ = -1;
    if (child_ > 0)
        ::waitpid(child_, nullptr, 0);
    child_ = -1;
}

} // namespace kw::test
