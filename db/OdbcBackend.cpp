#include "db/Backend.h"
#include "db/OdbcLibrary.h"

#include "sys/Failure.h"

namespace kw {

namespace {

bool Ok(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// The diagnostic records of a handle, joined: the driver manager's or driver's own words.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    SQLCHAR state[6];
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1;
         Ok(Odbc().GetDiagRec(type, handle, i, state, &native, message, sizeof message, &length));
         ++i) {
        if (!text.empty())
            text += "; ";
        text += reinterpret_cast<const char*>(message);
    }
    return text.empty() ? "ODBC-fout zonder beschrijving" : text;
}

[[noreturn]] void Fail(SQLSMALLINT type, SQLHANDLE handle) {
    throw Failure(Diagnostics(type, handle));
}

// The environment and connection handles, released in the right order.
class OdbcHandles {
public:
    OdbcHandles() {
        if (!Ok(Odbc().AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
            throw Failure("ODBC-omgeving kan niet aangemaakt worden");
        if (!Ok(Odbc().SetEnvAttr(env_, SQL_ATTR_ODBC_VERSION,
                                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
            Fail(SQL_HANDLE_ENV, env_);
        if (!Ok(Odbc().AllocHandle(SQL_HANDLE_DBC, env_, &dbc_)))
            Fail(SQL_HANDLE_ENV, env_);
    }
    ~OdbcHandles() {
        if (connected_)
            Odbc().Disconnect(dbc_);
        if (dbc_)
            Odbc().FreeHandle(SQL_HANDLE_DBC, dbc_);
        Odbc().FreeHandle(SQL_HANDLE_ENV, env_);
    }
    OdbcHandles(const OdbcHandles&) = delete;
    OdbcHandles& operator=(const OdbcHandles&) = delete;

    void DriverConnect(const std::string& connectionString) {
        std::string in = connectionString;
        SQLCHAR out[1024];
        SQLSMALLINT outLength = 0;
        if (!Ok(Odbc().DriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS,
                                     out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT)))
            Fail(SQL_HANDLE_DBC, dbc_);
        connected_ = true;
    }
    SQLHDBC dbc() const { return dbc_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

// One statement handle that has run its text.
class Statement {
public:
    Statement(SQLHDBC dbc, const std::string& sql) {
        if (!Ok(Odbc().AllocHandle(SQL_HANDLE_STMT, dbc, &stmt_)))
            Fail(SQL_HANDLE_DBC, dbc);
        std::string text = sql;
        rc_ = Odbc().ExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        // A searched DELETE or UPDATE that matched no row answers SQL_NO_DATA.
        if (!Ok(rc_) && rc_ != SQL_NO_DATA) {
            std::string description = Diagnostics(SQL_HANDLE_STMT, stmt_);
            Odbc().FreeHandle(SQL_HANDLE_STMT, stmt_);
            throw Failure(description);
        }
    }
    ~Statement() { Odbc().FreeHandle(SQL_HANDLE_STMT, stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool NoData() const { return rc_ == SQL_NO_DATA; }
    SQLHSTMT get() const { return stmt_; }

private:
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    SQLRETURN rc_ = SQL_SUCCESS;
};

FieldValue ReadNumber(SQLHSTMT stmt, SQLUSMALLINT column, bool whole) {
    SQLLEN indicator = 0;
    if (whole) {
        SQLBIGINT value = 0;
        if (!Ok(Odbc().GetData(stmt, column, SQL_C_SBIGINT, &value, 0, &indicator)))
            Fail(SQL_HANDLE_STMT, stmt);
        return indicator == SQL_NULL_DATA ? FieldValue{} : FieldValue{std::int64_t{value}};
    }
    double value = 0;
    if (!Ok(Odbc().GetData(stmt, column, SQL_C_DOUBLE, &value, 0, &indicator)))
        Fail(SQL_HANDLE_STMT, stmt);
    return indicator == SQL_NULL_DATA ? FieldValue{} : FieldValue{value};
}

// Text arrives in pieces when it is longer than the buffer; each piece ends with a NUL.
FieldValue ReadText(SQLHSTMT stmt, SQLUSMALLINT column) {
    std::string text;
    char buffer[256];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            Odbc().GetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            return text;
        if (!Ok(rc))
            Fail(SQL_HANDLE_STMT, stmt);
        if (indicator == SQL_NULL_DATA)
            return std::monostate{};
        const bool truncated =
            indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer);
        text.append(buffer, truncated ? sizeof buffer - 1 : static_cast<std::size_t>(indicator));
        if (!truncated)
            return text;
    }
}

FieldValue ReadColumn(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type) {
    switch (type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return ReadNumber(stmt, column, true);
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return ReadNumber(stmt, column, false);
    default:
        return ReadText(stmt, column);
    }
}

class OdbcConnection final : public Connection {
public:
    explicit OdbcConnection(const std::string& connectionString) {
        handles_.DriverConnect(connectionString);
    }

    std::int32_t Execute(const std::string& sql) override {
        Statement st(handles_.dbc(), sql);
        if (st.NoData())
            return 0;
        SQLLEN count = 0;
        if (!Ok(Odbc().RowCount(st.get(), &count)))
            Fail(SQL_HANDLE_STMT, st.get());
        // Statements that change no rows (and queries) may answer -1: nothing was affected.
        return count < 0 ? 0 : static_cast<std::int32_t>(count);
    }

    std::unique_ptr<Recordset> Query(const std::string& sql) override {
        Statement st(handles_.dbc(), sql);
        SQLSMALLINT count = 0;
        if (!Ok(Odbc().NumResultCols(st.get(), &count)))
            Fail(SQL_HANDLE_STMT, st.get());
        std::vector<std::string> columns;
        std::vector<SQLSMALLINT> types;
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            SQLCHAR name[256];
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            if (!Ok(Odbc().DescribeCol(st.get(), i, name, sizeof name, &nameLength, &type, &size,
                                       &digits, &nullable)))
                Fail(SQL_HANDLE_STMT, st.get());
            columns.emplace_back(reinterpret_cast<const char*>(name));
            types.push_back(type);
        }
        std::optional<std::vector<FieldValue>> row;
        const SQLRETURN rc = Odbc().Fetch(st.get());
        if (Ok(rc)) {
            row.emplace();
            for (SQLUSMALLINT i = 1; i <= count; ++i)
                row->push_back(ReadColumn(st.get(), i, types[i - 1]));
        } else if (rc != SQL_NO_DATA) {
            Fail(SQL_HANDLE_STMT, st.get());
        }
        return std::make_unique<Recordset>(std::move(columns), std::move(row));
    }

    void Begin() override { SetAutocommit(false); }
    void Commit() override {
        EndTransaction(SQL_COMMIT);
        SetAutocommit(true);
    }
    void Rollback() override {
        EndTransaction(SQL_ROLLBACK);
        SetAutocommit(true);
    }

private:
    void SetAutocommit(bool on) {
        const auto value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
        if (!Ok(Odbc().SetConnectAttr(handles_.dbc(), SQL_ATTR_AUTOCOMMIT,
                                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(value)),
                                      0)))
            Fail(SQL_HANDLE_DBC, handles_.dbc());
    }
    void EndTransaction(SQLSMALLINT completion) {
        if (!Ok(Odbc().EndTran(SQL_HANDLE_DBC, handles_.dbc(), completion)))
            Fail(SQL_HANDLE_DBC, handles_.dbc());
    }

    OdbcHandles handles_;
};

} // namespace

std::unique_ptr<Connection> OpenOdbc(const std::string& connectionString) {
    return std::make_unique<OdbcConnection>(connectionString);
}

} // namespace kw
