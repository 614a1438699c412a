#include "util/Failure.h"

namespace tolvar {

Failure::Failure(qint32 number, QString description)
    : number_(number), description_(std::move(description)), what_(messageText().toStdString())
{
}

Failure Failure::of(FailureCode code, const QString& detail)
{
    return Failure(toNumber(code),
                   detail.isEmpty() ? failureText(code) : failureText(code) + QLatin1Char(' ') + detail);
}

QString Failure::messageText() const
{
    return description_ + QLatin1Char('(') + QString::number(number_) + QLatin1Char(')');
}

}  // namespace tolvar
