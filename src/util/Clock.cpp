#include "util/Clock.h"

namespace tolvar {

namespace {
QDate fixedToday;
}  // namespace

QDate today()
{
    return fixedToday.isValid() ? fixedToday : QDate::currentDate();
}

void setTodayForTesting(const QDate& date)
{
    fixedToday = date;
}

}  // namespace tolvar
