// Turns a Qt SQL error into a Failure: the driver's native code when it is a non-zero number,
// otherwise the program's fixed number for that kind of failure.
#pragma once

#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <QSqlError>

namespace tolvar {

Failure failureFromSqlError(const QSqlError& error, FailureCode fallback);

}  // namespace tolvar
