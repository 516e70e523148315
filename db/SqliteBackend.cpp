#include "db/Backend.h"

#include "sys/Failure.h"

#include <sqlite3.h>

#include <algorithm>
#include <list>
#include <memory>

namespace kw {

namespace {

[[noreturn]] void Fail(sqlite3* db) {
    throw Failure(sqlite3_errmsg(db));
}

// Prepares a text, refusing one that holds more than one statement rather than running it in
// part, since the engine would silently skip the rest.
sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size() + 1),
                           SQLITE_PREPARE_PERSISTENT, &stmt, &tail) != SQLITE_OK)
        Fail(db);
    if (!stmt)
        throw Failure("Lege SQL-opdracht");
    for (; tail && *tail; ++tail)
        if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';') {
            sqlite3_finalize(stmt);
            throw Failure("Meer dan een SQL-opdracht in een keer");
        }
    return stmt;
}

// The statements prepared so far, by their text, the most recently used first. A text that comes
// again (the highest link of a category, asked once per pictogram) is prepared only once; the
// bound keeps texts that never come again (the inserts) from piling up.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    ~StatementCache() {
        for (auto& entry : entries_)
            sqlite3_finalize(entry.second);
    }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    sqlite3_stmt* Get(const std::string& sql) {
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const auto& entry) { return entry.first == sql; });
        if (it == entries_.end()) {
            sqlite3_stmt* stmt = Prepare(db_, sql);
            if (entries_.size() == kCapacity) {
                sqlite3_finalize(entries_.back().second);
                entries_.pop_back();
            }
            entries_.emplace_front(sql, stmt);
            return stmt;
        }
        entries_.splice(entries_.begin(), entries_, it);
        return it->second;
    }

private:
    static constexpr std::size_t kCapacity = 32;
    sqlite3* db_;
    std::list<std::pair<std::string, sqlite3_stmt*>> entries_;
};

// One run of a cached statement; reset at the end, so that a query read only up to its first
// row holds no lock on the file afterwards.
class Statement {
public:
    Statement(sqlite3* db, StatementCache& cache, const std::string& sql)
        : db_(db), stmt_(cache.Get(sql)) {}
    ~Statement() { sqlite3_reset(stmt_); }
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
    sqlite3_stmt* stmt_;
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
    explicit SqliteConnection(sqlite3* db)
        : db_(db), cache_(std::make_unique<StatementCache>(db)) {}
    ~SqliteConnection() override {
        cache_.reset(); // the statements go before their connection
        sqlite3_close_v2(db_);
    }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    std::int32_t Execute(const std::string& sql) override {
        Statement st(db_, *cache_, sql);
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
        Statement st(db_, *cache_, sql);
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
    std::unique_ptr<StatementCache> cache_;
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
