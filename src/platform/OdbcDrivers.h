// installedOdbcDrivers: the ODBC drivers the system's driver manager has installed, by name, where
// the system can tell (Windows: its registry of drivers). Nothing on Linux, where unixODBC answers
// for its drivers itself when a connection is made.
#pragma once

#include <QStringList>
#include <optional>

namespace tolvar {

std::optional<QStringList> installedOdbcDrivers();

}  // namespace tolvar
