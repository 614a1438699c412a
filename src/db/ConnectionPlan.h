// ConnectionPlan: how the settings of the PO_DB section become a Qt SQL connection. PROVIDER
// picks the driver (SQLite, PostgreSQL, ODBC, or one of the SQL Server provider names found in
// existing settings files, which go through ODBC); the other keys keep their meaning. Where the
// system lists its ODBC drivers (Windows), SQL Server goes through the newest Microsoft driver
// installed and PostgreSQL, when Qt's own driver is not built, through psqlODBC; elsewhere SQL
// Server goes through FreeTDS. planConnection is pure, so every provider's result can be tested
// without a server; it throws a Failure for an unknown provider, an empty server, a missing file
// or a driver that is not installed.
#pragma once

#include "settings/DbSetting.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tolvar {

struct ConnectionPlan {
    QString driver;        // "QSQLITE", "QPSQL", "QODBC"
    QString databaseName;  // file, database, or ODBC connection string
    QString host;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions;
};

// What the machine offers for the providers that have more than one way in.
struct DriverInventory {
    bool qpsql = true;                       // Qt's PostgreSQL driver is there
    std::optional<QStringList> odbcDrivers;  // the installed ODBC drivers, where the system lists them
    static DriverInventory ofThisMachine();
};

ConnectionPlan planConnection(const DbSetting& setting, const QString& programFolder,
                              const DriverInventory& drivers = {});
// Whether the plan for the setting depends on the machine's drivers: looking them up reads every
// driver plugin Qt has, which a SQLite connection does without.
bool dependsOnDrivers(const DbSetting& setting);

// The SQL Server driver taken from those installed: the newest "ODBC Driver N for SQL Server",
// else the "SQL Server" driver every Windows has; empty when there is none.
QString sqlServerOdbcDriver(const QStringList& installed);

// An ODBC attribute value, braced when it holds characters that would end it.
QString odbcValue(const QString& value);

}  // namespace tolvar
