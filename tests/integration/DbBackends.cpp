#include "integration/DbBackends.h"

#include "settings/LoadSettings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace tolvar::test {

namespace {

// The shared object of Debian's PostgreSQL ODBC driver, as the system's driver list names it.
QString postgresOdbcDriver()
{
    QProcess query;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ODBCSYSINI"));  // the system's list, not a test's private one
    query.setProcessEnvironment(env);
    query.start(QStringLiteral("odbcinst"), {QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("-n"),
                                             QStringLiteral("PostgreSQL Unicode")});
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

const char* backendName(Backend backend)
{
    switch (backend) {
    case Backend::SQLite: return "SQLite";
    case Backend::PostgreSQL: return "PostgreSQL";
    case Backend::ODBC: return "ODBC";
    }
    return "?";
}

std::optional<DbSetting> settingFor(Backend backend, const QTemporaryDir& scratch)
{
    if (backend == Backend::SQLite) {
        DbSetting s;
        s.Provider = QStringLiteral("SQLite");
        s.ServerName = makeTestSqlite(scratch.path());
        s.ConnectTimeout = 5;
        return s;
    }
    std::optional<DbSetting> pg = postgresSetting();
    if (!pg || backend == Backend::PostgreSQL)
        return pg;
    // A private driver list, so that the system's (which logs every call) is not used.
    static const QString driver = postgresOdbcDriver();
    if (driver.isEmpty())
        return std::nullopt;
    writeFile(QDir(scratch.path()).filePath(QStringLiteral("odbcinst.ini")),
              "[PostgreSQL Unicode]\nDriver=" + driver.toUtf8() + "\nCommLog=0\nDebug=0\n");
    qputenv("ODBCSYSINI", scratch.path().toUtf8());
    const QString host = pg->ServerName.section(QLatin1Char(':'), 0, 0);
    const QString port = pg->ServerName.section(QLatin1Char(':'), 1);
    DbSetting s = *pg;
    s.Provider = QStringLiteral("ODBC");
    s.ServerName = QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2").arg(host, port);
    return s;
}

bool useBackend(Backend backend, const QTemporaryDir& scratch)
{
    const std::optional<DbSetting> setting = settingFor(backend, scratch);
    if (setting)
        gPoDbSetting = *setting;
    return setting.has_value();
}

}  // namespace tolvar::test
