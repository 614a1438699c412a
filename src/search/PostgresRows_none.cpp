#include "search/PostgresRows.h"

namespace tolvar {

// Where the program is not linked to libpq (on Windows PostgreSQL goes through ODBC), every
// search reads through the driver.
std::optional<PoResultRows> readPostgresRows(const QSqlDatabase&, const QString&, const QVariantList&)
{
    return std::nullopt;
}

}  // namespace tolvar
