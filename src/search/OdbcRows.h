// OdbcRows: the search's rows read straight from an ODBC connection of the program's own driver
// into the result table: the columns bound to arrays, hundreds of rows fetched in one call, each
// value taken from the bound buffer into the table's text with no QVariant on the way. Every typed
// value is still bound as a parameter. The table holds exactly what the driver's values would give
// it: text as it is, NULL as NULL, a date as yyyy/MM/dd (and a date with a time of day with it, as
// the grid shows any such value); a column of another type goes through the driver's value.
#pragma once

#include "search/PoResultModel.h"

#include <QSqlDatabase>
#include <QVariantList>
#include <optional>

namespace tolvar {

// The rows of the statement ("?" for each value, bound in order); nullopt when this way does not
// apply (another driver, fewer columns than the grid's, a text longer than its column said), and
// the caller reads through the driver. A statement the server refuses, or a connection lost on
// the way, is the numbered Failure the driver's error would give.
std::optional<PoResultRows> readOdbcRows(const QSqlDatabase& database, const QString& statement,
                                         const QVariantList& values);

}  // namespace tolvar
