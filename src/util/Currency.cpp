#include "util/Currency.h"

#include "util/DecimalDigits.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace tolvar {

namespace {

[[noreturn]] void overflow()
{
    throw Failure::of(FailureCode::Overflow);
}

std::int64_t checked(__int128 value)
{
    if (value > std::numeric_limits<std::int64_t>::max() || value < std::numeric_limits<std::int64_t>::min())
        overflow();
    return static_cast<std::int64_t>(value);
}

}  // namespace

Currency Currency::fromDouble(double value)
{
    // NaN fails every comparison; beyond ±2^63 ten-thousandths nothing fits.
    if (!(std::fabs(value) < 9.3e14))
        overflow();
    // Round the decimal the double stands for (its shortest exact text, "0.00015" rather than
    // 1.4999…e-4), so that ties are the ties a person sees.
    const DecimalDigits d = decimalDigits(value);
    const bool negative = d.negative;
    const std::string& digits = d.digits;
    const int exponent = d.exponent;
    // value = 0.d1d2d3... × 10^(exponent + 1): the first `keep` digits are whole ten-thousandths.
    const int keep = exponent + 1 + 4;
    const int count = static_cast<int>(digits.size());
    __int128 whole = 0;
    for (int i = 0; i < keep; ++i)
        whole = whole * 10 + (i < count ? digits[static_cast<std::size_t>(i)] - '0' : 0);
    if (keep >= 0 && keep < count) {
        // What is cut off: above half rounds up, exactly half goes to the even neighbour.
        const char first = digits[static_cast<std::size_t>(keep)];
        const bool beyond = digits.find_first_not_of('0', static_cast<std::size_t>(keep) + 1) != std::string::npos;
        if (first > '5' || (first == '5' && (beyond || (whole % 2) != 0)))
            whole += 1;
    }
    return Currency(checked(negative ? -whole : whole));
}

Currency Currency::fromInt(std::int64_t whole)
{
    return Currency(checked(static_cast<__int128>(whole) * kScale));
}

double Currency::toDouble() const
{
    return static_cast<double>(raw_) / static_cast<double>(kScale);
}

QString Currency::toString() const
{
    const bool negative = raw_ < 0;
    const unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-static_cast<__int128>(raw_)) : static_cast<unsigned __int128>(raw_);
    const auto whole = static_cast<std::uint64_t>(magnitude / kScale);
    auto fraction = static_cast<unsigned>(magnitude % kScale);
    QString text = QString::number(whole);
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return negative ? QLatin1Char('-') + text : text;
}

Currency Currency::operator+(Currency other) const
{
    return Currency(checked(static_cast<__int128>(raw_) + other.raw_));
}

Currency Currency::operator-(Currency other) const
{
    return Currency(checked(static_cast<__int128>(raw_) - other.raw_));
}

Currency Currency::operator*(Currency other) const
{
    const __int128 product = static_cast<__int128>(raw_) * other.raw_;
    __int128 quotient = product / kScale;
    const __int128 remainder = product % kScale;
    const __int128 twice = (remainder < 0 ? -remainder : remainder) * 2;
    if (twice > kScale || (twice == kScale && (quotient % 2) != 0))
        quotient += product < 0 ? -1 : 1;
    return Currency(checked(quotient));
}

Currency Currency::truncated() const
{
    return Currency(raw_ - raw_ % kScale);
}

}  // namespace tolvar
