// OdbcApi: the functions of the system's ODBC driver manager that the program calls (unixODBC's
// libodbc.so.2 on Linux, odbc32.dll on Windows), found when ODBC is first used rather than linked:
// a program that reads SQLite never loads the driver manager, and one without it installed still
// starts and says what is missing when an ODBC connection is asked for. Texts cross in UTF-16
// (the "W" functions) on both systems.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace tolvar {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide characters are UTF-16");

// Every function, by the name the program calls it and the driver manager's own: one list, so
// that none is declared and left unresolved.
#define TOLVAR_ODBC_FUNCTIONS(X)          \
    X(AllocHandle, SQLAllocHandle)        \
    X(FreeHandle, SQLFreeHandle)          \
    X(SetEnvAttr, SQLSetEnvAttr)          \
    X(SetConnectAttr, SQLSetConnectAttrW) \
    X(DriverConnect, SQLDriverConnectW)   \
    X(Disconnect, SQLDisconnect)          \
    X(GetInfo, SQLGetInfoW)               \
    X(Drivers, SQLDriversW)               \
    X(DataSources, SQLDataSourcesW)       \
    X(GetDiagRec, SQLGetDiagRecW)         \
    X(SetStmtAttr, SQLSetStmtAttrW)       \
    X(Prepare, SQLPrepareW)               \
    X(ExecDirect, SQLExecDirectW)         \
    X(BindParameter, SQLBindParameter)    \
    X(Execute, SQLExecute)                \
    X(NumResultCols, SQLNumResultCols)    \
    X(DescribeCol, SQLDescribeColW)       \
    X(BindCol, SQLBindCol)                \
    X(Fetch, SQLFetch)                    \
    X(GetData, SQLGetData)                \
    X(RowCount, SQLRowCount)              \
    X(MoreResults, SQLMoreResults)        \
    X(FreeStmt, SQLFreeStmt)

struct OdbcApi {
#define TOLVAR_ODBC_MEMBER(member, function) decltype(&::function) member;
    TOLVAR_ODBC_FUNCTIONS(TOLVAR_ODBC_MEMBER)
#undef TOLVAR_ODBC_MEMBER
};

// The driver manager's functions; a Failure (DbDriverMissing) that names the library when it is
// not installed.
const OdbcApi& odbcApi();

// What the driver manager has registered: its drivers by name, the library file each names, and
// the data sources (DSNs) with the driver of each.
struct OdbcInventory {
    QStringList drivers;
    QHash<QString, QString> driverFiles;  // by the driver's name in lower case
    QHash<QString, QString> dataSources;  // the DSN's driver (a name or a file), by the DSN in lower case
};
// The inventory; nullopt when there is no driver manager to ask.
std::optional<OdbcInventory> odbcInventory();

// Texts as the "W" functions take and give them (their input texts are not written to, though
// not declared const).
inline SQLWCHAR* sqlText(const QString& text)
{
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
}
inline QString fromSqlText(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace tolvar
