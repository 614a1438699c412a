// Which ODBC drivers serve SQL Server on this system: Microsoft's on Windows, where every PC has
// at least its "SQL Server" driver; FreeTDS elsewhere.
#pragma once

namespace tolvar {

#ifdef _WIN32
inline constexpr bool kMicrosoftSqlServerDrivers = true;
#else
inline constexpr bool kMicrosoftSqlServerDrivers = false;
#endif

}  // namespace tolvar
