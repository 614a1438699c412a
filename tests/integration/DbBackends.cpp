#include "integration/DbBackends.h"

#include "settings/LoadSettings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>

namespace tolvar::test {

namespace {

// The shared object of a driver as the system's driver list names it.
QString systemOdbcDriver(const QString& name)
{
    QProcess query;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ODBCSYSINI"));  // the system's list, not a test's private one
    query.setProcessEnvironment(env);
    query.start(QStringLiteral("odbcinst"), {QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("-n"), name});
    if (!query.waitForFinished(10000) || query.exitCode() != 0)
        return {};
    for (const QByteArray& line : query.readAllStandardOutput().split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("Driver=") || trimmed.startsWith("Driver =")) {
            // Debian registers the bare file name, which the driver manager finds in its own folder.
            const QString path = QString::fromUtf8(trimmed.mid(trimmed.indexOf('=') + 1).trimmed());
            return QDir::isRelativePath(path) || QFile::exists(path) ? path : QString();
        }
    }
    return {};
}

}  // namespace

QString privateOdbcDrivers()
{
    static const QString folder = [] {
        const QString postgres = systemOdbcDriver(QStringLiteral("PostgreSQL Unicode"));
        const QString freeTds = systemOdbcDriver(QStringLiteral("FreeTDS"));
        if (postgres.isEmpty() || freeTds.isEmpty())
            return QString();
        // Lives as long as the process: the driver manager reads the list at every connection.
        static QTemporaryDir dir;
        writeFile(QDir(dir.path()).filePath(QStringLiteral("odbcinst.ini")),
                  "[PostgreSQL Unicode]\nDriver=" + postgres.toUtf8() +
                      "\nCommLog=0\nDebug=0\n\n[FreeTDS]\nDriver=" + freeTds.toUtf8() + "\n");
        qputenv("ODBCSYSINI", dir.path().toUtf8());
        return dir.path();
    }();
    return folder;
}

const char* backendName(Backend backend)
{
    switch (backend) {
    case Backend::SQLite: return "SQLite";
    case Backend::PostgreSQL: return "PostgreSQL";
    case Backend::ODBC: return "ODBC";
    case Backend::SqlServer: return "SqlServer";
    }
    return "?";
}

std::optional<QJsonObject> tdsServer()
{
    const QString file = qEnvironmentVariable("TOLVAR_TEST_TDS_FILE");
    if (file.isEmpty() || !QFile::exists(file))
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(readFile(file));
    return doc.isObject() ? std::optional<QJsonObject>(doc.object()) : std::nullopt;
}

DbSetting sqlServerSetting(const QJsonObject& server, const QString& database)
{
    DbSetting s;
    s.Provider = QStringLiteral("SQLOLEDB");
    s.ServerName = QStringLiteral("%1,%2")
                       .arg(server[QStringLiteral("host")].toString())
                       .arg(server[QStringLiteral("port")].toInt());
    s.DbName = server[QStringLiteral("databases")].toObject()[database].toString();
    s.UserName = server[QStringLiteral("user")].toString();
    s.Password = server[QStringLiteral("password")].toString();
    s.ConnectTimeout = 5;
    return s;
}

std::optional<DbSetting> settingFor(Backend backend, const QTemporaryDir& scratch)
{
    switch (backend) {
    case Backend::SQLite: {
        DbSetting s;
        s.Provider = QStringLiteral("SQLite");
        s.ServerName = makeTestSqlite(scratch.path());
        s.ConnectTimeout = 5;
        return s;
    }
    case Backend::PostgreSQL: return postgresSetting();
    case Backend::ODBC: {
        std::optional<DbSetting> pg = postgresSetting();
        if (!pg || privateOdbcDrivers().isEmpty())
            return std::nullopt;
        const QString host = pg->ServerName.section(QLatin1Char(':'), 0, 0);
        const QString port = pg->ServerName.section(QLatin1Char(':'), 1);
        DbSetting s = *pg;
        s.Provider = QStringLiteral("ODBC");
        s.ServerName = QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2").arg(host, port);
        return s;
    }
    case Backend::SqlServer: {
        const std::optional<QJsonObject> server = tdsServer();
        if (!server || privateOdbcDrivers().isEmpty())
            return std::nullopt;
        return sqlServerSetting(*server);
    }
    }
    return std::nullopt;
}

bool useBackend(Backend backend, const QTemporaryDir& scratch)
{
    const std::optional<DbSetting> setting = settingFor(backend, scratch);
    if (setting)
        gPoDbSetting = *setting;
    return setting.has_value();
}

QString skipReason(Backend backend)
{
    if (backend == Backend::SqlServer)
        return QStringLiteral(
            "no T-SQL test server: run the suite through the README's test command (it starts one and sets "
            "TOLVAR_TEST_TDS_FILE)");
    return postgresSkipReason();
}

}  // namespace tolvar::test
