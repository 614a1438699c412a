// The fixed-point money type: conversion from double with ties to even, checked arithmetic.
#include "util/Currency.h"
#include "util/Failure.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tolvar;

TEST(currency, from_double_rounds_to_the_nearest_ten_thousandth_ties_to_even)
{
    const std::pair<double, std::int64_t> rows[] = {
        {99.99999, 1000000},  // 99.99999 becomes 100.0000
        {99.9999, 999999},
        {0.00005, 0},  // a tie goes to the even neighbour
        {0.00015, 2},
        {0.00025, 2},
        {0.00035, 4},
        {0.0000499, 0},
        {2.00005, 20000},
        {3 * 33.3333, 999999},  // the product 99.9999 is cut later, not rounded up here
        {922337203685477.0, 9223372036854770000},
        {-0.00015, -2},
        {1500.5 * 2, 30010000},
        {0.5 * 3, 15000},
        {-123.456, -1234560},
    };
    for (const auto& [value, raw] : rows)
        EXPECT_EQ(Currency::fromDouble(value).raw(), raw) << value;
}

TEST(currency, overflow_is_a_failure_never_a_wrap)
{
    EXPECT_THROW(Currency::fromDouble(1e15), Failure);
    EXPECT_THROW(Currency::fromDouble(std::numeric_limits<double>::quiet_NaN()), Failure);
    EXPECT_THROW(Currency::fromDouble(std::numeric_limits<double>::infinity()), Failure);
    EXPECT_NO_THROW(Currency::fromDouble(922337203685477.0));
    const Currency max = Currency::fromRaw(std::numeric_limits<std::int64_t>::max());
    EXPECT_THROW(max + Currency::fromRaw(1), Failure);
    EXPECT_THROW(Currency::fromRaw(std::numeric_limits<std::int64_t>::min()) - Currency::fromRaw(1), Failure);
    EXPECT_THROW(max * Currency::fromInt(2), Failure);
    try {
        Currency::fromDouble(1e300);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 6);
    }
}

TEST(currency, multiplication_and_text)
{
    EXPECT_EQ((Currency::fromDouble(1234) * Currency::fromDouble(0.01)).raw(), 123400);
    EXPECT_EQ((Currency::fromDouble(0.0001) * Currency::fromDouble(0.5)).raw(), 0);  // 0.00005 → even 0
    EXPECT_EQ((Currency::fromDouble(0.0003) * Currency::fromDouble(0.5)).raw(), 2);  // 0.00015 → 0.0002
    EXPECT_EQ(Currency::fromDouble(-99.99).truncated().raw(), -990000);
    EXPECT_EQ(Currency::fromInt(1234).toString(), QStringLiteral("1234"));
    EXPECT_EQ(Currency::fromDouble(-0.5).toString(), QStringLiteral("-0.5"));
    EXPECT_EQ(Currency::fromDouble(99.9999).toString(), QStringLiteral("99.9999"));
    EXPECT_EQ(Currency::fromRaw(std::numeric_limits<std::int64_t>::min()).toString(),
              QStringLiteral("-922337203685477.5808"));
}
