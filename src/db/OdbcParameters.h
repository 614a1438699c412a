// OdbcParameters: the values of a statement's '?' placeholders bound to it, and the buffers the
// driver reads them from when the statement runs, owned until the next binding. A text of ASCII
// characters only goes as varchar, any other as nvarchar: a code compared with a varchar column
// then keeps the column's index usable on SQL Server, and Japanese text is never narrowed to a
// code page. Dates, date-times, whole numbers, doubles, booleans and bytes go as their own types,
// NULL as a NULL.
#pragma once

#include "db/OdbcApi.h"

#include <QList>
#include <QVariant>
#include <deque>

namespace tolvar {

class OdbcParameters {
public:
    // Binds every value in order; the first failing call's result, else SQL_SUCCESS.
    SQLRETURN bind(SQLHSTMT statement, const QList<QVariant>& values);

private:
    struct Buffer {
        QByteArray bytes;  // text (UTF-8 for ASCII, UTF-16 otherwise) or binary data
        union {
            SQLINTEGER int32;
            SQLBIGINT int64;
            SQLDOUBLE real;
            unsigned char bit;
            SQL_DATE_STRUCT date;
            SQL_TIMESTAMP_STRUCT timestamp;
        } fixed{};
        SQLLEN indicator = 0;
    };
    // A deque: a buffer never moves once the driver has its address.
    std::deque<Buffer> buffers_;
};

}  // namespace tolvar
