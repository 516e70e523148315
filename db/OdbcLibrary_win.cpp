// The ODBC headers need the Windows types first.
#include <windows.h>

#include "db/OdbcLibrary.h"

namespace kw {

// odbc32.dll is part of every Windows: the calls are linked directly.
const OdbcCalls& Odbc() {
    static const OdbcCalls calls{&::SQLAllocHandle,    &::SQLFreeHandle,    &::SQLSetEnvAttr,
                                 &::SQLSetConnectAttr, &::SQLDriverConnect, &::SQLDisconnect,
                                 &::SQLGetDiagRec,     &::SQLExecDirect,    &::SQLRowCount,
                                 &::SQLNumResultCols,  &::SQLDescribeCol,   &::SQLFetch,
                                 &::SQLGetData,        &::SQLEndTran};
    return calls;
}

} // namespace kw
