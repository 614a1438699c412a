// The decimal digits of a double: its shortest exact text (or a given number of significant
// digits) as sign, digits and exponent, so that decimal rounding and plain notation can work on
// the digits a person sees.
#pragma once

#include <string>

namespace tolvar {

struct DecimalDigits {
    bool negative = false;
    std::string digits;  // without leading zeros; "0" for zero
    int exponent = 0;    // the value is d.ddd… × 10^exponent
};

// significant < 0: the shortest digits that read back as the same double. The value must be finite.
DecimalDigits decimalDigits(double value, int significant = -1);

}  // namespace tolvar
