// The databases the database tests run on: SQLite always; PostgreSQL and ODBC (Debian's
// PostgreSQL ODBC driver) when the test command started the private server.
#pragma once

#include "settings/DbSetting.h"

#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace tolvar::test {

enum class Backend { SQLite, PostgreSQL, ODBC };
const char* backendName(Backend backend);

// The settings that reach the test data on the backend, or nothing (then skip with the reason).
std::optional<DbSetting> settingFor(Backend backend, const QTemporaryDir& scratch);
// The same, put into gPoDbSetting; false when the backend is not there (the test then skips).
bool useBackend(Backend backend, const QTemporaryDir& scratch);

}  // namespace tolvar::test
