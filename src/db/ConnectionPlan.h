// ConnectionPlan: how the settings of the PO_DB section become a Qt SQL connection. PROVIDER
// picks the driver (SQLite, PostgreSQL, ODBC, or one of the SQL Server provider names found in
// existing settings files, which go through ODBC and the FreeTDS driver); the other keys keep
// their meaning. planConnection is pure, so every provider's result can be tested without a
// server; it throws a Failure for an unknown provider, an empty server or a missing file.
#pragma once

#include "settings/DbSetting.h"

#include <QString>

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

ConnectionPlan planConnection(const DbSetting& setting, const QString& programFolder);

// An ODBC attribute value, braced when it holds characters that would end it.
QString odbcValue(const QString& value);

}  // namespace tolvar
