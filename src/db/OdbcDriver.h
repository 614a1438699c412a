// OdbcDriver: the program's Qt SQL driver over ODBC (see OdbcApi). The connection string reaches
// the driver manager exactly as the program built it; Qt's own ODBC driver rewrites it (it puts
// "DSN=" before any text that names no driver or server, and appends the user and the password
// unescaped). The connect options are SQL_ATTR_LOGIN_TIMEOUT=N and SQL_ATTR_CONNECTION_TIMEOUT=N.
// Values come back typed as Qt's drivers give them: texts, whole numbers, doubles (a decimal or
// money value read from its text, so that it is the double nearest that decimal, as any other
// database's copy of the same number reads), dates, date-times, times, byte arrays, and a NULL
// as a null value of the column's type. Failures carry the diagnostics' SQLSTATEs, texts and
// native number (OdbcDiagnostics). Statements are read forward only.
#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <memory>

namespace tolvar {

std::unique_ptr<QSqlDriver> makeOdbcDriver();

// The ODBC connection handle (SQLHDBC) of a connection opened through this driver, else nullptr.
void* odbcConnectionHandle(const QSqlDatabase& database);
// Whether the connection's driver gives texts read as SQL_C_CHAR in UTF-8: FreeTDS told to with
// ClientCharset=UTF-8 (elsewhere, Microsoft's drivers above all, that is the system's code page).
bool odbcTextsInUtf8(const QSqlDatabase& database);

}  // namespace tolvar
