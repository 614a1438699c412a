#include "db/ConnectionPlan.h"

#include "db/OdbcApi.h"
#include "db/OdbcConnectionString.h"
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

// The authority's certificate the settings name, from the program folder when relative.
QString caFile(const DbSetting& setting, const QString& programFolder)
{
    return setting.CaFile.trimmed().isEmpty() ? QString()
                                              : QDir(programFolder).absoluteFilePath(setting.CaFile.trimmed());
}

// A libpq connection option's value, quoted as libpq reads it.
QString libpqValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

ConnectionPlan planPostgres(const DbSetting& setting, const QString& programFolder)
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
    // Encrypted, and the server the one its certificate names, verified against the authority.
    if (setting.Encrypt) {
        plan.connectOptions += QStringLiteral(";sslmode=verify-full");
        if (!setting.CaFile.trimmed().isEmpty())
            plan.connectOptions += QStringLiteral(";sslrootcert=") + libpqValue(caFile(setting, programFolder));
    }
    return plan;
}

QString odbcTimeouts(const DbSetting& setting)
{
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
        .arg(qMax(0, setting.ConnectTimeout));
}

// Refuses a driver the driver manager does not have, naming it, rather than leaving the driver
// manager to answer with a message that does not; and a driver named by a file path, which the
// driver manager would load from wherever the settings point.
void requireOdbcDriver(const QString& driver, const DriverInventory& drivers)
{
    if (driver.isEmpty())
        return;
    if (driver.contains(QLatin1Char('/')) || driver.contains(QLatin1Char('\\')))
        throw Failure::of(FailureCode::DbDriverPath, QStringLiteral("(DRIVER=%1)").arg(driver));
    if (!drivers.odbcDrivers)
        return;
    for (const QString& installed : *drivers.odbcDrivers)
        if (installed.compare(driver, Qt::CaseInsensitive) == 0)
            return;
    throw Failure::of(FailureCode::DbDriverMissing, QStringLiteral("ODBC: %1").arg(driver));
}

using Attributes = QList<std::pair<QString, QString>>;

// Whether a driver (a name or a library file) is FreeTDS, which reads connection strings its own
// way (see OdbcConnectionString, and SQL Server's port below): known by its library where the
// driver manager says which that is, else by its name.
bool isFreeTds(const QString& driver, const DriverInventory& drivers)
{
    const QString file = drivers.odbcDriverFiles.value(driver.toLower(), driver);
    return driver.startsWith(QLatin1String("FreeTDS"), Qt::CaseInsensitive) ||
           file.contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive);
}

// The driver a connection string names, by DRIVER= or through its DSN.
QString driverOf(const OdbcConnectionString& text, const DriverInventory& drivers)
{
    const QString driver = text.value(u"DRIVER").value_or(QString());
    return driver.isEmpty() ? drivers.odbcDataSources.value(text.value(u"DSN").value_or(QString()).toLower()) : driver;
}

// Which kind of driver a connection string names, by its library where the driver manager says,
// else by its name: each asks for encryption in words of its own.
enum class OdbcKind { FreeTds, MicrosoftSqlServer, PsqlOdbc, Other };

OdbcKind kindOf(const QString& driver, const DriverInventory& drivers)
{
    if (isFreeTds(driver, drivers))
        return OdbcKind::FreeTds;
    const QString file = drivers.odbcDriverFiles.value(driver.toLower(), driver);
    if (driver.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) ||
        file.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive))
        return OdbcKind::PsqlOdbc;
    if (!sqlServerOdbcDriver({driver}).isEmpty())
        return OdbcKind::MicrosoftSqlServer;
    return OdbcKind::Other;
}

// FreeTDS verifies a server's certificate only for a server its configuration file names: the
// server of SERVER= and PORT= goes into a section of the program's own, which the string then
// names, with the settings' authority (or the system's). A string that names its server through a
// DSN or a section of the office's own configuration is the office's to set up.
QString freeTdsSection(OdbcConnectionString& text, const QString& ca)
{
    const QString server = text.value(u"SERVER").value_or(QString());
    if (server.isEmpty())
        return {};
    const QString lines =
        server + text.value(u"PORT").value_or(QString()) + ca + text.value(u"TDS_Version").value_or(QString());
    if (lines.contains(QLatin1Char('\n')) || lines.contains(QLatin1Char('\r')))
        throw Failure::of(FailureCode::DbOpenFailed, QStringLiteral("(ENCRYPT=1: a line break in the server's name)"));
    QString section = QStringLiteral("[tolvar-encrypted]\n\thost = %1\n").arg(server.section(QLatin1Char('\\'), 0, 0));
    if (server.contains(QLatin1Char('\\')))
        section += QStringLiteral("\tinstance = %1\n").arg(server.section(QLatin1Char('\\'), 1));
    if (const std::optional<QString> port = text.value(u"PORT"))
        section += QStringLiteral("\tport = %1\n").arg(*port);
    if (const std::optional<QString> version = text.value(u"TDS_Version"))
        section += QStringLiteral("\ttds version = %1\n").arg(*version);
    section += QStringLiteral("\tencryption = require\n\tca file = %1\n\tcheck certificate hostname = yes\n")
                   .arg(ca.isEmpty() ? QStringLiteral("system") : ca);
    text.remove(u"SERVER");
    text.remove(u"PORT");
    text.set(QStringLiteral("SERVERNAME"), QStringLiteral("tolvar-encrypted"));
    return section;
}

// ENCRYPT=1 in the driver's words: encrypted, and the server's certificate verified (against the
// authority of CA_FILE where the driver takes one); for FreeTDS, the configuration section it
// reads. A driver whose words are not known is refused rather than connected without.
QString requireEncryption(OdbcConnectionString& text, const DbSetting& setting, const QString& programFolder,
                          const DriverInventory& drivers)
{
    const QString ca = caFile(setting, programFolder);
    switch (kindOf(driverOf(text, drivers), drivers)) {
    case OdbcKind::FreeTds:
        text.set(QStringLiteral("Encryption"), QStringLiteral("require"));
        return freeTdsSection(text, ca);
    case OdbcKind::MicrosoftSqlServer:
        // The authority is the one Windows trusts: its certificate goes into Windows' own store.
        text.set(QStringLiteral("Encrypt"), QStringLiteral("yes"));
        text.set(QStringLiteral("TrustServerCertificate"), QStringLiteral("no"));
        return {};
    case OdbcKind::PsqlOdbc:
        text.set(QStringLiteral("SSLMode"), QStringLiteral("verify-full"));
        if (!ca.isEmpty())
            text.set(QStringLiteral("pqopt"), QStringLiteral("sslrootcert=") + libpqValue(ca));
        return {};
    case OdbcKind::Other: break;
    }
    throw Failure::of(
        FailureCode::DbOpenFailed,
        QStringLiteral("(ENCRYPT=1: %1 の暗号化の指定が分かりません。SERVER_NM の接続文字列に書いてください。)")
            .arg(driverOf(text, drivers)));
}

// An ODBC connection: the connection string so far, then the settings' database, user and
// password, then `more`, then what ENCRYPT asks; the driver it names checked first.
ConnectionPlan odbcPlan(const DbSetting& setting, const QString& programFolder, OdbcConnectionString text,
                        const DriverInventory& drivers, const Attributes& more = {})
{
    requireOdbcDriver(text.value(u"DRIVER").value_or(QString()), drivers);
    // A file DSN is a file that names a driver, by path if it likes; SAVEFILE has the driver
    // manager write one. Neither belongs in the office's settings.
    for (const char16_t* keyword : {u"FILEDSN", u"SAVEFILE"})
        if (const std::optional<QString> file = text.value(keyword))
            throw Failure::of(FailureCode::DbDriverPath,
                              QStringLiteral("(%1=%2)").arg(QString::fromUtf16(keyword), *file));
    if (!setting.DbName.isEmpty())
        text.set(QStringLiteral("DATABASE"), setting.DbName);
    if (!setting.UserName.isEmpty()) {
        text.set(QStringLiteral("UID"), setting.UserName);
        text.set(QStringLiteral("PWD"), setting.Password);
    } else if (!setting.Password.isEmpty()) {
        text.set(QStringLiteral("PWD"), setting.Password);
    }
    for (const auto& [keyword, value] : more)
        text.set(keyword, value);
    ConnectionPlan plan;
    if (setting.Encrypt)
        plan.freeTdsConfiguration = requireEncryption(text, setting, programFolder, drivers);
    plan.driver = QStringLiteral("ODBC");
    plan.databaseName =
        text.text(isFreeTds(driverOf(text, drivers), drivers) ? OdbcConnectionString::Quoting::FreeTds
                                                              : OdbcConnectionString::Quoting::Standard);
    plan.connectOptions = odbcTimeouts(setting);
    return plan;
}

// The start of a connection string that names its driver and server.
OdbcConnectionString driverAndServer(const QString& driver, const QString& server)
{
    OdbcConnectionString text;
    text.set(QStringLiteral("DRIVER"), driver);
    text.set(QStringLiteral("SERVER"), server);
    return text;
}

// PostgreSQL through psqlODBC where Qt's own driver is not built (Windows).
ConnectionPlan planPostgresOdbc(const DbSetting& setting, const QString& programFolder, const DriverInventory& drivers)
{
    requireServer(setting);
    const HostAndPort where = postgresHost(setting);
    QString driver;
    const QStringList installed = drivers.odbcDrivers.value_or(QStringList());
    for (const QString& prefix : {QStringLiteral("PostgreSQL Unicode"), QStringLiteral("PostgreSQL ANSI")}) {
        for (const QString& name : installed)
            if (driver.isEmpty() && name.startsWith(prefix, Qt::CaseInsensitive))
                driver = name;
    }
    if (driver.isEmpty())
        throw Failure::of(FailureCode::DbDriverMissing, QStringLiteral("ODBC: PostgreSQL Unicode (psqlODBC)"));
    OdbcConnectionString text = driverAndServer(driver, where.host);
    if (where.port > 0)
        text.set(QStringLiteral("PORT"), QString::number(where.port));
    return odbcPlan(setting, programFolder, text, drivers);
}

// A data source name, or a whole connection string of the office's own.
ConnectionPlan planOdbc(const DbSetting& setting, const QString& programFolder, const DriverInventory& drivers)
{
    requireServer(setting);
    const QString server = setting.ServerName.trimmed();
    if (server.contains(QLatin1Char('=')))
        return odbcPlan(setting, programFolder, OdbcConnectionString::parse(server), drivers);
    OdbcConnectionString text;
    text.set(QStringLiteral("DSN"), server);
    return odbcPlan(setting, programFolder, text, drivers);
}

// SQL Server names its server "host", "host,port", "host\instance", "tcp:host,port" or "(local)".
// Microsoft's drivers take that text as it is; FreeTDS wants the port apart and no "(local)".
OdbcConnectionString freeTdsServer(const QString& driver, const DbSetting& setting)
{
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
    OdbcConnectionString text = driverAndServer(driver, server);
    if (!port.isEmpty())
        text.set(QStringLiteral("PORT"), port);
    return text;
}

// SQL Server through FreeTDS on Linux, and on Windows through the newest Microsoft driver installed
// (or FreeTDS, should that be what the driver manager has under a Microsoft driver's name).
ConnectionPlan planSqlServer(const DbSetting& setting, const QString& programFolder, const DriverInventory& drivers)
{
    requireServer(setting);
    const QString driver = drivers.microsoftSqlServer ? sqlServerOdbcDriver(drivers.odbcDrivers.value_or(QStringList()))
                                                      : QStringLiteral("FreeTDS");
    if (driver.isEmpty())
        throw Failure::of(
            FailureCode::DbDriverMissing,
            QStringLiteral("ODBC: ODBC Driver 18 for SQL Server, ODBC Driver 17 for SQL Server, SQL Server"));
    if (isFreeTds(driver, drivers)) {
        // TDS 7.4 is that of SQL Server 2012 and later; texts reach the program in UTF-8, whatever
        // the server's code page, where FreeTDS would otherwise take the locale's; the largest
        // packets SQL Server allows, which halve the client's work on a search of many rows.
        return odbcPlan(setting, programFolder, freeTdsServer(driver, setting), drivers,
                        {{QStringLiteral("TDS_Version"), QStringLiteral("7.4")},
                         {QStringLiteral("ClientCharset"), QStringLiteral("UTF-8")},
                         {QStringLiteral("PacketSize"), QStringLiteral("32767")}});
    }
    Attributes more;
    // The OLE DB providers these settings were written for did not encrypt unless asked; driver 18
    // refuses a server whose certificate it cannot trust unless told the same.
    if (driver.section(QLatin1Char(' '), 2, 2).toInt() >= 18)
        more.append({QStringLiteral("Encrypt"), QStringLiteral("no")});
    // No user: the signed-in Windows user, as an office's domain accounts connect.
    if (setting.UserName.isEmpty())
        more.append({QStringLiteral("Trusted_Connection"), QStringLiteral("yes")});
    return odbcPlan(setting, programFolder, driverAndServer(driver, setting.ServerName.trimmed()), drivers, more);
}

}  // namespace

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
    DriverInventory drivers;
    drivers.qpsql = QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"));
    drivers.microsoftSqlServer = kMicrosoftSqlServerDrivers;
    if (const std::optional<OdbcInventory> odbc = odbcInventory()) {
        drivers.odbcDrivers = odbc->drivers;
        drivers.odbcDriverFiles = odbc->driverFiles;
        drivers.odbcDataSources = odbc->dataSources;
    }
    return drivers;
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
        return drivers.qpsql ? planPostgres(setting, programFolder) : planPostgresOdbc(setting, programFolder, drivers);
    if (provider.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0)
        return planOdbc(setting, programFolder, drivers);
    if (isSqlServerProvider(provider))
        return planSqlServer(setting, programFolder, drivers);
    throw Failure::of(
        FailureCode::DbUnknownProvider,
        QStringLiteral("PROVIDER=\"%1\" (SQLite, PostgreSQL, ODBC, SQLOLEDB, SQLNCLI…, MSOLEDBSQL…)").arg(provider));
}

}  // namespace tolvar
