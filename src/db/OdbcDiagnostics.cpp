#include "db/OdbcDiagnostics.h"

namespace tolvar {

QSqlError odbcError(SQLSMALLINT handleType, SQLHANDLE handle, const QString& driverText, QSqlError::ErrorType type)
{
    const OdbcApi& api = odbcApi();
    QStringList records;
    SQLINTEGER firstNative = 0, errorNative = 0;
    // A driver keeps a handful of records; the cap only guards against one that never says it is done.
    for (SQLSMALLINT i = 1; i <= 64; ++i) {
        SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN r = api.GetDiagRec(handleType, handle, i, state, &native, nullptr, 0, &length);
        if (!SQL_SUCCEEDED(r))
            break;  // SQL_NO_DATA after the last record
        QList<SQLWCHAR> text(qMax<SQLSMALLINT>(length, 0) + 1);
        r = api.GetDiagRec(handleType, handle, i, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        if (!SQL_SUCCEEDED(r))
            break;
        const QString sqlState = fromSqlText(state, SQL_SQLSTATE_SIZE);
        records << QStringLiteral("[%1] %2").arg(
            sqlState, fromSqlText(text.data(), qBound<qsizetype>(0, qsizetype(length), text.size() - 1)).trimmed());
        if (firstNative == 0)
            firstNative = native;
        // Class 01 is a warning ("changed database context"): the error's number is the one to keep.
        if (errorNative == 0 && !sqlState.startsWith(QLatin1String("01")))
            errorNative = native;
    }
    const SQLINTEGER number = errorNative != 0 ? errorNative : firstNative;
    return QSqlError(driverText, records.join(QLatin1Char(' ')), type,
                     number != 0 ? QString::number(number) : QString());
}

}  // namespace tolvar
