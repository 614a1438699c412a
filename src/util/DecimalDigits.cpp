#include "util/DecimalDigits.h"

#include <charconv>
#include <cstdlib>

namespace tolvar {

DecimalDigits decimalDigits(double value, int significant)
{
    char buffer[64];
    const auto result =
        significant < 0
            ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific)
            : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1);
    DecimalDigits d;
    const std::string repr(buffer, result.ptr);
    const std::size_t e = repr.find('e');
    d.negative = !repr.empty() && repr.front() == '-';
    for (char c : repr.substr(0, e))
        if (c >= '0' && c <= '9')
            d.digits += c;
    d.exponent = e == std::string::npos ? 0 : std::atoi(repr.c_str() + e + 1);
    return d;
}

}  // namespace tolvar
