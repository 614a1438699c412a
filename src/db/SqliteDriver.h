// SqliteDriver: SQLite read through the system's own library, linked into the program. It reads
// as Qt's SQLite driver plugin reads (the values and their types, the column names, the failures
// with their texts and numbers), without loading Qt's plugins: finding and loading them costs a
// short command such as tolvar-po about a millisecond, more than a tenth of its whole run.
// Where the library is not linked in (the Windows build), there is none and the plugin serves.
#pragma once

#include <QSqlDriver>
#include <QSqlError>
#include <memory>

struct sqlite3;

namespace tolvar {

// A driver for one connection; nullptr where the program has none of its own.
std::unique_ptr<QSqlDriver> makeSqliteDriver();

// Where the program has its driver: a failure of SQLite worded as Qt's SQLite driver words a
// statement's (`driverText`, one of its English texts, translated as Qt's are), with SQLite's
// message and code. The search's direct reader reports its failures with it too.
QSqlError sqliteStatementError(sqlite3* db, const char* driverText, QSqlError::ErrorType type, int code);

}  // namespace tolvar
