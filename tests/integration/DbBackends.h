// The databases the database tests run on: SQLite always; PostgreSQL, ODBC (Debian's PostgreSQL ODBC
// driver) and SQL Server (the T-SQL test server through FreeTDS) when the test command started
// the private servers.
#pragma once

#include "settings/DbSetting.h"

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace tolvar::test {

enum class Backend { SQLite, PostgreSQL, ODBC, SqlServer };
const char* backendName(Backend backend);

// The settings that reach the test data on the backend, or nothing (then skip with the reason).
std::optional<DbSetting> settingFor(Backend backend, const QTemporaryDir& scratch);
// The same, put into gPoDbSetting; false when the backend is not there (the test then skips).
bool useBackend(Backend backend, const QTemporaryDir& scratch);
// Why a backend's cases are skipped.
QString skipReason(Backend backend);

// The T-SQL test server's connection.json (tests/tds/tds-server.sh), or nothing when the test run
// started none.
std::optional<QJsonObject> tdsServer();
// SQL Server settings for one of its databases ("fixture" or "demo"), as the office writes them.
DbSetting sqlServerSetting(const QJsonObject& server, const QString& database = QStringLiteral("fixture"));

// The drivers the ODBC cases use, registered in a driver list of the test process's own: the
// system's logs every call of the PostgreSQL driver. Returns the folder it is in (ODBCSYSINI),
// empty when a driver is missing.
QString privateOdbcDrivers();

}  // namespace tolvar::test
