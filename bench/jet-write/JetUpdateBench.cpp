// Times the update's statements through the Access writer on a copy of a picbase file against
// SQLite running the very same statements on a database of the same rows and indexes: each
// committed by itself, and all in one transaction, as the program's update runs them. Prints the
// medians and their ratios.
// Usage: jet-update-bench PICBASE CATALOGUE WORK_FOLDER RUNS
#include "db/jet/UpdateScript.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace {

using namespace kw::jet;
namespace fs = std::filesystem;

void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string why = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + why);
    }
}

std::string Literal(const Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* s = std::get_if<std::string>(&v)) {
        std::string quoted = "'";
        for (char c : *s)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return quoted + "'";
    }
    return "NULL";
}

// The statements as the update sends them, run on SQLite.
class SqliteEngine {
public:
    explicit SqliteEngine(sqlite3* db) : db_(db) {}
    int Insert(std::string_view table, const std::vector<Value>& values) {
        std::string sql = "INSERT INTO " + std::string(table) + " VALUES (";
        for (std::size_t i = 0; i < values.size(); ++i) {
            sql += i ? "," : "";
            sql += Literal(values[i]);
        }
        Exec(db_, sql + ")");
        return sqlite3_changes(db_);
    }
    int Delete(std::string_view table, const Condition& where) {
        Exec(db_, "DELETE FROM " + std::string(table) + Where(where));
        return sqlite3_changes(db_);
    }
    std::optional<std::int64_t> Max(std::string_view table, std::string_view column,
                                    const Condition& where) {
        const std::string sql =
            "SELECT MAX(" + std::string(column) + ") FROM " + std::string(table) + Where(where);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK ||
            sqlite3_step(s) != SQLITE_ROW)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
        std::optional<std::int64_t> out;
        if (sqlite3_column_type(s, 0) != SQLITE_NULL)
            out = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return out;
    }

private:
    static std::string Where(const Condition& where) {
        static const char* const ops[] = {"=", "<>", "<", ">", "<=", ">="};
        std::string sql;
        for (const Comparison& c : where)
            sql += (sql.empty() ? " WHERE " : " AND ") + c.column + " " +
                   ops[static_cast<int>(c.op)] + " " + std::to_string(c.value);
        return sql;
    }
    sqlite3* db_;
};

// An SQLite database with the Access file's tables, indexes and rows.
void CopyInto(const Database& jet, sqlite3* db) {
    Exec(db, "BEGIN");
    for (const TableDef& t : jet.Tables()) {
        std::string sql = "CREATE TABLE " + t.name + " (";
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            sql += (i ? ", " : "") + t.columns[i].name +
                   (t.columns[i].type == Type::Text ? " TEXT" : " INTEGER");
        Exec(db, sql + ")");
        for (const LogicalIndex& x : t.indexes) {
            const IndexData& data = t.indexData[static_cast<std::size_t>(x.dataNumber)];
            std::string columns;
            for (const IndexColumn& c : data.columns)
                columns += (columns.empty() ? "" : ", ") + t.ColumnByNumber(c.columnNumber)->name;
            Exec(db, std::string("CREATE ") + ((data.flags & IndexFlag::Unique) ? "UNIQUE " : "") +
                         "INDEX " + t.name + "_" + x.name + " ON " + t.name + " (" + columns + ")");
        }
        SqliteEngine engine(db);
        jet.ForEachRow(t,
                       [&](RowId, const std::vector<Value>& row) { engine.Insert(t.name, row); });
    }
    Exec(db, "COMMIT");
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: jet-update-bench PICBASE CATALOGUE WORK_FOLDER RUNS\n");
        return 2;
    }
    try {
        const fs::path source = argv[1], work = argv[3];
        const auto catalogue = ReadUpdateCatalogue(argv[2]);
        const int runs = std::stoi(argv[4]);
        int statements = 0;
        // One pair of timings (writer, SQLite) on fresh copies, the statements each committed or
        // all inside one transaction.
        const auto pair = [&](bool oneTransaction) {
            const fs::path copy = work / "picbase.pbd", lite = work / "picbase.sqlite";
            fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
            fs::remove(lite);
            sqlite3* db = nullptr;
            if (sqlite3_open(lite.c_str(), &db) != SQLITE_OK)
                throw std::runtime_error("sqlite3_open failed");
            CopyInto(*Database::Open(copy.string(), "kolibrie"), db);
            SqliteEngine engine(db);
            const auto t0 = std::chrono::steady_clock::now();
            {
                auto w = Writer::Open(copy.string(), "kolibrie");
                if (oneTransaction)
                    w->Begin();
                statements = RunUpdateScript(*w, catalogue);
                if (oneTransaction)
                    w->Commit();
            }
            const auto t1 = std::chrono::steady_clock::now();
            if (oneTransaction)
                Exec(db, "BEGIN");
            RunUpdateScript(engine, catalogue);
            if (oneTransaction)
                Exec(db, "COMMIT");
            const auto t2 = std::chrono::steady_clock::now();
            sqlite3_close(db);
            return std::pair{Seconds(t1 - t0), Seconds(t2 - t1)};
        };
        std::string table;
        for (const bool oneTransaction : {false, true}) {
            std::vector<double> writer, sqlite;
            for (int run = 0; run < runs; ++run) {
                const auto [w, s] = pair(oneTransaction);
                writer.push_back(w);
                sqlite.push_back(s);
            }
            const double w = Median(writer), s = Median(sqlite);
            char line[160];
            std::snprintf(line, sizeof line, "%-34s %8.3f s sqlite3, same rows %6.3f s %7.2f %8s\n",
                          oneTransaction ? "update statements, one transaction"
                                         : "update statements, each committed",
                          w, s, w / s, "<= 1.00");
            table += line;
        }
        std::printf("Access writer benchmark: %d runs, medians; %d statements on %s\n", runs,
                    statements, source.filename().c_str());
        std::printf("%-34s %10s %-24s %7s %8s\n%s", "What", "Writer", "Baseline", "Ratio", "Target",
                    table.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jet-update-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
