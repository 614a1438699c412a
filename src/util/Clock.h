// Today's date, read through one seam so that tests can fix the day.
#pragma once

#include "util/ScopedSeam.h"

#include <QDate>

namespace tolvar {

QDate today();

// While it lives, today() is the given date.
class TodayForTesting : public ScopedSeam<QDate> {
public:
    explicit TodayForTesting(const QDate& date);
};

}  // namespace tolvar
