#include "search/SqliteRows.h"

#include "db/DbError.h"
#include "db/SqliteDriver.h"
#include "search/DriverHandle.h"

#include <sqlite3.h>
#include <QSqlError>

namespace tolvar {

namespace {

// A failure as the driver reports it.
Failure sqliteFailure(sqlite3* db, const char* driverText, int code, FailureCode fallback)
{
    return failureFromSqlError(sqliteStatementError(db, driverText, QSqlError::StatementError, code), fallback);
}

// The statement, finalized however the reading ends.
class Statement {
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt_); }
    sqlite3_stmt** out() { return &stmt_; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

std::optional<PoResultRows> readSqliteRows(const QSqlDatabase& database, const QString& statement,
                                           const QVariantList& values)
{
    auto* db = static_cast<sqlite3*>(driverHandle(database, {"sqlite3*"}));
    if (!db || !allText(values))
        return std::nullopt;

    Statement stmt;
    const int prepared = sqlite3_prepare16_v2(
        db, statement.utf16(), static_cast<int>((statement.size() + 1) * sizeof(QChar)), stmt.out(), nullptr);
    if (prepared != SQLITE_OK)
        throw sqliteFailure(db, "Unable to execute statement", prepared, FailureCode::DbStatementFailed);
    for (int i = 0; i < values.size(); ++i) {
        const QString text = values.at(i).toString();
        const int bound = sqlite3_bind_text16(stmt.get(), i + 1, text.utf16(),
                                              static_cast<int>(text.size() * sizeof(QChar)), SQLITE_TRANSIENT);
        if (bound != SQLITE_OK)
            throw sqliteFailure(db, "Unable to bind parameters", bound, FailureCode::DbStatementFailed);
    }
    // The grid's ten columns exactly; anything else goes the driver's way, which refuses it.
    if (sqlite3_column_count(stmt.get()) < PoResultModel::kColumns)
        return std::nullopt;
    PoResultRows rows;
    for (;;) {
        const int step = sqlite3_step(stmt.get());
        if (step == SQLITE_DONE)
            break;
        if (step != SQLITE_ROW)
            throw sqliteFailure(db, "Unable to fetch row", step, FailureCode::DbReadFailed);
        for (int c = 0; c < PoResultModel::kColumns; ++c) {
            // The column's value as the statement holds it: one call into SQLite, then its parts.
            sqlite3_value* value = sqlite3_column_value(stmt.get(), c);
            switch (sqlite3_value_type(value)) {
            case SQLITE_NULL: rows.appendText({}, true); break;
            case SQLITE_INTEGER: rows.append(QVariant(static_cast<qlonglong>(sqlite3_value_int64(value)))); break;
            case SQLITE_FLOAT: rows.append(QVariant(sqlite3_value_double(value))); break;
            case SQLITE_BLOB:
                rows.append(QVariant(
                    QByteArray(static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value))));
                break;
            default: {
                // The text as SQLite keeps it (UTF-8) decoded by Qt; should it not be UTF-8
                // throughout, as SQLite itself turns it into UTF-16, which is what the driver reads.
                const auto* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
                if (!rows.appendUtf8(QByteArrayView(utf8, sqlite3_value_bytes(value)))) {
                    rows.dropLast();
                    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(value));
                    rows.appendText(QStringView(text, sqlite3_value_bytes16(value) / 2), false);
                }
            }
            }
        }
    }
    return rows;
}

}  // namespace tolvar
