#include "db/OdbcValues.h"

#include <QDate>
#include <QDateTime>
#include <charconv>

namespace tolvar {

namespace {

enum class Kind { Text, Decimal, Int32, Int64, Bit, Real, Date, Time, Timestamp, Binary };

Kind kindOf(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_DECIMAL:
    case SQL_NUMERIC: return Kind::Decimal;
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT: return Kind::Int32;
    case SQL_BIGINT: return Kind::Int64;
    case SQL_BIT: return Kind::Bit;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return Kind::Real;
    case SQL_TYPE_DATE:
    case SQL_DATE: return Kind::Date;
    case SQL_TYPE_TIME:
    case SQL_TIME: return Kind::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return Kind::Timestamp;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return Kind::Binary;
    default: return Kind::Text;  // character types, GUIDs, and whatever else: as the driver writes it
    }
}

// A value of variable length in pieces: each SQLGetData call continues where the last one ended.
template <typename Unit>
SQLRETURN readPieces(const OdbcApi& api, SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType,
                     std::basic_string<Unit>& out, bool& isNull)
{
    Unit piece[4096 / sizeof(Unit)];
    // Text ends with a terminator the driver writes into the piece; bytes do not.
    const std::size_t room = cType == SQL_C_BINARY ? std::size(piece) : std::size(piece) - 1;
    isNull = false;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN r = api.GetData(stmt, column, cType, piece, sizeof piece, &indicator);
        if (r == SQL_NO_DATA)
            return SQL_SUCCESS;  // every piece read
        if (!SQL_SUCCEEDED(r))
            return r;
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return SQL_SUCCESS;
        }
        const std::size_t bytes = indicator == SQL_NO_TOTAL ? room * sizeof(Unit) : std::size_t(indicator);
        out.append(piece, qMin(room, bytes / sizeof(Unit)));
        if (r == SQL_SUCCESS)
            return r;  // that was the last piece
    }
}

template <typename T>
SQLRETURN readFixed(const OdbcApi& api, SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, T& out, bool& isNull)
{
    SQLLEN indicator = 0;
    const SQLRETURN r = api.GetData(stmt, column, cType, &out, sizeof out, &indicator);
    isNull = SQL_SUCCEEDED(r) && indicator == SQL_NULL_DATA;
    return r;
}

}  // namespace

double decimalTextToDouble(QByteArrayView text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && *begin == ' ')
        ++begin;
    if (begin < end && *begin == '+')
        ++begin;
    double value = 0;
    std::from_chars(begin, end, value);
    return value;
}

QMetaType odbcFieldType(SQLSMALLINT sqlType, QSql::NumericalPrecisionPolicy policy)
{
    switch (kindOf(sqlType)) {
    case Kind::Decimal: return QMetaType(policy == QSql::HighPrecision ? QMetaType::QString : QMetaType::Double);
    case Kind::Int32: return QMetaType(QMetaType::Int);
    case Kind::Int64: return QMetaType(QMetaType::LongLong);
    case Kind::Bit: return QMetaType(QMetaType::Bool);
    case Kind::Real: return QMetaType(QMetaType::Double);
    case Kind::Date: return QMetaType(QMetaType::QDate);
    case Kind::Time: return QMetaType(QMetaType::QTime);
    case Kind::Timestamp: return QMetaType(QMetaType::QDateTime);
    case Kind::Binary: return QMetaType(QMetaType::QByteArray);
    case Kind::Text: break;
    }
    return QMetaType(QMetaType::QString);
}

SQLRETURN readOdbcValue(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT sqlType, QSql::NumericalPrecisionPolicy policy,
                        QVariant& value)
{
    const OdbcApi& api = odbcApi();
    bool isNull = false;
    SQLRETURN r = SQL_SUCCESS;
    switch (kindOf(sqlType)) {
    case Kind::Text: {
        std::u16string text;
        r = readPieces(api, stmt, column, SQL_C_WCHAR, text, isNull);
        // An empty text stays an empty text, not Qt's null one.
        value = text.empty() ? QString::fromLatin1("") : QString::fromStdU16String(text);
        break;
    }
    case Kind::Decimal: {
        std::string text;
        r = readPieces(api, stmt, column, SQL_C_CHAR, text, isNull);
        if (policy == QSql::HighPrecision)
            value = QString::fromLatin1(text);
        else
            value = decimalTextToDouble(text);
        break;
    }
    case Kind::Binary: {
        std::string bytes;
        r = readPieces(api, stmt, column, SQL_C_BINARY, bytes, isNull);
        value = QByteArray::fromStdString(bytes);
        break;
    }
    case Kind::Int32: {
        SQLINTEGER n = 0;
        r = readFixed(api, stmt, column, SQL_C_SLONG, n, isNull);
        value = int(n);
        break;
    }
    case Kind::Int64: {
        SQLBIGINT n = 0;
        r = readFixed(api, stmt, column, SQL_C_SBIGINT, n, isNull);
        value = qlonglong(n);
        break;
    }
    case Kind::Bit: {
        unsigned char bit = 0;
        r = readFixed(api, stmt, column, SQL_C_BIT, bit, isNull);
        value = bit != 0;
        break;
    }
    case Kind::Real: {
        SQLDOUBLE d = 0;
        r = readFixed(api, stmt, column, SQL_C_DOUBLE, d, isNull);
        value = double(d);
        break;
    }
    case Kind::Date: {
        SQL_DATE_STRUCT d{};
        r = readFixed(api, stmt, column, SQL_C_TYPE_DATE, d, isNull);
        value = QDate(d.year, d.month, d.day);
        break;
    }
    case Kind::Time: {
        SQL_TIME_STRUCT t{};
        r = readFixed(api, stmt, column, SQL_C_TYPE_TIME, t, isNull);
        value = QTime(t.hour, t.minute, t.second);
        break;
    }
    case Kind::Timestamp: {
        SQL_TIMESTAMP_STRUCT t{};
        r = readFixed(api, stmt, column, SQL_C_TYPE_TIMESTAMP, t, isNull);
        value = QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000u)));
        break;
    }
    }
    if (SQL_SUCCEEDED(r) && isNull)
        value = QVariant(odbcFieldType(sqlType, policy));
    return r;
}

}  // namespace tolvar
