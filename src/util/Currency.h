// Currency: the program's money type, a 64-bit signed count of ten-thousandths (four decimal
// places, ±922 337 203 685 477.5807). A double converted into it is rounded to the nearest
// ten-thousandth, ties to the even neighbour; every operation that leaves the range throws a
// Failure (overflow) instead of wrapping.
#pragma once

#include <QString>
#include <compare>
#include <cstdint>

namespace tolvar {

class Currency {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromRaw(std::int64_t tenThousandths) { return Currency(tenThousandths); }
    static Currency fromDouble(double value);
    static Currency fromInt(std::int64_t whole);

    constexpr std::int64_t raw() const { return raw_; }
    double toDouble() const;
    // Plain decimal text without trailing zeros: "1234", "-0.5", "99.9999".
    QString toString() const;

    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    // The exact product rounded to four places, ties to even.
    Currency operator*(Currency other) const;
    // Toward zero to a whole number.
    Currency truncated() const;

    constexpr auto operator<=>(const Currency&) const = default;

private:
    constexpr explicit Currency(std::int64_t raw) : raw_(raw) {}
    std::int64_t raw_ = 0;
};

}  // namespace tolvar
