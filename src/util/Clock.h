// Today's date, read through one seam so that tests can fix the day.
#pragma once

#include <QDate>

namespace tolvar {

QDate today();
// A valid date fixes today for the tests; an invalid one gives back the real clock.
void setTodayForTesting(const QDate& date);

}  // namespace tolvar
