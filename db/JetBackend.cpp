// The Access back end without a driver: the program's statements parsed (db/AccessSql.h) and run
// by the engine in db/jet, which reads and writes the database file itself.
#include "db/AccessSql.h"
#include "db/Backend.h"
#include "db/jet/Writer.h"

#include "sys/Failure.h"

#include <cstdint>
#include <string_view>
#include <type_traits>

namespace kw {

namespace {

// Connection-string keys compare without regard to case, as the driver manager's do.
bool SameKey(std::string_view a, std::string_view b) {
    return jet::SameName(a, b);
}

struct AccessLogin {
    std::string password;
    std::string path;
};

// "KEY=value;..." as the Access driver reads it. DBQ takes the rest of the string, since the
// program appends the path unquoted and a path may hold ';'.
AccessLogin ParseConnectionString(std::string_view text) {
    AccessLogin login;
    bool hasPath = false;
    while (!text.empty()) {
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos)
            break;
        const std::string_view key = text.substr(0, eq);
        text.remove_prefix(eq + 1);
        if (SameKey(key, "DBQ")) {
            login.path = std::string(text);
            hasPath = true;
            break;
        }
        const std::size_t semi = text.find(';');
        const std::string_view value = text.substr(0, semi);
        if (SameKey(key, "PWD"))
            login.password = std::string(value);
        text.remove_prefix(semi == std::string_view::npos ? text.size() : semi + 1);
    }
    if (!hasPath || login.path.empty())
        throw Failure("Geen databasebestand (DBQ) in de verbindingstekst");
    return login;
}

jet::Condition ToEngine(const sql::Condition& where) {
    using enum sql::CompareOp;
    using Op = jet::Comparison::Op;
    jet::Condition condition;
    for (const sql::Comparison& c : where) {
        const Op op = c.op == Equal         ? Op::Equal
                      : c.op == NotEqual    ? Op::NotEqual
                      : c.op == Less        ? Op::Less
                      : c.op == Greater     ? Op::Greater
                      : c.op == LessOrEqual ? Op::LessEqual
                                            : Op::GreaterEqual;
        condition.push_back({c.column, op, c.value});
    }
    return condition;
}

// A column's value as callers read it: Yes/No as Access gives it (-1, 0), money and dates as
// numbers. Kinds that no caller reads are refused rather than shown as something they are not.
FieldValue ToField(const jet::Value& value, const std::string& sql) {
    return std::visit(
        [&](const auto& v) -> FieldValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return std::monostate{};
            else if constexpr (std::is_same_v<T, bool>)
                return std::int64_t{v ? -1 : 0};
            else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, double> ||
                               std::is_same_v<T, std::string>)
                return v;
            else if constexpr (std::is_same_v<T, jet::Currency>)
                return static_cast<double>(v.tenThousandths) / 10000.0;
            else if constexpr (std::is_same_v<T, jet::DateTime>)
                return v.days;
            else
                throw Failure("niet ondersteunde kolomsoort in: " + sql);
        },
        value);
}

class JetConnection final : public Connection {
public:
    explicit JetConnection(std::unique_ptr<jet::Writer> writer) : writer_(std::move(writer)) {}

    std::int32_t Execute(const std::string& sql) override {
        const sql::Statement statement = sql::Parse(sql);
        return Guarded([&]() -> std::int32_t {
            if (const auto* d = std::get_if<sql::Delete>(&statement))
                return writer_->Delete(d->table, ToEngine(d->where));
            if (const auto* ins = std::get_if<sql::Insert>(&statement)) {
                std::vector<jet::Value> values;
                for (const sql::Literal& literal : ins->values)
                    std::visit([&](const auto& v) { values.emplace_back(v); }, literal);
                return writer_->Insert(ins->table, values);
            }
            throw Failure("niet ondersteunde opdracht: " + sql);
        });
    }

    std::unique_ptr<Recordset> Query(const std::string& sql) override {
        const sql::Statement statement = sql::Parse(sql);
        return Guarded([&]() -> std::unique_ptr<Recordset> {
            if (const auto* m = std::get_if<sql::SelectMax>(&statement)) {
                const std::optional<std::int64_t> highest =
                    writer_->Max(m->table, m->column, ToEngine(m->where));
                // Built by push_back: g++ 12 sees the string alternative of a braced temporary
                // as possibly uninitialized in a Release build.
                std::vector<FieldValue> row;
                row.push_back(highest ? FieldValue{*highest} : FieldValue{});
                return std::make_unique<Recordset>(std::vector<std::string>{m->alias},
                                                   std::move(row));
            }
            if (const auto* s = std::get_if<sql::SelectColumn>(&statement)) {
                const std::vector<jet::Value> values =
                    writer_->Select(s->table, s->column, ToEngine(s->where));
                std::optional<std::vector<FieldValue>> first;
                if (!values.empty())
                    first = std::vector<FieldValue>{ToField(values.front(), sql)};
                return std::make_unique<Recordset>(std::vector<std::string>{s->column},
                                                   std::move(first));
            }
            throw Failure("niet ondersteunde opdracht: " + sql);
        });
    }

    void Begin() override {
        Guarded([&] { writer_->Begin(); });
    }
    void Commit() override {
        Guarded([&] { writer_->Commit(); });
    }
    void Rollback() override {
        Guarded([&] { writer_->Rollback(); });
    }

private:
    // The engine's own error carries the description the user sees.
    template <typename F> static auto Guarded(F&& f) -> decltype(f()) {
        try {
            return f();
        } catch (const jet::JetError& e) {
            throw Failure(e.what());
        }
    }

    std::unique_ptr<jet::Writer> writer_;
};

} // namespace

std::unique_ptr<Connection> OpenJet(const std::string& connectionString) {
    const AccessLogin login = ParseConnectionString(connectionString);
    try {
        return std::make_unique<JetConnection>(jet::Writer::Open(login.path, login.password));
    } catch (const jet::JetError& e) {
        throw Failure(e.what());
    }
}

} // namespace kw
