#include "db/OdbcDriver.h"

#include "db/OdbcApi.h"
#include "db/OdbcConnectionString.h"
#include "db/OdbcDiagnostics.h"
#include "db/OdbcParameters.h"
#include "db/OdbcValues.h"
#include "util/Failure.h"

#include <QCoreApplication>
#include <QList>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <vector>

namespace tolvar {

namespace {

class OdbcResult;

// Qt's words for the driver's failures (translated where Qt's translations are installed).
QString resultText(const char* text)
{
    return QCoreApplication::translate("QODBCResult", text);
}

class OdbcDriver final : public QSqlDriver {
public:
    OdbcDriver() = default;
    ~OdbcDriver() override { close(); }

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString& connectionString, const QString& user, const QString& password, const QString& host,
              int port, const QString& options) override;
    void close() override;
    QSqlResult* createResult() const override;
    QVariant handle() const override { return QVariant::fromValue(static_cast<void*>(dbc_)); }

    SQLHDBC connection() const { return dbc_; }
    bool textsInUtf8() const { return textsInUtf8_; }
    // The results whose statements must be freed before the connection goes.
    void attach(OdbcResult* result) const { results_.append(result); }
    void detach(OdbcResult* result) const { results_.removeOne(result); }

private:
    void freeHandles();

    SQLHENV env_ = SQL_NULL_HANDLE;
    SQLHDBC dbc_ = SQL_NULL_HANDLE;
    bool textsInUtf8_ = false;
    mutable QList<OdbcResult*> results_;
};

// One statement, read forward; each row's values are read whole when the row is fetched.
class OdbcResult final : public QSqlResult {
public:
    explicit OdbcResult(const OdbcDriver* driver) : QSqlResult(driver), owner_(driver) { owner_->attach(this); }
    ~OdbcResult() override
    {
        if (driver())  // the driver may be gone with its connection
            owner_->detach(this);
        freeStatement();
    }
    void freeStatement();

protected:
    bool reset(const QString& query) override { return prepare(query) && exec(); }
    bool prepare(const QString& query) override;
    bool exec() override;
    bool fetch(int index) override;
    bool fetchFirst() override;
    bool fetchLast() override;
    bool fetchNext() override;
    QVariant data(int column) override { return column >= 0 && column < row_.size() ? row_.at(column) : QVariant(); }
    bool isNull(int column) override { return column < 0 || column >= row_.size() || row_.at(column).isNull(); }
    int size() override { return -1; }
    int numRowsAffected() override;
    QSqlRecord record() const override { return isActive() && isSelect() ? columns_ : QSqlRecord(); }
    void detachFromResultSet() override;

private:
    bool live() const { return driver() && driver()->isOpen() && !driver()->isOpenError(); }
    // No result: no columns, no row, before the first.
    void clearResult();
    void fail(const char* text, QSqlError::ErrorType type);
    void describeColumns(SQLSMALLINT count);

    const OdbcDriver* owner_;
    SQLHSTMT stmt_ = SQL_NULL_HANDLE;
    OdbcParameters parameters_;
    QSqlRecord columns_;
    std::vector<SQLSMALLINT> sqlTypes_;
    QList<QVariant> row_;
};

bool OdbcDriver::hasFeature(DriverFeature feature) const
{
    switch (feature) {
    case Unicode:
    case PreparedQueries:
    case PositionalPlaceholders:
    case FinishQuery:
    case LowPrecisionNumbers: return true;
    default: return false;  // no transactions: the program only reads
    }
}

bool OdbcDriver::open(const QString& connectionString, const QString&, const QString&, const QString&, int,
                      const QString& options)
{
    if (isOpen())
        close();
    setOpenError(true);
    const OdbcApi* api = nullptr;
    try {
        api = &odbcApi();
    } catch (const Failure& missing) {
        setLastError(QSqlError(QCoreApplication::translate("QODBCDriver", "Unable to connect"), missing.description(),
                               QSqlError::ConnectionError, QString::number(missing.number())));
        return false;
    }
    if (!SQL_SUCCEEDED(api->AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
        env_ = SQL_NULL_HANDLE;
        setLastError(QSqlError(QCoreApplication::translate("QODBCDriver", "Unable to allocate environment"), QString(),
                               QSqlError::ConnectionError));
        return false;
    }
    api->SetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(api->AllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
        dbc_ = SQL_NULL_HANDLE;
        setLastError(odbcError(SQL_HANDLE_ENV, env_,
                               QCoreApplication::translate("QODBCDriver", "Unable to allocate connection"),
                               QSqlError::ConnectionError));
        freeHandles();
        return false;
    }
    // The time-outs, where the driver has them; one it lacks is no reason not to connect.
    for (const QString& option : options.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = option.section(QLatin1Char('='), 0, 0).trimmed();
        const SQLULEN seconds = option.section(QLatin1Char('='), 1).trimmed().toULong();
        if (name == QLatin1String("SQL_ATTR_LOGIN_TIMEOUT"))
            api->SetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
        else if (name == QLatin1String("SQL_ATTR_CONNECTION_TIMEOUT"))
            api->SetConnectAttr(dbc_, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
    }
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN r = api->DriverConnect(dbc_, nullptr, sqlText(connectionString), SQL_NTS, completed,
                                           SQLSMALLINT(std::size(completed)), &completedLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(r)) {
        setLastError(odbcError(SQL_HANDLE_DBC, dbc_, QCoreApplication::translate("QODBCDriver", "Unable to connect"),
                               QSqlError::ConnectionError));
        freeHandles();
        return false;
    }
    // FreeTDS's library, whatever name the driver is registered under, and UTF-8 asked for.
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameBytes = 0;
    api->GetInfo(dbc_, SQL_DRIVER_NAME, name, SQLSMALLINT(sizeof name), &nameBytes);
    const QString driverFile =
        fromSqlText(name, qBound<qsizetype>(0, qsizetype(nameBytes / 2), qsizetype(std::size(name)) - 1));
    try {
        textsInUtf8_ = driverFile.contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive) &&
                       OdbcConnectionString::parse(connectionString)
                               .value(u"ClientCharset")
                               .value_or(QString())
                               .compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
    } catch (const Failure&) {
        textsInUtf8_ = false;  // a string the driver took but this reader cannot read: assume nothing
    }
    setOpen(true);
    setOpenError(false);
    return true;
}

void OdbcDriver::freeHandles()
{
    const OdbcApi& api = odbcApi();
    if (dbc_ != SQL_NULL_HANDLE)
        api.FreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_ != SQL_NULL_HANDLE)
        api.FreeHandle(SQL_HANDLE_ENV, env_);
    dbc_ = SQL_NULL_HANDLE;
    env_ = SQL_NULL_HANDLE;
}

void OdbcDriver::close()
{
    if (!isOpen())
        return;
    for (OdbcResult* result : std::as_const(results_))
        result->freeStatement();
    // A connection that is already lost cannot be left politely; its handles are freed all the same.
    odbcApi().Disconnect(dbc_);
    freeHandles();
    setOpen(false);
    setOpenError(false);
}

QSqlResult* OdbcDriver::createResult() const
{
    return new OdbcResult(this);  // owned by the QSqlQuery that asked for it
}

void OdbcResult::freeStatement()
{
    if (stmt_ != SQL_NULL_HANDLE)
        odbcApi().FreeHandle(SQL_HANDLE_STMT, stmt_);
    stmt_ = SQL_NULL_HANDLE;
}

void OdbcResult::fail(const char* text, QSqlError::ErrorType type)
{
    setLastError(stmt_ != SQL_NULL_HANDLE ? odbcError(SQL_HANDLE_STMT, stmt_, resultText(text), type)
                                          : odbcError(SQL_HANDLE_DBC, owner_->connection(), resultText(text), type));
}

void OdbcResult::clearResult()
{
    setActive(false);
    setSelect(false);
    setAt(QSql::BeforeFirstRow);
    columns_.clear();
    sqlTypes_.clear();
    row_.clear();
}

bool OdbcResult::prepare(const QString& query)
{
    clearResult();
    freeStatement();
    if (!live())
        return false;
    const OdbcApi& api = odbcApi();
    if (!SQL_SUCCEEDED(api.AllocHandle(SQL_HANDLE_STMT, owner_->connection(), &stmt_))) {
        stmt_ = SQL_NULL_HANDLE;
        fail("Unable to allocate statement", QSqlError::StatementError);
        return false;
    }
    if (!SQL_SUCCEEDED(api.Prepare(stmt_, sqlText(query), SQL_NTS))) {
        fail("Unable to prepare statement", QSqlError::StatementError);
        freeStatement();
        return false;
    }
    return true;
}

bool OdbcResult::exec()
{
    setLastError(QSqlError());
    clearResult();
    if (stmt_ == SQL_NULL_HANDLE || !live())
        return false;
    const OdbcApi& api = odbcApi();
    api.FreeStmt(stmt_, SQL_CLOSE);
    api.FreeStmt(stmt_, SQL_RESET_PARAMS);
    if (!SQL_SUCCEEDED(parameters_.bind(stmt_, boundValues()))) {
        fail("Unable to bind variable", QSqlError::StatementError);
        return false;
    }
    SQLRETURN r = api.Execute(stmt_);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
        fail("Unable to execute statement", QSqlError::StatementError);
        return false;
    }
    // The first result that has columns: a statement may answer with row counts before it.
    SQLSMALLINT count = 0;
    r = api.NumResultCols(stmt_, &count);
    while (SQL_SUCCEEDED(r) && count == 0 && SQL_SUCCEEDED(api.MoreResults(stmt_)))
        r = api.NumResultCols(stmt_, &count);
    if (!SQL_SUCCEEDED(r)) {
        fail("Unable to execute statement", QSqlError::StatementError);
        return false;
    }
    describeColumns(count);
    if (lastError().isValid())
        return false;
    setSelect(count > 0);
    setActive(true);
    return true;
}

void OdbcResult::describeColumns(SQLSMALLINT count)
{
    const OdbcApi& api = odbcApi();
    for (SQLSMALLINT c = 1; c <= count; ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(api.DescribeCol(stmt_, SQLUSMALLINT(c), name, SQLSMALLINT(std::size(name)), &nameLength,
                                           &sqlType, &size, &digits, &nullable))) {
            fail("Unable to describe column", QSqlError::StatementError);
            return;
        }
        QSqlField field(fromSqlText(name, qBound<qsizetype>(0, qsizetype(nameLength), qsizetype(std::size(name)) - 1)),
                        odbcFieldType(sqlType, numericalPrecisionPolicy()));
        field.setSqlType(sqlType);
        field.setLength(int(qMin<SQLULEN>(size, INT_MAX)));
        field.setPrecision(digits);
        if (nullable != SQL_NULLABLE_UNKNOWN)
            field.setRequired(nullable == SQL_NO_NULLS);
        columns_.append(field);
        sqlTypes_.push_back(sqlType);
    }
}

bool OdbcResult::fetchNext()
{
    if (!isActive() || !isSelect() || at() == QSql::AfterLastRow || stmt_ == SQL_NULL_HANDLE || !live()) {
        setAt(QSql::AfterLastRow);
        return false;
    }
    const OdbcApi& api = odbcApi();
    const SQLRETURN r = api.Fetch(stmt_);
    if (r == SQL_NO_DATA) {
        setAt(QSql::AfterLastRow);
        return false;
    }
    if (!SQL_SUCCEEDED(r)) {
        fail("Unable to fetch next", QSqlError::ConnectionError);
        setAt(QSql::AfterLastRow);
        return false;
    }
    row_.resize(columns_.count());
    for (int c = 0; c < columns_.count(); ++c) {
        if (!SQL_SUCCEEDED(readOdbcValue(stmt_, SQLUSMALLINT(c + 1), sqlTypes_[std::size_t(c)],
                                         numericalPrecisionPolicy(), row_[c]))) {
            fail("Unable to fetch next", QSqlError::ConnectionError);
            setAt(QSql::AfterLastRow);
            return false;
        }
    }
    setAt(at() == QSql::BeforeFirstRow ? 0 : at() + 1);
    return true;
}

bool OdbcResult::fetchFirst()
{
    if (at() != QSql::BeforeFirstRow)
        return false;  // forward only
    return fetchNext();
}

bool OdbcResult::fetch(int index)
{
    // Forward only: the row it is on, or the next one (the first from before it).
    if (index == at())
        return at() >= 0;
    if (index == at() + 1 || (at() == QSql::BeforeFirstRow && index == 0))
        return fetchNext();
    return false;
}

bool OdbcResult::fetchLast()
{
    if (!fetchNext())
        return false;
    QList<QVariant> last = row_;
    int lastAt = at();
    while (fetchNext()) {
        last = row_;
        lastAt = at();
    }
    if (lastError().isValid())
        return false;
    row_ = std::move(last);
    setAt(lastAt);
    return true;
}

int OdbcResult::numRowsAffected()
{
    SQLLEN rows = -1;
    if (stmt_ == SQL_NULL_HANDLE || !SQL_SUCCEEDED(odbcApi().RowCount(stmt_, &rows)))
        return -1;
    return int(rows);
}

void OdbcResult::detachFromResultSet()
{
    if (stmt_ != SQL_NULL_HANDLE)
        odbcApi().FreeStmt(stmt_, SQL_CLOSE);
}

}  // namespace

std::unique_ptr<QSqlDriver> makeOdbcDriver()
{
    return std::make_unique<OdbcDriver>();
}

void* odbcConnectionHandle(const QSqlDatabase& database)
{
    const auto* driver = dynamic_cast<const OdbcDriver*>(database.driver());
    return driver && driver->isOpen() ? driver->connection() : nullptr;
}

bool odbcTextsInUtf8(const QSqlDatabase& database)
{
    const auto* driver = dynamic_cast<const OdbcDriver*>(database.driver());
    return driver && driver->isOpen() && driver->textsInUtf8();
}

}  // namespace tolvar
