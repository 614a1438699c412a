// dbfRound: rounds a fixed-point amount to a number of decimal places (negative: tens, hundreds),
// half up (mode 0 and any other), up (mode 1, adjustment 0.99) or down (mode 2, truncation).
// After an overflow or a zero scale it shows "エラー発生" (caption "dbfRound") and returns 0.
#pragma once

#include "util/Currency.h"

namespace tolvar {

double dbfRound(const Currency& value, int digits, int mode);
// The same with the 16-bit arguments by reference, the shape the office's code calls it in.
double dbfRound(const Currency& value, const qint16& digits, const qint16& mode);

}  // namespace tolvar
