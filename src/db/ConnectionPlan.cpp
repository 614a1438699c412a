#include "db/ConnectionPlan.h"

#include "platform/OdbcDrivers.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>

namespace tolvar {

namespace {

bool isSqlServerProvider(const QString& provider)
{
    const QString p = provider.toUpper();
    return p == QLatin1String("SQLOLEDB") || p == QLatin1String("SQLOLEDB.1") ||
           p.startsWith(QLatin1String("SQLNCLI")) || p.startsWith(QLatin1String("MSOLEDBSQL"));
}

void requireServer(const DbSetting& setting)
{
    if (setting.ServerName.trimmed().isEmpty())
        throw Failure::of(FailureCode::DbEmptyServer, QStringLiteral("(SERVER_NM)"));
}

ConnectionPlan planSqlite(const DbSetting& setting, const QString& programFolder)
{
    requireServer(setting);
    ConnectionPlan plan;
    plan.driver = QStringLiteral("QSQLITE");
    const QString file = QDir(programFolder).absoluteFilePath(setting.ServerName);
    // Opening a missing file would silently create an empty database.
    if (!QFileInfo(file).isFile())
        throw Failure::of(FailureCode::DbFileMissing, file);
    plan.databaseName = file;
    plan.connectOptions = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1")
                              .arg(qint64(qMax(0, setting.ConnectTimeout)) * 1000);
    return plan;
}

// The server's host and port from "host", "host:port" or "[v6-address]:port".
struct HostAndPort {
    QString host;
    int port = -1;
};

HostAndPort postgresHost(const DbSetting& setting)
{
    QString server = setting.ServerName.trimmed();
    QString portText;
    if (server.startsWith(QLatin1Char('['))) {  // [::1]:5432
        const qsizetype close = server.indexOf(QLatin1Char(']'));
        if (close < 0)
            throw Failure::of(FailureCode::DbOpenFailed, server);
        portText = server.mid(close + 1);
        server = server.mid(1, close - 1);
        if (!portText.isEmpty() && !portText.startsWith(QLatin1Char(':')))
            throw Failure::of(FailureCode::DbOpenFailed, setting.ServerName);
        portText = portText.mid(1);
    } else if (server.count(QLatin1Char(':')) == 1) {
        portText = server.section(QLatin1Char(':'), 1);
        server = server.section(QLatin1Char(':'), 0, 0);
    }
    HostAndPort where{server, -1};
    if (!portText.isEmpty()) {
        bool ok = false;
        where.port = portText.toInt(&ok);
        if (!ok || where.port <= 0 || where.port > 65535)
            throw Failure::of(FailureCode::DbOpenFailed, QStringLiteral("port %1").arg(portText));
    }
    return where;
}

ConnectionPlan planPostgres(const DbSetting& setting)
{
    requireServer(setting);
    const HostAndPort where = postgresHost(setting);
    ConnectionPlan plan;
    plan.driver = QStringLiteral("QPSQL");
    plan.host = where.host;
    plan.port = where.port;
    plan.databaseName = setting.DbName;
    plan.userName = setting.UserName;
    plan.password = setting.Password;
    plan.connectOptions = QStringLiteral("connect_timeout=%1").arg(qMax(0, setting.ConnectTimeout));
    return plan;
}

QString odbcTimeouts(const DbSetting& setting)
{
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
        .arg(qMax(0, setting.ConnectTimeout));
}

// Refuses a driver the system lists as not installed, naming it, rather than leaving the driver
// manager to answer with a message that does not.
void requireOdbcDriver(const QString& driver, const DriverInventory& drivers)
{
    if (!drivers.odbcDrivers || driver.isEmpty())
        return;
    for (const QString& installed : *drivers.odbcDrivers)
        if (installed.compare(driver, Qt::CaseInsensitive) == 0)
            return;
    throw Failure::of(FailureCode::DbDriverMissing, QStringLiteral("ODBC: %1").arg(driver));
}

// The driver a connection string names with DRIVER=, braced or not.
QString namedOdbcDriver(const QString& connectionString)
{
    static const QRegularExpression driver(QStringLiteral(R"((?:^|;)\s*DRIVER\s*=\s*(\{[^}]*\}|[^;]*))"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = driver.match(connectionString);
    if (!m.hasMatch())
        return {};
    QString name = m.captured(1).trimmed();
    if (name.startsWith(QLatin1Char('{')))
        name = name.mid(1, name.size() - 2);
    return name;
}

// An ODBC connection: the connection string so far, the database, then `more`; the user, the
// password and the time-outs as Qt hands them to the driver.
ConnectionPlan odbcPlan(const DbSetting& setting, QString text, const QString& more = {})
{
    ConnectionPlan plan;
    plan.driver = QStringLiteral("QODBC");
    if (!setting.DbName.isEmpty())
        text += QStringLiteral("DATABASE=") + odbcValue(setting.DbName) + QLatin1Char(';');
    plan.databaseName = text + more;
    plan.userName = setting.UserName;
    plan.password = setting.Password;
    plan.connectOptions = odbcTimeouts(setting);
    return plan;
}

// PostgreSQL through psqlODBC where Qt's own driver is not built (Windows).
ConnectionPlan planPostgresOdbc(const DbSetting& setting, const QStringList& installed)
{
    requireServer(setting);
    const HostAndPort where = postgresHost(setting);
    QString driver;
    for (const QString& prefix : {QStringLiteral("PostgreSQL Unicode"), QStringLiteral("PostgreSQL ANSI")}) {
        for (const QString& name : installed)
            if (driver.isEmpty() && name.startsWith(prefix, Qt::CaseInsensitive))
                driver = name;
    }
    if (driver.isEmpty())
        throw Failure::of(FailureCode::DbDriverMissing, QStringLiteral("ODBC: PostgreSQL Unicode (psqlODBC)"));
    QString text = QStringLiteral("DRIVER={%1};SERVER=%2;").arg(driver, odbcValue(where.host));
    if (where.port > 0)
        text += QStringLiteral("PORT=%1;").arg(where.port);
    return odbcPlan(setting, text);
}

ConnectionPlan planOdbc(const DbSetting& setting, const DriverInventory& drivers)
{
    requireServer(setting);
    const QString server = setting.ServerName.trimmed();
    if (server.contains(QLatin1Char('=')))
        requireOdbcDriver(namedOdbcDriver(server), drivers);
    QString text = server.contains(QLatin1Char('=')) ? server : QStringLiteral("DSN=") + odbcValue(server);
    if (!text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    return odbcPlan(setting, text);
}

// SQL Server names its server "host", "host,port", "host\instance", "tcp:host,port" or "(local)".
// Microsoft's drivers take that text as it is; FreeTDS wants the port apart and no "(local)".
ConnectionPlan planSqlServerMicrosoft(const DbSetting& setting, const QStringList& installed)
{
    requireServer(setting);
    const QString driver = sqlServerOdbcDriver(installed);
    if (driver.isEmpty())
        throw Failure::of(
            FailureCode::DbDriverMissing,
            QStringLiteral("ODBC: ODBC Driver 18 for SQL Server, ODBC Driver 17 for SQL Server, SQL Server"));
    QString more;
    // The OLE DB providers these settings were written for did not encrypt unless asked; driver 18
    // refuses a server whose certificate it cannot trust unless told the same.
    if (driver.section(QLatin1Char(' '), 2, 2).toInt() >= 18)
        more += QStringLiteral("Encrypt=no;");
    // No user: the signed-in Windows user, as an office's domain accounts connect.
    if (setting.UserName.isEmpty())
        more += QStringLiteral("Trusted_Connection=yes;");
    return odbcPlan(
        setting, QStringLiteral("DRIVER={%1};SERVER=%2;").arg(driver, odbcValue(setting.ServerName.trimmed())), more);
}

ConnectionPlan planSqlServer(const DbSetting& setting)
{
    requireServer(setting);
    QString server = setting.ServerName.trimmed();
    if (server.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        server = server.mid(4);
    QString port;
    if (server.contains(QLatin1Char(','))) {
        port = server.section(QLatin1Char(','), 1).trimmed();
        server = server.section(QLatin1Char(','), 0, 0).trimmed();
    }
    const QString host = server.section(QLatin1Char('\\'), 0, 0);
    if (host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        server = QStringLiteral("localhost") + server.mid(host.size());
    QString text = QStringLiteral("DRIVER={FreeTDS};SERVER=") + odbcValue(server) + QLatin1Char(';');
    if (!port.isEmpty())
        text += QStringLiteral("PORT=") + odbcValue(port) + QLatin1Char(';');
    return odbcPlan(setting, text, QStringLiteral("TDS_Version=7.4;ClientCharset=UTF-8;"));
}

}  // namespace

QString odbcValue(const QString& value)
{
    const bool needsBraces = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
                             value.contains(QLatin1Char('}')) || value.contains(QLatin1Char('=')) ||
                             value != value.trimmed();
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString sqlServerOdbcDriver(const QStringList& installed)
{
    static const QRegularExpression microsoft(QStringLiteral(R"(^ODBC Driver (\d+) for SQL Server$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString best;
    int bestVersion = 0;
    bool plain = false;
    for (const QString& name : installed) {
        const QRegularExpressionMatch m = microsoft.match(name);
        if (m.hasMatch() && m.captured(1).toInt() > bestVersion) {
            bestVersion = m.captured(1).toInt();
            best = name;
        }
        plain = plain || name.compare(QLatin1String("SQL Server"), Qt::CaseInsensitive) == 0;
    }
    if (best.isEmpty() && plain)
        best = QStringLiteral("SQL Server");
    return best;
}

DriverInventory DriverInventory::ofThisMachine()
{
    return DriverInventory{QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")), installedOdbcDrivers()};
}

bool dependsOnDrivers(const DbSetting& setting)
{
    return setting.Provider.trimmed().compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0;
}

ConnectionPlan planConnection(const DbSetting& setting, const QString& programFolder, const DriverInventory& drivers)
{
    const QString provider = setting.Provider.trimmed();
    if (!dependsOnDrivers(setting))
        return planSqlite(setting, programFolder);
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        return drivers.qpsql || !drivers.odbcDrivers ? planPostgres(setting)
                                                     : planPostgresOdbc(setting, *drivers.odbcDrivers);
    if (provider.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0)
        return planOdbc(setting, drivers);
    if (isSqlServerProvider(provider))
        return drivers.odbcDrivers ? planSqlServerMicrosoft(setting, *drivers.odbcDrivers) : planSqlServer(setting);
    throw Failure::of(
        FailureCode::DbUnknownProvider,
        QStringLiteral("PROVIDER=\"%1\" (SQLite, PostgreSQL, ODBC, SQLOLEDB, SQLNCLI…, MSOLEDBSQL…)").arg(provider));
}

}  // namespace tolvar
