#include "db/OdbcParameters.h"

#include "db/NullValue.h"

#include <QDate>
#include <QDateTime>

namespace tolvar {

namespace {

bool isAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

}  // namespace

SQLRETURN OdbcParameters::bind(SQLHSTMT statement, const QList<QVariant>& values)
{
    const OdbcApi& api = odbcApi();
    buffers_.clear();
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        Buffer& b = buffers_.emplace_back();
        SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR, digits = 0;
        SQLULEN size = 1;
        SQLPOINTER data = nullptr;
        SQLLEN length = 0;
        if (isNullValue(value)) {
            b.indicator = SQL_NULL_DATA;
        } else {
            switch (value.typeId()) {
            case QMetaType::Int:
            case QMetaType::Short:
                cType = SQL_C_SLONG, sqlType = SQL_INTEGER, size = 10;
                b.fixed.int32 = value.toInt();
                data = &b.fixed.int32;
                break;
            case QMetaType::UInt:
            case QMetaType::LongLong:
                cType = SQL_C_SBIGINT, sqlType = SQL_BIGINT, size = 19;
                b.fixed.int64 = value.toLongLong();
                data = &b.fixed.int64;
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                cType = SQL_C_DOUBLE, sqlType = SQL_DOUBLE, size = 15;
                b.fixed.real = value.toDouble();
                data = &b.fixed.real;
                break;
            case QMetaType::Bool:
                cType = SQL_C_BIT, sqlType = SQL_BIT, size = 1;
                b.fixed.bit = value.toBool() ? 1 : 0;
                data = &b.fixed.bit;
                break;
            case QMetaType::QDate: {
                const QDate d = value.toDate();
                cType = SQL_C_TYPE_DATE, sqlType = SQL_TYPE_DATE, size = 10;
                b.fixed.date = {SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
                data = &b.fixed.date;
                break;
            }
            case QMetaType::QDateTime: {
                const QDateTime dt = value.toDateTime();
                const QDate d = dt.date();
                const QTime t = dt.time();
                cType = SQL_C_TYPE_TIMESTAMP, sqlType = SQL_TYPE_TIMESTAMP, size = 23, digits = 3;
                b.fixed.timestamp = {SQLSMALLINT(d.year()),           SQLUSMALLINT(d.month()),
                                     SQLUSMALLINT(d.day()),           SQLUSMALLINT(t.hour()),
                                     SQLUSMALLINT(t.minute()),        SQLUSMALLINT(t.second()),
                                     SQLUINTEGER(t.msec()) * 1000000u};
                data = &b.fixed.timestamp;
                break;
            }
            case QMetaType::QByteArray:
                b.bytes = value.toByteArray();
                cType = SQL_C_BINARY, sqlType = SQL_VARBINARY;
                size = SQLULEN(qMax<qsizetype>(1, b.bytes.size()));
                data = b.bytes.data();
                length = b.indicator = b.bytes.size();
                break;
            default: {
                const QString text = value.toString();
                if (isAscii(text)) {
                    b.bytes = text.toLatin1();
                    cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
                } else {
                    b.bytes = QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
                }
                size = SQLULEN(qMax<qsizetype>(1, text.size()));
                // Beyond what SQL Server's varchar(n) and nvarchar(n) hold: the long types.
                if (size > (sqlType == SQL_VARCHAR ? 8000u : 4000u))
                    sqlType = sqlType == SQL_VARCHAR ? SQL_LONGVARCHAR : SQL_WLONGVARCHAR;
                data = b.bytes.data();
                length = b.indicator = b.bytes.size();
            }
            }
        }
        const SQLRETURN r = api.BindParameter(statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, size,
                                              digits, data, length, &b.indicator);
        if (!SQL_SUCCEEDED(r))
            return r;
    }
    return SQL_SUCCESS;
}

}  // namespace tolvar
