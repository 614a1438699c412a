// How a column of an ODBC result becomes a Qt value: the field type a column of each SQL type
// gets, and the read of the current row's value with SQLGetData, in as many pieces as it takes.
// Decimals and money are read as their text and, under a low-precision policy, turned into the
// nearest double; a NULL is a null value of the field's type.
#pragma once

#include "db/OdbcApi.h"

#include <QMetaType>
#include <QSql>
#include <QVariant>

namespace tolvar {

QMetaType odbcFieldType(SQLSMALLINT sqlType, QSql::NumericalPrecisionPolicy policy);

// The value of column `column` (from 1) of the statement's current row into `value`; the result of
// the failing call, else SQL_SUCCESS.
SQLRETURN readOdbcValue(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT sqlType,
                        QSql::NumericalPrecisionPolicy policy, QVariant& value);

// A decimal number's text as the nearest double; 0 for a text that is not one.
double decimalTextToDouble(QByteArrayView text);

}  // namespace tolvar
