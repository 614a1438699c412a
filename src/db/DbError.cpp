#include "db/DbError.h"

namespace tolvar {

Failure failureFromSqlError(const QSqlError& error, FailureCode fallback)
{
    bool ok = false;
    qint32 number = error.nativeErrorCode().trimmed().toInt(&ok);
    if (!ok || number == 0)
        number = toNumber(fallback);
    QString description = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (description.isEmpty())
        description = driver;
    else if (!driver.isEmpty() && !description.contains(driver))
        description = driver + QStringLiteral(": ") + description;
    if (description.isEmpty())
        description = failureText(fallback);
    return Failure(number, description);
}

}  // namespace tolvar
