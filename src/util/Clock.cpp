#include "util/Clock.h"

namespace tolvar {

namespace {
QDate fixedToday;
}  // namespace

QDate today()
{
    return fixedToday.isValid() ? fixedToday : QDate::currentDate();
}

TodayForTesting::TodayForTesting(const QDate& date) : ScopedSeam(fixedToday, date) {}

}  // namespace tolvar
