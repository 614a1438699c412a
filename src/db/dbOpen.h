// The PO database connection gCnPo: dbOpen makes a new connection from gPoDbSetting for every
// task, and dbClose closes it. dbOpen shows its own failure ("description(number)", caption
// "dbOpen") and returns the number, never 0; dbClose ignores every failure.
#pragma once

#include "db/Connection.h"

#include <memory>

namespace tolvar {

// Kind 0 is the PO database, the only kind the program uses.
constexpr qint32 kPoDatabase = 0;

extern std::unique_ptr<Connection> gCnPo;

// The PO connection (kind 0), as every task opens and closes it.
qint32 dbOpen();
void dbClose();
// The same for a kind passed by reference, the shape the office's code calls them in.
qint32 dbOpen(qint32& kind);
void dbClose(qint32& kind);

}  // namespace tolvar
