// PostgresRows: the search's rows read straight from PostgreSQL into the result table when the
// connection goes through Qt's PostgreSQL driver: the whole result in one answer from the server
// (the driver asks for it row by row) and each value from libpq's buffer into the table's text,
// with no QVariant on the way. The table holds exactly what the driver's values would give it:
// text as it is, NULL as NULL, a date as yyyy/MM/dd.
#pragma once

#include "search/PoResultModel.h"

#include <QSqlDatabase>
#include <QVariantList>
#include <optional>

namespace tolvar {

// The rows of the statement ("?" for each value, bound in order); nullopt when this way does not
// apply (another driver, a build without libpq, a value that is not text, a column of a type
// other than text and date), and the caller reads through the driver. A statement the server
// refuses is the numbered Failure the driver's error would give.
std::optional<PoResultRows> readPostgresRows(const QSqlDatabase& database, const QString& statement,
                                             const QVariantList& values);

}  // namespace tolvar
