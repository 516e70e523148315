// The ODBC driver manager's calls that the ODBC engine makes, found when that engine is first
// used: most runs never need the driver manager, and the program starts without it.
#pragma once

#include <sql.h>
#include <sqlext.h>

namespace kw {

struct OdbcCalls {
    decltype(&::SQLAllocHandle) AllocHandle;
    decltype(&::SQLFreeHandle) FreeHandle;
    decltype(&::SQLSetEnvAttr) SetEnvAttr;
    decltype(&::SQLSetConnectAttr) SetConnectAttr;
    decltype(&::SQLDriverConnect) DriverConnect;
    decltype(&::SQLDisconnect) Disconnect;
    decltype(&::SQLGetDiagRec) GetDiagRec;
    decltype(&::SQLExecDirect) ExecDirect;
    decltype(&::SQLRowCount) RowCount;
    decltype(&::SQLNumResultCols) NumResultCols;
    decltype(&::SQLDescribeCol) DescribeCol;
    decltype(&::SQLFetch) Fetch;
    decltype(&::SQLGetData) GetData;
    decltype(&::SQLEndTran) EndTran;
};

/// The driver manager's calls, loaded on first use. Raises kw::Failure when the driver manager
/// can't be loaded (it is then tried again on the next call).
const OdbcCalls& Odbc();

} // namespace kw
