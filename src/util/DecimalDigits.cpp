#include "util/DecimalDigits.h"

#include <charconv>

namespace tolvar {

DecimalDigits decimalDigits(double value, int significant)
{
    // "-d.ddde+XX": read in place, without copies of the text.
    char buffer[64];
    const char* const end =
        (significant < 0
             ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific)
             : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1))
            .ptr;
    DecimalDigits d;
    const char* p = buffer;
    d.negative = p != end && *p == '-';
    d.digits.reserve(static_cast<std::size_t>(end - p));
    for (; p != end && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            d.digits += *p;
    if (p != end)
        std::from_chars(*(p + 1) == '+' ? p + 2 : p + 1, end, d.exponent);
    return d;
}

}  // namespace tolvar
