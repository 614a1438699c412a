#include "db/SqliteDriver.h"

namespace tolvar {

std::unique_ptr<QSqlDriver> makeSqliteDriver()
{
    return nullptr;
}

}  // namespace tolvar
