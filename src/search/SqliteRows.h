// SqliteRows: the search's rows read straight from SQLite into the result table when the
// connection goes through Qt's SQLite driver: each value goes from SQLite's own buffer into the
// table's text with no QVariant on the way, which is most of what a large result costs. The table
// holds exactly what the driver's values would give it: text as it is, NULL as NULL, an integer, a
// real or a blob as the driver's value of it shows.
#pragma once

#include "search/PoResultModel.h"

#include <QSqlDatabase>
#include <QVariantList>
#include <optional>

namespace tolvar {

// The rows of the statement with the values bound in order; nullopt when this way does not apply
// (another driver, a build without SQLite's library, a value that is not text), and the caller
// reads through the driver. A statement SQLite refuses, or a failure while reading, is the Failure
// the driver's error would give.
std::optional<PoResultRows> readSqliteRows(const QSqlDatabase& database, const QString& statement,
                                           const QVariantList& values);

}  // namespace tolvar
