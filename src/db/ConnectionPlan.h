// ConnectionPlan: how the settings of the PO_DB section become a Qt SQL connection. PROVIDER
// picks the driver (SQLite, PostgreSQL, ODBC, or one of the SQL Server provider names found in
// existing settings files, which go through ODBC); the other keys keep their meaning. On Windows
// SQL Server goes through the newest Microsoft driver installed, elsewhere through FreeTDS; where
// Qt's PostgreSQL driver is not built, PostgreSQL goes through psqlODBC. An ODBC connection string
// is built whole here, the user and the password in it, and reaches the driver as it is built.
// planConnection is pure, so every provider's result can be tested without a server; it throws a
// Failure for an unknown provider, an empty server, a missing file, a driver that is not
// installed or one named by a path.
#pragma once

#include "settings/DbSetting.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace tolvar {

struct ConnectionPlan {
    QString driver;        // "QSQLITE", "QPSQL", or "ODBC" (the program's own ODBC driver)
    QString databaseName;  // file, database, or the whole ODBC connection string
    QString host;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions;
    // For FreeTDS with ENCRYPT=1: a section of FreeTDS's configuration, which the connection
    // string names and the connection puts in a file of the user's own for FreeTDS to read
    // (FreeTDS verifies a server's certificate only for a server named there).
    QString freeTdsConfiguration;
};

// What the machine offers for the providers that have more than one way in.
struct DriverInventory {
    bool qpsql = true;                        // Qt's PostgreSQL driver is there
    std::optional<QStringList> odbcDrivers;   // the drivers registered with the ODBC driver manager
    QHash<QString, QString> odbcDriverFiles;  // each driver's library, by its name in lower case
    QHash<QString, QString> odbcDataSources;  // each DSN's driver, by the DSN's name in lower case
    bool microsoftSqlServer = false;          // SQL Server through Microsoft's drivers, not FreeTDS
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

}  // namespace tolvar
