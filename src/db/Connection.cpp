#include "db/Connection.h"

#include "db/DbError.h"
#include "db/OdbcDriver.h"
#include "db/SqliteDriver.h"
#include "platform/PrivateFolder.h"
#include "platform/ReplacingFile.h"

#include <QFile>
#include <QSqlQuery>
#include <atomic>

namespace tolvar {

namespace {

std::atomic<int> serial{0};

// FreeTDS reads its configuration from the file FREETDSCONF names while it connects: the plan's
// section, in a file of the user's own that no one else may read or change (it names the server
// and the authority). The variable is put back as it was once the connection is made.
class FreeTdsConfiguration {
public:
    FreeTdsConfiguration() : previous_(qgetenv("FREETDSCONF")), had_(qEnvironmentVariableIsSet("FREETDSCONF")) {}
    ~FreeTdsConfiguration()
    {
        if (!used_)
            return;
        if (had_)
            qputenv("FREETDSCONF", previous_);
        else
            qunsetenv("FREETDSCONF");
    }
    FreeTdsConfiguration(const FreeTdsConfiguration&) = delete;
    FreeTdsConfiguration& operator=(const FreeTdsConfiguration&) = delete;
    void use(const QString& section);

private:
    QByteArray previous_;
    bool had_;
    bool used_ = false;
};

void FreeTdsConfiguration::use(const QString& section)
{
    const QString folder = privateFolder();
    if (folder.isEmpty())
        throw Failure::of(FailureCode::DbOpenFailed, QStringLiteral("(ENCRYPT=1: no folder of the user's own)"));
    const QString path = folder + QStringLiteral("/tolvar-freetds.conf");
    ReplacingFile file(path);
    const QByteArray bytes = section.toUtf8();
    if (!file.write(bytes.constData(), bytes.size()) || !file.commit())
        throw Failure::of(FailureCode::DbOpenFailed, path + QStringLiteral(" (") + file.errorString() + ')');
    qputenv("FREETDSCONF", QFile::encodeName(path));
    used_ = true;
}

}  // namespace

Connection::Connection() : name_(QStringLiteral("tolvar-%1").arg(++serial)) {}

Connection::~Connection()
{
    close();
    if (QSqlDatabase::contains(name_))
        QSqlDatabase::removeDatabase(name_);
}

void Connection::open(const ConnectionPlan& plan)
{
    // SQLite without looking for Qt's plugins where the program has its own driver for it; ODBC
    // always through the program's own driver, which hands the connection string on as it is.
    std::unique_ptr<QSqlDriver> own = plan.driver == QLatin1String("QSQLITE") ? makeSqliteDriver()
                                      : plan.driver == QLatin1String("ODBC")  ? makeOdbcDriver()
                                                                              : nullptr;
    if (!own && !QSqlDatabase::isDriverAvailable(plan.driver))
        throw Failure::of(FailureCode::DbDriverMissing, plan.driver);
    if (QSqlDatabase::contains(name_))
        QSqlDatabase::removeDatabase(name_);
    // The connection owns the driver given to it.
    QSqlDatabase db =
        own ? QSqlDatabase::addDatabase(own.release(), name_) : QSqlDatabase::addDatabase(plan.driver, name_);
    db.setDatabaseName(plan.databaseName);
    if (!plan.host.isEmpty())
        db.setHostName(plan.host);
    if (plan.port > 0)
        db.setPort(plan.port);
    db.setUserName(plan.userName);
    db.setPassword(plan.password);
    db.setConnectOptions(plan.connectOptions);
    FreeTdsConfiguration freeTds;
    if (!plan.freeTdsConfiguration.isEmpty())
        freeTds.use(plan.freeTdsConfiguration);
    if (!db.open())
        throw failureFromSqlError(db.lastError(), FailureCode::DbOpenFailed);
    if (plan.driver == QLatin1String("QSQLITE")) {
        // SQLite opens any file lazily; reading its catalogue proves it is a database.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            const Failure failure = failureFromSqlError(probe.lastError(), FailureCode::DbOpenFailed);
            probe = QSqlQuery();
            db.close();
            throw failure;
        }
    }
}

void Connection::close() noexcept
{
    if (QSqlDatabase::contains(name_))
        QSqlDatabase::database(name_, false).close();
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(name_, false);
}

}  // namespace tolvar
