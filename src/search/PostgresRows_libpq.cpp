#include "search/PostgresRows.h"

#include "db/DbError.h"
#include "search/DriverHandle.h"

#include <libpq-fe.h>
#include <QCoreApplication>
#include <QDate>
#include <QSqlError>
#include <memory>

namespace tolvar {

namespace {

// The types of PostgreSQL whose text the driver keeps as it is, and the date.
constexpr Oid kName = 19, kText = 25, kBpchar = 1042, kVarchar = 1043, kDate = 1082;

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// "?" placeholders as PostgreSQL numbers them ($1, $2...), outside quoted text and names.
QByteArray numbered(const QString& statement)
{
    QString out;
    int next = 0;
    QChar quote;
    for (const QChar c : statement) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            out += QLatin1Char('$') + QString::number(++next);
            continue;
        }
        out += c;
    }
    return out.toUtf8();
}

// A date as the server writes it (ISO, YYYY-MM-DD) in the grid's form; anything else (a year past
// 9999, BC) as the driver's date value shows.
void appendDate(PoResultRows& rows, const char* value, int length)
{
    const auto digit = [&](int i) { return value[i] >= '0' && value[i] <= '9'; };
    if (length == 10 && value[4] == '-' && value[7] == '-' && digit(0) && digit(1) && digit(2) && digit(3) &&
        digit(5) && digit(6) && digit(8) && digit(9)) {
        const char text[10] = {value[0], value[1], value[2], value[3], '/',
                               value[5], value[6], '/',      value[8], value[9]};
        rows.appendUtf8(QByteArrayView(text, 10));
        return;
    }
    rows.append(QVariant(QDate::fromString(QString::fromLatin1(value, length), Qt::ISODate)));
}

}  // namespace

std::optional<PoResultRows> readPostgresRows(const QSqlDatabase& database, const QString& statement,
                                             const QVariantList& values)
{
    // libpq's connection, its type registered under the struct's name.
    auto* connection = static_cast<PGconn*>(driverHandle(database, {"pg_conn*", "PGconn*"}));
    if (!connection || !allText(values))
        return std::nullopt;
    std::vector<QByteArray> texts;
    for (const QVariant& v : values)
        texts.push_back(v.toString().toUtf8());
    std::vector<const char*> params;
    for (const QByteArray& t : texts)
        params.push_back(t.constData());

    const Result result(PQexecParams(connection, numbered(statement).constData(), static_cast<int>(params.size()),
                                     nullptr, params.data(), nullptr, nullptr, 0));
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        const QString message =
            QString::fromUtf8(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(connection));
        const char* state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        throw failureFromSqlError(
            QSqlError(QCoreApplication::translate("QPSQLResult", "Unable to create query"), message,
                      QSqlError::StatementError, QString::fromLatin1(state ? state : "")),
            FailureCode::DbStatementFailed);
    }
    PGresult* r = result.get();
    if (PQnfields(r) < PoResultModel::kColumns)
        return std::nullopt;
    Oid types[PoResultModel::kColumns];
    for (int c = 0; c < PoResultModel::kColumns; ++c) {
        types[c] = PQftype(r, c);
        if (types[c] != kName && types[c] != kText && types[c] != kBpchar && types[c] != kVarchar && types[c] != kDate)
            return std::nullopt;
    }
    PoResultRows rows;
    const int count = PQntuples(r);
    for (int row = 0; row < count; ++row) {
        for (int c = 0; c < PoResultModel::kColumns; ++c) {
            if (PQgetisnull(r, row, c)) {
                rows.appendText({}, true);
                continue;
            }
            const char* value = PQgetvalue(r, row, c);
            const int length = PQgetlength(r, row, c);
            if (types[c] == kDate) {
                appendDate(rows, value, length);
            } else {
                rows.appendUtf8(QByteArrayView(value, length));
            }
        }
    }
    return rows;
}

}  // namespace tolvar
