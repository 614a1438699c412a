#include "db/ConnectionPlan.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <QDir>
#include <QFileInfo>

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

ConnectionPlan planPostgres(const DbSetting& setting)
{
    requireServer(setting);
    ConnectionPlan plan;
    plan.driver = QStringLiteral("QPSQL");
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
    plan.host = server;
    if (!portText.isEmpty()) {
        bool ok = false;
        plan.port = portText.toInt(&ok);
        if (!ok || plan.port <= 0 || plan.port > 65535)
            throw Failure::of(FailureCode::DbOpenFailed, QStringLiteral("port %1").arg(portText));
    }
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

ConnectionPlan planOdbc(const DbSetting& setting)
{
    requireServer(setting);
    ConnectionPlan plan;
    plan.driver = QStringLiteral("QODBC");
    const QString server = setting.ServerName.trimmed();
    QString text = server.contains(QLatin1Char('=')) ? server : QStringLiteral("DSN=") + odbcValue(server);
    if (!text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    if (!setting.DbName.isEmpty())
        text += QStringLiteral("DATABASE=") + odbcValue(setting.DbName) + QLatin1Char(';');
    plan.databaseName = text;
    plan.userName = setting.UserName;
    plan.password = setting.Password;
    plan.connectOptions = odbcTimeouts(setting);
    return plan;
}

// SQL Server names its server "host", "host,port", "host\instance", "tcp:host,port" or "(local)".
ConnectionPlan planSqlServer(const DbSetting& setting)
{
    requireServer(setting);
    ConnectionPlan plan;
    plan.driver = QStringLiteral("QODBC");
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
    if (!setting.DbName.isEmpty())
        text += QStringLiteral("DATABASE=") + odbcValue(setting.DbName) + QLatin1Char(';');
    text += QStringLiteral("TDS_Version=7.4;ClientCharset=UTF-8;");
    plan.databaseName = text;
    plan.userName = setting.UserName;
    plan.password = setting.Password;
    plan.connectOptions = odbcTimeouts(setting);
    return plan;
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

ConnectionPlan planConnection(const DbSetting& setting, const QString& programFolder)
{
    const QString provider = setting.Provider.trimmed();
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        return planSqlite(setting, programFolder);
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        return planPostgres(setting);
    if (provider.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0)
        return planOdbc(setting);
    if (isSqlServerProvider(provider))
        return planSqlServer(setting);
    throw Failure::of(
        FailureCode::DbUnknownProvider,
        QStringLiteral("PROVIDER=\"%1\" (SQLite, PostgreSQL, ODBC, SQLOLEDB, SQLNCLI…, MSOLEDBSQL…)").arg(provider));
}

}  // namespace tolvar
