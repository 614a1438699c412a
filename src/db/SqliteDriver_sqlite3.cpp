#include "db/SqliteDriver.h"

#include "db/NullValue.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <QVariant>

// The handle under the type name Qt's own driver gives it, which the direct reader looks for.
Q_DECLARE_OPAQUE_POINTER(sqlite3*)
Q_DECLARE_METATYPE(sqlite3*)

namespace tolvar {

namespace {

// Qt's words for the driver's failures (translated where Qt's translations are installed).
QString resultText(const char* text)
{
    return QCoreApplication::translate("QSQLiteResult", text);
}

QSqlError sqliteError(sqlite3* db, const QString& text, QSqlError::ErrorType type, int code)
{
    return QSqlError(text, QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(db))), type,
                     QString::number(code));
}

}  // namespace

QSqlError sqliteStatementError(sqlite3* db, const char* driverText, QSqlError::ErrorType type, int code)
{
    return sqliteError(db, resultText(driverText), type, code);
}

namespace {

class SqliteResult;

QString utf16(const void* text)
{
    return text ? QString::fromUtf16(static_cast<const char16_t*>(text)) : QString();
}

// The field type of a column: from its declared type, else from the first row's value.
QMetaType columnType(const QString& declared, int valueType)
{
    if (!declared.isEmpty()) {
        const QString name = declared.toLower();
        if (name == QLatin1String("integer") || name == QLatin1String("int"))
            return QMetaType(QMetaType::Int);
        if (name == QLatin1String("double") || name == QLatin1String("float") || name == QLatin1String("real") ||
            name.startsWith(QLatin1String("numeric")))
            return QMetaType(QMetaType::Double);
        if (name == QLatin1String("blob"))
            return QMetaType(QMetaType::QByteArray);
        if (name == QLatin1String("boolean") || name == QLatin1String("bool"))
            return QMetaType(QMetaType::Bool);
        return QMetaType(QMetaType::QString);
    }
    switch (valueType) {
    case SQLITE_INTEGER: return QMetaType(QMetaType::Int);
    case SQLITE_FLOAT: return QMetaType(QMetaType::Double);
    case SQLITE_BLOB: return QMetaType(QMetaType::QByteArray);
    case SQLITE_TEXT: return QMetaType(QMetaType::QString);
    default: return QMetaType();
    }
}

class SqliteDriver final : public QSqlDriver {
public:
    SqliteDriver() = default;
    ~SqliteDriver() override { close(); }

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString& database, const QString& user, const QString& password, const QString& host, int port,
              const QString& options) override;
    void close() override;
    QSqlResult* createResult() const override;
    QVariant handle() const override { return QVariant::fromValue(db_); }

    sqlite3* connection() const { return db_; }
    // The results whose statements closing the connection must finalize first.
    void attach(SqliteResult* result) const { results_.append(result); }
    void detach(SqliteResult* result) const { results_.removeOne(result); }

private:
    sqlite3* db_ = nullptr;
    mutable QList<SqliteResult*> results_;
};

// One statement, read forward. The statement is stepped once when it runs, so that a failure of
// its first row is the statement's failure, as with Qt's driver.
class SqliteResult final : public QSqlResult {
public:
    explicit SqliteResult(const SqliteDriver* driver) : QSqlResult(driver), owner_(driver) { owner_->attach(this); }
    ~SqliteResult() override
    {
        if (driver())  // the driver may be gone with its connection
            owner_->detach(this);
        finalize();
    }
    void finalize()
    {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }

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
    int numRowsAffected() override { return live() ? sqlite3_changes(owner_->connection()) : -1; }
    QSqlRecord record() const override { return isActive() && isSelect() ? columns_ : QSqlRecord(); }

private:
    bool live() const { return driver() && driver()->isOpen() && !driver()->isOpenError(); }
    bool bind(const QList<QVariant>& values);
    // Steps to the next row into `into`; false at the end or on a failure (then lastError tells).
    bool step(QList<QVariant>& into);
    void readColumns(bool empty);

    const SqliteDriver* owner_;
    sqlite3_stmt* stmt_ = nullptr;
    QSqlRecord columns_;
    QList<QVariant> row_;
    QList<QVariant> first_;  // the row read when the statement ran
    bool firstRead_ = false;
};

bool SqliteDriver::hasFeature(DriverFeature feature) const
{
    switch (feature) {
    case BLOB:
    case Unicode:
    case PreparedQueries:
    case PositionalPlaceholders:
    case NamedPlaceholders:
    case SimpleLocking:
    case FinishQuery:
    case LowPrecisionNumbers: return true;
    default: return false;  // no transactions: the program only reads
    }
}

bool SqliteDriver::open(const QString& database, const QString&, const QString&, const QString&, int,
                        const QString& options)
{
    if (isOpen())
        close();
    int timeout = 5000;
    bool readOnly = false, uri = false, sharedCache = false, extendedCodes = true;
    for (QStringView option : QStringView(options).split(QLatin1Char(';'))) {
        option = option.trimmed();
        if (option.startsWith(QLatin1String("QSQLITE_BUSY_TIMEOUT"))) {
            const QStringView value = option.mid(20).trimmed();
            bool ok = false;
            const int ms = value.startsWith(QLatin1Char('=')) ? value.mid(1).trimmed().toInt(&ok) : 0;
            if (ok)
                timeout = ms;
        } else if (option == QLatin1String("QSQLITE_OPEN_READONLY")) {
            readOnly = true;
        } else if (option == QLatin1String("QSQLITE_OPEN_URI")) {
            uri = true;
        } else if (option == QLatin1String("QSQLITE_ENABLE_SHARED_CACHE")) {
            sharedCache = true;
        } else if (option == QLatin1String("QSQLITE_NO_USE_EXTENDED_RESULT_CODES")) {
            extendedCodes = false;
        } else if (!option.isEmpty()) {
            qWarning("Unsupported option '%ls'", qUtf16Printable(option.toString()));
        }
    }
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    flags |= sharedCache ? SQLITE_OPEN_SHAREDCACHE : SQLITE_OPEN_PRIVATECACHE;
    flags |= SQLITE_OPEN_NOMUTEX | (uri ? SQLITE_OPEN_URI : 0);
    const int opened = sqlite3_open_v2(database.toUtf8().constData(), &db_, flags, nullptr);
    if (opened != SQLITE_OK) {
        setLastError(sqliteError(db_, QCoreApplication::translate("QSQLiteDriver", "Error opening database"),
                                 QSqlError::ConnectionError, opened));
        setOpenError(true);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, timeout);
    sqlite3_extended_result_codes(db_, extendedCodes ? 1 : 0);
    setOpen(true);
    setOpenError(false);
    return true;
}

void SqliteDriver::close()
{
    if (!isOpen())
        return;
    for (SqliteResult* result : std::as_const(results_))
        result->finalize();
    const int closed = sqlite3_close(db_);
    if (closed != SQLITE_OK)
        setLastError(sqliteError(db_, QCoreApplication::translate("QSQLiteDriver", "Error closing database"),
                                 QSqlError::ConnectionError, closed));
    db_ = nullptr;
    setOpen(false);
    setOpenError(false);
}

QSqlResult* SqliteDriver::createResult() const
{
    return new SqliteResult(this);  // owned by the QSqlQuery that asked for it
}

bool SqliteResult::prepare(const QString& query)
{
    if (!live())
        return false;
    finalize();
    columns_.clear();
    row_.clear();
    firstRead_ = false;
    setAt(QSql::BeforeFirstRow);
    setActive(false);
    setSelect(false);
    const void* tail = nullptr;
    sqlite3* db = owner_->connection();
    const int prepared =
        sqlite3_prepare16_v2(db, query.utf16(), static_cast<int>((query.size() + 1) * sizeof(QChar)), &stmt_, &tail);
    if (prepared != SQLITE_OK) {
        setLastError(sqliteStatementError(db, "Unable to execute statement", QSqlError::StatementError, prepared));
        finalize();
        return false;
    }
    if (!utf16(tail).trimmed().isEmpty()) {
        setLastError(sqliteStatementError(db, "Unable to execute multiple statements at a time",
                                          QSqlError::StatementError, SQLITE_MISUSE));
        finalize();
        return false;
    }
    return true;
}

bool SqliteResult::bind(const QList<QVariant>& values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        int bound = SQLITE_OK;
        if (isNullValue(value)) {
            bound = sqlite3_bind_null(stmt_, i + 1);
        } else {
            switch (value.typeId()) {
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                bound = sqlite3_bind_blob(stmt_, i + 1, bytes.constData(), static_cast<int>(bytes.size()),
                                          SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::Int:
            case QMetaType::Bool: bound = sqlite3_bind_int(stmt_, i + 1, value.toInt()); break;
            case QMetaType::Double: bound = sqlite3_bind_double(stmt_, i + 1, value.toDouble()); break;
            case QMetaType::UInt:
            case QMetaType::LongLong: bound = sqlite3_bind_int64(stmt_, i + 1, value.toLongLong()); break;
            default: {
                // Text; dates and times in Qt's ISO form, as Qt's driver writes them.
                const QString text = value.typeId() == QMetaType::QDateTime
                                         ? value.toDateTime().toString(Qt::ISODateWithMs)
                                     : value.typeId() == QMetaType::QTime ? value.toTime().toString(u"hh:mm:ss.zzz")
                                                                          : value.toString();
                bound = sqlite3_bind_text16(stmt_, i + 1, text.utf16(), static_cast<int>(text.size() * sizeof(QChar)),
                                            SQLITE_TRANSIENT);
            }
            }
        }
        if (bound != SQLITE_OK) {
            setLastError(sqliteStatementError(owner_->connection(), "Unable to bind parameters",
                                              QSqlError::StatementError, bound));
            finalize();
            return false;
        }
    }
    return true;
}

bool SqliteResult::exec()
{
    const QList<QVariant> values = boundValues();
    columns_.clear();
    row_.clear();
    firstRead_ = false;
    setLastError(QSqlError());
    setAt(QSql::BeforeFirstRow);
    if (!stmt_ || !live())
        return false;
    const int reset = sqlite3_reset(stmt_);
    if (reset != SQLITE_OK) {
        setLastError(
            sqliteStatementError(owner_->connection(), "Unable to reset statement", QSqlError::StatementError, reset));
        finalize();
        return false;
    }
    if (sqlite3_bind_parameter_count(stmt_) != values.size()) {
        setLastError(QSqlError(resultText("Parameter count mismatch"), QString(), QSqlError::StatementError));
        return false;
    }
    if (!bind(values))
        return false;
    firstRead_ = step(first_);
    if (lastError().isValid()) {
        setSelect(false);
        setActive(false);
        return false;
    }
    // A statement that reads anything has columns, even when no row comes back.
    setSelect(!columns_.isEmpty());
    setActive(true);
    setAt(QSql::BeforeFirstRow);
    return true;
}

void SqliteResult::readColumns(bool empty)
{
    const int count = sqlite3_column_count(stmt_);
    for (int i = 0; i < count; ++i) {
        const QString name = utf16(sqlite3_column_name16(stmt_, i)).remove(QLatin1Char('"'));
        const QString table = utf16(sqlite3_column_table_name16(stmt_, i)).remove(QLatin1Char('"'));
        const int valueType = empty ? -1 : sqlite3_column_type(stmt_, i);
        QSqlField field(name, columnType(utf16(sqlite3_column_decltype16(stmt_, i)), valueType), table);
        field.setSqlType(valueType);
        columns_.append(field);
    }
}

bool SqliteResult::step(QList<QVariant>& into)
{
    sqlite3* db = owner_->connection();
    if (!stmt_ || !db) {
        setLastError(QSqlError(resultText("Unable to fetch row"), resultText("No query"), QSqlError::ConnectionError));
        return false;
    }
    int stepped = sqlite3_step(stmt_);
    if (stepped == SQLITE_ROW) {
        if (columns_.isEmpty())
            readColumns(false);
        into.resize(columns_.count());
        for (int i = 0; i < columns_.count(); ++i) {
            switch (sqlite3_column_type(stmt_, i)) {
            case SQLITE_BLOB:
                into[i] =
                    QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt_, i)), sqlite3_column_bytes(stmt_, i));
                break;
            case SQLITE_INTEGER: into[i] = static_cast<qlonglong>(sqlite3_column_int64(stmt_, i)); break;
            case SQLITE_FLOAT:
                switch (numericalPrecisionPolicy()) {
                case QSql::LowPrecisionInt32: into[i] = sqlite3_column_int(stmt_, i); break;
                case QSql::LowPrecisionInt64: into[i] = static_cast<qlonglong>(sqlite3_column_int64(stmt_, i)); break;
                default: into[i] = sqlite3_column_double(stmt_, i); break;
                }
                break;
            case SQLITE_NULL: into[i] = QVariant(QMetaType::fromType<QString>()); break;
            default:
                // The text as SQLite gives it in UTF-16, bytes that are not UTF-8 included.
                into[i] = QString(static_cast<const QChar*>(sqlite3_column_text16(stmt_, i)),
                                  sqlite3_column_bytes16(stmt_, i) / static_cast<int>(sizeof(QChar)));
            }
        }
        return true;
    }
    if (stepped == SQLITE_DONE) {
        if (columns_.isEmpty())
            readColumns(true);
        sqlite3_reset(stmt_);
        return false;
    }
    // A generic error tells its particular code and message once the statement is reset.
    if (stepped == SQLITE_ERROR || stepped == SQLITE_CONSTRAINT)
        stepped = sqlite3_reset(stmt_);
    else
        sqlite3_reset(stmt_);
    setLastError(sqliteStatementError(db, "Unable to fetch row", QSqlError::ConnectionError, stepped));
    return false;
}

bool SqliteResult::fetchFirst()
{
    if (at() != QSql::BeforeFirstRow || !firstRead_) {
        setAt(QSql::AfterLastRow);
        return false;
    }
    row_ = std::move(first_);
    firstRead_ = false;
    setAt(0);
    return true;
}

bool SqliteResult::fetchNext()
{
    if (at() == QSql::BeforeFirstRow)
        return fetchFirst();
    if (at() < 0 || !step(row_)) {
        setAt(QSql::AfterLastRow);
        return false;
    }
    setAt(at() + 1);
    return true;
}

bool SqliteResult::fetch(int index)
{
    // Forward only: the row it is on, or the next one (the first from before it).
    if (index == at())
        return at() >= 0;
    if (index == at() + 1)
        return fetchNext();
    return false;
}

bool SqliteResult::fetchLast()
{
    if (!fetchNext())
        return false;
    QList<QVariant> last = row_;
    int lastAt = at();
    while (step(row_)) {
        last = row_;
        ++lastAt;
    }
    if (lastError().isValid()) {
        setAt(QSql::AfterLastRow);
        return false;
    }
    row_ = std::move(last);
    setAt(lastAt);
    return true;
}

}  // namespace

std::unique_ptr<QSqlDriver> makeSqliteDriver()
{
    return std::make_unique<SqliteDriver>();
}

}  // namespace tolvar
