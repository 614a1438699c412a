// SqliteDriver: SQLite read through the system's own library, linked into the program. It reads
// as Qt's SQLite driver plugin reads (the values and their types, the column names, the failures
// with their texts and numbers), without loading Qt's plugins: finding and loading them costs a
// short command such as tolvar-po about a millisecond, more than a tenth of its whole run.
// Where the library is not linked in (the Windows build), there is none and the plugin serves.
#pragma once

#include <QSqlDriver>
#include <memory>

namespace tolvar {

// A driver for one connection; nullptr where the program has none of its own.
std::unique_ptr<QSqlDriver> makeSqliteDriver();

}  // namespace tolvar
