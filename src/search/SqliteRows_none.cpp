#include "search/SqliteRows.h"

namespace tolvar {

// Where the program is not linked to SQLite's library itself (on Windows the driver carries its
// own copy, which must not be handed another's), every search reads through the driver.
std::optional<PoResultRows> readSqliteRows(const QSqlDatabase&, const QString&, const QVariantList&)
{
    return std::nullopt;
}

}  // namespace tolvar
