#include "db/Backend.h"

#include "sys/Failure.h"

#include <sqlite3.h>

namespace kw {

namespace {

[[noreturn]] void Fail(sqlite3* db) {
    throw Failure(sqlite3_errmsg(db));
}

// One prepared statement. A text holding more than one statement is refused rather than run in
// part, since the engine would silently skip the rest.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size() + 1), &stmt_, &tail) !=
            SQLITE_OK)
            Fail(db);
        if (!stmt_)
            throw Failure("Lege SQL-opdracht");
        for (; tail && *tail; ++tail)
            if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';') {
                sqlite3_finalize(stmt_);
                throw Failure("Meer dan een SQL-opdracht in een keer");
            }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    /// Steps once; true on a row, false at the end. Raises Failure on an error.
    bool Step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        Fail(db_);
    }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

FieldValue Column(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return std::monostate{};
    case SQLITE_INTEGER:
        return std::int64_t{sqlite3_column_int64(stmt, i)};
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return std::string(text ? text : "",
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
    }
    }
}

class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    // close_v2 also copes with statements that are still open, should there be any.
    ~SqliteConnection() override { sqlite3_close_v2(db_); }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    std::int32_t Execute(const std::string& sql) override {
        Statement st(db_, sql);
        const sqlite3_int64 before = sqlite3_total_changes64(db_);
        while (st.Step()) {
        }
        // The engine keeps the count of the last data change, so a statement that changed
        // nothing (or wasn't a data change) would report an older statement's count.
        if (sqlite3_total_changes64(db_) == before)
            return 0;
        return sqlite3_changes(db_);
    }

    std::unique_ptr<Recordset> Query(const std::string& sql) override {
        Statement st(db_, sql);
        const int count = sqlite3_column_count(st.get());
        std::vector<std::string> columns;
        for (int i = 0; i < count; ++i)
            columns.emplace_back(sqlite3_column_name(st.get(), i));
        std::optional<std::vector<FieldValue>> row;
        if (st.Step()) {
            row.emplace();
            for (int i = 0; i < count; ++i)
                row->push_back(Column(st.get(), i));
        }
        return std::make_unique<Recordset>(std::move(columns), std::move(row));
    }

    void Begin() override { Run("BEGIN IMMEDIATE"); }
    void Commit() override { Run("COMMIT"); }
    void Rollback() override {
        // The engine may have undone the transaction itself already (after a full disk).
        if (!sqlite3_get_autocommit(db_))
            Run("ROLLBACK");
    }

private:
    void Run(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail(db_);
    }

    sqlite3* db_;
};

} // namespace

std::unique_ptr<Connection> OpenSqlite(const std::string& path) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    auto connection = std::make_unique<SqliteConnection>(db);
    const std::string prefix = "Database '" + path + "' kan niet geopend worden: ";
    if (rc != SQLITE_OK)
        throw Failure(prefix + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    // A file that can't be written would let every later statement fail one by one.
    if (sqlite3_db_readonly(db, "main") == 1)
        throw Failure(prefix + "het bestand is alleen-lezen");
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // The engine reads nothing on opening; one read finds a locked file now, and the quick check
    // a damaged one, before anything is changed in it.
    std::string damage;
    try {
        connection->Query("SELECT count(*) FROM sqlite_master");
        damage = FieldToText(connection->Query("PRAGMA quick_check(1)")->Field("quick_check"));
    } catch (const Failure& e) {
        throw Failure(prefix + e.what());
    }
    if (damage != "ok")
        throw Failure(prefix + "het bestand is beschadigd (" + damage + ")");
    return connection;
}

} // namespace kw
