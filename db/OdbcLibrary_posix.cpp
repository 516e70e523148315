#include "db/OdbcLibrary.h"

#include "sys/Failure.h"

#include <dlfcn.h>

#include <string>

namespace kw {

namespace {

// unixODBC's driver manager, by the name that its ABI version gives it.
constexpr const char* kDriverManager = "libodbc.so.2";

template <class Call> void Find(void* library, const char* name, Call& call) {
    call = reinterpret_cast<Call>(::dlsym(library, name));
    if (!call)
        throw Failure(std::string("ODBC-stuurprogrammabeheer mist ") + name);
}

OdbcCalls Load() {
    // Never closed: the drivers that it loads stay in use until the program ends.
    void* library = ::dlopen(kDriverManager, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw Failure(std::string("ODBC-stuurprogrammabeheer kan niet geladen worden: ") +
                      ::dlerror());
    OdbcCalls calls{};
    Find(library, "SQLAllocHandle", calls.AllocHandle);
    Find(library, "SQLFreeHandle", calls.FreeHandle);
    Find(library, "SQLSetEnvAttr", calls.SetEnvAttr);
    Find(library, "SQLSetConnectAttr", calls.SetConnectAttr);
    Find(library, "SQLDriverConnect", calls.DriverConnect);
    Find(library, "SQLDisconnect", calls.Disconnect);
    Find(library, "SQLGetDiagRec", calls.GetDiagRec);
    Find(library, "SQLExecDirect", calls.ExecDirect);
    Find(library, "SQLRowCount", calls.RowCount);
    Find(library, "SQLNumResultCols", calls.NumResultCols);
    Find(library, "SQLDescribeCol", calls.DescribeCol);
    Find(library, "SQLFetch", calls.Fetch);
    Find(library, "SQLGetData", calls.GetData);
    Find(library, "SQLEndTran", calls.EndTran);
    return calls;
}

} // namespace

const OdbcCalls& Odbc() {
    static const OdbcCalls calls = Load();
    return calls;
}

} // namespace kw
