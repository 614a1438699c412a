// dbfRound: rounds a fixed-point amount to a number of decimal places (negative: tens, hundreds),
// half up (mode 0 and any other), up (mode 1, adjustment 0.99) or down (mode 2, truncation).
// After an overflow or a zero scale it shows "エラー発生" (caption "dbfRound") and returns 0.
#pragma once

#include "util/Currency.h"

namespace tolvar {

double dbfRound(const Currency& value, const qint16& digits, const qint16& mode);

}  // namespace tolvar
