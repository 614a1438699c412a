#include "search/OdbcRows.h"

#include "db/DbError.h"
#include "db/OdbcApi.h"
#include "db/OdbcDiagnostics.h"
#include "db/OdbcDriver.h"
#include "db/OdbcParameters.h"
#include "db/OdbcValues.h"

#include <QCoreApplication>
#include <vector>

namespace tolvar {

namespace {

// The longest text column bound to an array, in characters; a longer one (or one of no stated
// size, such as nvarchar(max)) is read value by value.
constexpr SQLULEN kLongestBoundText = 4000;
// About how many bytes the arrays of one block take, and the most rows a block holds.
constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
constexpr std::size_t kMostBlockRows = 1024;

Failure failure(SQLHSTMT statement, const char* text, FailureCode fallback)
{
    return failureFromSqlError(odbcError(SQL_HANDLE_STMT, statement, QCoreApplication::translate("QODBCResult", text),
                                         QSqlError::StatementError),
                               fallback);
}

// The statement handle, freed however the reading ends.
class Statement {
public:
    explicit Statement(SQLHDBC connection)
    {
        if (!SQL_SUCCEEDED(odbcApi().AllocHandle(SQL_HANDLE_STMT, connection, &stmt_)))
            stmt_ = SQL_NULL_HANDLE;
    }
    ~Statement()
    {
        if (stmt_ != SQL_NULL_HANDLE)
            odbcApi().FreeHandle(SQL_HANDLE_STMT, stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT get() const { return stmt_; }

private:
    SQLHSTMT stmt_ = SQL_NULL_HANDLE;
};

// One grid column bound to an array: text (UTF-8 where the driver gives it so, else UTF-16), or a
// date with or without a time of day.
struct BoundColumn {
    bool text = true;
    std::size_t width = 0;            // bytes of one element, a multiple of 8
    std::vector<SQLBIGINT> elements;  // 8-byte aligned room for the block's elements
    std::vector<SQLLEN> indicators;
    const char* element(std::size_t row) const { return reinterpret_cast<const char*>(elements.data()) + row * width; }
};

bool isTextType(SQLSMALLINT type)
{
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR: return true;
    default: return false;
    }
}

bool isDateType(SQLSMALLINT type)
{
    return type == SQL_TYPE_DATE || type == SQL_DATE || type == SQL_TYPE_TIMESTAMP || type == SQL_TIMESTAMP;
}

// A date as the grid shows it: yyyy/MM/dd, and " HH:mm:ss" after it when it has a time of day.
void appendDate(PoResultRows& rows, const SQL_TIMESTAMP_STRUCT& t)
{
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
        t.minute > 59 || t.second > 59) {
        rows.append(QVariant(
            QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000u)))));
        return;
    }
    char text[19];
    const auto digits = [&text](int at, unsigned value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            text[at + i] = char('0' + value % 10);
    };
    digits(0, unsigned(t.year), 4);
    text[4] = '/';
    digits(5, t.month, 2);
    text[7] = '/';
    digits(8, t.day, 2);
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.fraction / 1000000u == 0;
    if (!midnight) {
        text[10] = ' ';
        digits(11, t.hour, 2);
        text[13] = ':';
        digits(14, t.minute, 2);
        text[16] = ':';
        digits(17, t.second, 2);
    }
    rows.appendUtf8(QByteArrayView(text, midnight ? 10 : 19));
}

// Every row one value at a time, as the driver reads them: for a column that is not bound.
void readValueByValue(SQLHSTMT stmt, const std::vector<SQLSMALLINT>& types, PoResultRows& rows)
{
    const OdbcApi& api = odbcApi();
    for (;;) {
        const SQLRETURN r = api.Fetch(stmt);
        if (r == SQL_NO_DATA)
            return;
        if (!SQL_SUCCEEDED(r))
            throw failure(stmt, "Unable to fetch next", FailureCode::DbReadFailed);
        for (int c = 0; c < PoResultModel::kColumns; ++c) {
            QVariant value;
            if (!SQL_SUCCEEDED(
                    readOdbcValue(stmt, SQLUSMALLINT(c + 1), types[std::size_t(c)], QSql::LowPrecisionDouble, value)))
                throw failure(stmt, "Unable to fetch next", FailureCode::DbReadFailed);
            rows.append(value);
        }
    }
}

}  // namespace

std::optional<PoResultRows> readOdbcRows(const QSqlDatabase& database, const QString& statement,
                                         const QVariantList& values)
{
    auto* connection = static_cast<SQLHDBC>(odbcConnectionHandle(database));
    if (!connection)
        return std::nullopt;
    const OdbcApi& api = odbcApi();
    const Statement stmt(connection);
    if (stmt.get() == SQL_NULL_HANDLE)
        return std::nullopt;
    OdbcParameters parameters;
    if (!SQL_SUCCEEDED(parameters.bind(stmt.get(), values)))
        throw failure(stmt.get(), "Unable to bind variable", FailureCode::DbStatementFailed);
    const SQLRETURN executed = api.ExecDirect(stmt.get(), sqlText(statement), SQL_NTS);
    if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA)
        throw failure(stmt.get(), "Unable to execute statement", FailureCode::DbStatementFailed);
    SQLSMALLINT count = 0;
    SQLRETURN r = api.NumResultCols(stmt.get(), &count);
    while (SQL_SUCCEEDED(r) && count == 0 && SQL_SUCCEEDED(api.MoreResults(stmt.get())))
        r = api.NumResultCols(stmt.get(), &count);
    if (!SQL_SUCCEEDED(r))
        throw failure(stmt.get(), "Unable to execute statement", FailureCode::DbStatementFailed);
    if (count < PoResultModel::kColumns)
        return std::nullopt;

    // What each column is, and whether every one of them can be bound.
    std::vector<SQLSMALLINT> types;
    std::vector<BoundColumn> columns(PoResultModel::kColumns);
    // UTF-8 straight from the driver where it gives it, else UTF-16, which every driver gives.
    const bool utf8 = odbcTextsInUtf8(database);
    const std::size_t unitBytes = utf8 ? 1 : sizeof(SQLWCHAR);
    // A character of the column takes up to four bytes in UTF-8 (a supplementary character counts
    // two in SQL Server's sizes), one or two units of UTF-16; and the terminator after the text.
    const std::size_t unitsPerCharacter = utf8 ? 4 : 1;
    bool bindAll = true;
    std::size_t rowBytes = 0;
    for (int c = 0; c < PoResultModel::kColumns; ++c) {
        SQLWCHAR name[128];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(api.DescribeCol(stmt.get(), SQLUSMALLINT(c + 1), name, SQLSMALLINT(std::size(name)),
                                           &nameLength, &type, &size, &digits, &nullable)))
            throw failure(stmt.get(), "Unable to describe column", FailureCode::DbReadFailed);
        types.push_back(type);
        BoundColumn& column = columns[std::size_t(c)];
        if (isTextType(type) && size > 0 && size <= kLongestBoundText) {
            column.width = ((size * unitsPerCharacter + 1) * unitBytes + 7) / 8 * 8;
        } else if (isDateType(type)) {
            column.text = false;
            column.width = (sizeof(SQL_TIMESTAMP_STRUCT) + 7) / 8 * 8;
        } else {
            bindAll = false;
        }
        rowBytes += column.width;
    }
    PoResultRows rows;
    if (!bindAll) {
        readValueByValue(stmt.get(), types, rows);
        return rows;
    }

    const std::size_t blockRows = qBound<std::size_t>(1, kBlockBytes / qMax<std::size_t>(rowBytes, 1), kMostBlockRows);
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> statuses(blockRows);
    api.SetStmtAttr(stmt.get(), SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    if (!SQL_SUCCEEDED(
            api.SetStmtAttr(stmt.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows), 0)))
        throw failure(stmt.get(), "Unable to fetch next", FailureCode::DbReadFailed);
    api.SetStmtAttr(stmt.get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    api.SetStmtAttr(stmt.get(), SQL_ATTR_ROW_STATUS_PTR, statuses.data(), 0);
    for (int c = 0; c < PoResultModel::kColumns; ++c) {
        BoundColumn& column = columns[std::size_t(c)];
        column.elements.resize(blockRows * column.width / sizeof(SQLBIGINT));
        column.indicators.resize(blockRows);
        const SQLRETURN bound = api.BindCol(stmt.get(), SQLUSMALLINT(c + 1),
                                            !column.text ? SQL_C_TYPE_TIMESTAMP
                                            : utf8       ? SQL_C_CHAR
                                                         : SQL_C_WCHAR,
                                            column.elements.data(), SQLLEN(column.width), column.indicators.data());
        if (!SQL_SUCCEEDED(bound))
            throw failure(stmt.get(), "Unable to bind column", FailureCode::DbReadFailed);
    }

    for (;;) {
        fetched = 0;
        r = api.Fetch(stmt.get());
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r))
            throw failure(stmt.get(), "Unable to fetch next", FailureCode::DbReadFailed);
        for (std::size_t row = 0; row < fetched; ++row) {
            if (statuses[row] == SQL_ROW_ERROR)
                throw failure(stmt.get(), "Unable to fetch next", FailureCode::DbReadFailed);
            for (const BoundColumn& column : columns) {
                const SQLLEN indicator = column.indicators[row];
                if (indicator == SQL_NULL_DATA) {
                    rows.appendText({}, true);
                } else if (!column.text) {
                    appendDate(rows, *reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(column.element(row)));
                } else if (indicator == SQL_NO_TOTAL || std::size_t(indicator) > column.width - unitBytes) {
                    return std::nullopt;  // longer than the column said: the driver's way reads it whole
                } else if (utf8) {
                    rows.appendUtf8(QByteArrayView(column.element(row), qsizetype(indicator)));
                } else {
                    rows.appendText(QStringView(reinterpret_cast<const char16_t*>(column.element(row)),
                                                qsizetype(indicator) / qsizetype(sizeof(SQLWCHAR))),
                                    false);
                }
            }
        }
    }
    return rows;
}

}  // namespace tolvar
