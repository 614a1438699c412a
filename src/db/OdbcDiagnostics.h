// odbcError: what the driver manager and the driver say about a handle's last call, as a QSqlError:
// every diagnostic record as "[SQLSTATE] text", in order, and as its native number that of the first
// error record that has one (the server's own error number where the driver passes it on, such as
// SQL Server's 18456 for a refused login), which the program's failures carry.
#pragma once

#include "db/OdbcApi.h"

#include <QSqlError>

namespace tolvar {

QSqlError odbcError(SQLSMALLINT handleType, SQLHANDLE handle, const QString& driverText, QSqlError::ErrorType type);

}  // namespace tolvar
