#include "db/Database.h"

#include "db/Backend.h"
#include "log/Log.h"
#include "sys/Failure.h"
#include "sys/Ui.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kw {

namespace {

constexpr const char* kNoConnection = "geen verbinding met database";

// The connection and its flag. Invariant: when the flag is true the connection is present.
std::unique_ptr<Connection> gConnection;
bool gConnected = false;

void ShowFailure(const std::string& description) {
    MsgBox("Er is een fout opgetreden:\r\n" + description, kProgramTitle, MsgIcon::None);
}

void ReportStatementFailure(const std::string& operation, const std::string& description,
                            const std::string& sql) {
    ShowFailure(description);
    LogRecordSafely(operation + "() : " + description);
    LogRecordSafely(operation + "() : SQL = '" + sql + "'");
}

[[noreturn]] void Mismatch() {
    throw Failure("Typen komen niet overeen");
}
[[noreturn]] void Null() {
    throw Failure("Ongeldig gebruik van Null");
}

std::int32_t RoundToInt32(double d) {
    const double r = std::nearbyint(d); // to nearest, a half to the even neighbour
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        throw Failure("Overloop");
    return static_cast<std::int32_t>(r);
}

// Column names compare without regard to ASCII case, whatever locale the window set.
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

} // namespace

FieldValue Recordset::Field(const std::string& name) const {
    if (!open_)
        throw Failure("De resultatenset is gesloten");
    if (!row_)
        throw Failure("Er is geen huidig record: de resultatenset is leeg");
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (SameName(columns_[i], name))
            return (*row_)[i];
    throw Failure("Kolom '" + name + "' komt niet voor in de resultatenset");
}

std::int32_t FieldToInt32(const FieldValue& value) {
    struct {
        std::int32_t operator()(std::monostate) const { Null(); }
        std::int32_t operator()(std::int64_t i) const {
            if (i < INT32_MIN || i > INT32_MAX)
                throw Failure("Overloop");
            return static_cast<std::int32_t>(i);
        }
        std::int32_t operator()(double d) const { return RoundToInt32(d); }
        std::int32_t operator()(const std::string& s) const {
            const std::size_t b = s.find_first_not_of(' ');
            if (b == std::string::npos)
                Mismatch();
            const char* last = s.data() + s.find_last_not_of(' ') + 1;
            double d = 0;
            auto [ptr, ec] = std::from_chars(s.data() + b, last, d);
            if (ec != std::errc() || ptr != last)
                Mismatch();
            return RoundToInt32(d);
        }
    } visit;
    return std::visit(visit, value);
}

std::string FieldToText(const FieldValue& value) {
    struct {
        std::string operator()(std::monostate) const { Null(); }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[32];
            auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, d);
            return std::string(buf, ptr);
        }
        std::string operator()(const std::string& s) const { return s; }
    } visit;
    return std::visit(visit, value);
}

void Connect(const std::string& path) {
    Disconnect();
    try {
        gConnection = OpenDatabaseFile(path);
        gConnected = true;
    } catch (const std::exception& e) {
        ShowFailure(e.what());
        LogRecordSafely(std::string("Connect() : ") + e.what());
        gConnection.reset();
    }
}

bool IsConnected() {
    return gConnected;
}

void Disconnect() {
    if (!gConnected)
        return;
    gConnection.reset(); // closing ignores the engine's errors
    gConnected = false;
}

std::int32_t ExecuteSQL(const std::string& sql) {
    try {
        if (!gConnected)
            throw Failure(kNoConnection);
        return gConnection->Execute(sql);
    } catch (const std::exception& e) {
        ReportStatementFailure("ExecuteSQL", e.what(), sql);
        return -1;
    }
}

std::unique_ptr<Recordset> OpenRSBySQL(const std::string& sql, bool /*forwardOnly*/) {
    try {
        if (!gConnected)
            throw Failure(kNoConnection);
        return gConnection->Query(sql);
    } catch (const std::exception& e) {
        ReportStatementFailure("OpenRSBySQL", e.what(), sql);
        return nullptr;
    }
}

namespace {

// Runs one transaction step; a failure is shown (unless quiet) and logged under the operation.
template <class Step> bool TransactionStep(const char* operation, bool quiet, Step step) {
    try {
        if (!gConnected)
            throw Failure(kNoConnection);
        step(*gConnection);
        return true;
    } catch (const std::exception& e) {
        if (!quiet)
            ShowFailure(e.what());
        LogRecordSafely(std::string(operation) + "() : " + e.what());
        return false;
    }
}

} // namespace

bool BeginTrans() {
    return TransactionStep("BeginTrans", false, [](Connection& c) { c.Begin(); });
}

bool CommitTrans() {
    return TransactionStep("CommitTrans", false, [](Connection& c) { c.Commit(); });
}

bool RollbackTrans() {
    return TransactionStep("RollbackTrans", true, [](Connection& c) { c.Rollback(); });
}

void CloseRS(Recordset* rs) {
    if (!rs) {
        LogRecordSafely("CloseRS() : geen resultatenset");
        return;
    }
    if (rs->IsOpen())
        rs->Close();
}

} // namespace kw
