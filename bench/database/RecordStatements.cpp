// record-update-sql <payload> <database>: runs the database update on the database (a scratch
// copy) and prints every statement that reached SQLite, in order, one per line, so that another
// client can replay exactly the same sequence. <payload> is the program file or a container.
#include "db/Database.h"
#include "log/Log.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

int PrintStatement(unsigned /*type*/, void* /*context*/, void* /*stmt*/, void* sql) {
    const char* text = static_cast<const char*>(sql);
    if (text[0] != '-' || text[1] != '-') // "--" marks a trigger's statements
        std::printf("%s;\n", text);
    return 0;
}

// Every connection that the program opens from now on reports its statements.
int TraceConnection(sqlite3* db, const char** /*error*/, const sqlite3_api_routines* /*api*/) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, PrintStatement, nullptr);
    return SQLITE_OK;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Gebruik: record-update-sql <programma of payload> <database>\n");
        return 2;
    }
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
    const std::string database = argv[2];
    kw::gLog = std::make_unique<kw::Log>();
    kw::gLog->SetFilename(database + ".log");
    kw::UsePayloadFile(argv[1]);
    kw::Connect(database);
    if (!kw::IsConnected())
        return 1;
    const bool ok = kw::UpdateDB(nullptr);
    kw::Disconnect();
    kw::gLog.reset();
    return ok ? 0 : 1;
}
