// The value forms of database values: a date column's text read as a date gives what the pattern
// below gives, on every mix of forms; numbers in their plain 15-digit form.
#include "pofile/CellForms.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QRegularExpression>

using namespace tolvar;

namespace {

QString q(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// The forms a date text may take, as a pattern: the reader must agree with it everywhere.
QDate byPattern(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})(?:[ T]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

TEST(date_text, reads_every_mix_of_forms_as_the_pattern_does)
{
    const QStringList years = {q(u"2026"), q(u"202"), q(u"20266"), q(u"0000"), q(u"２０２６"), q(u"2O26")};
    const QStringList separators = {q(u"/"), q(u"-"), q(u"."), QString(), q(u"//")};
    const QStringList months = {q(u"1"), q(u"02"), q(u"12"), q(u"13"), q(u"011"), q(u"١"), QString()};
    const QStringList days = {q(u"5"), q(u"29"), q(u"30"), q(u"31"), q(u"032"), QString()};
    const QStringList times = {QString(),         q(u" 10:30"),
                               q(u"T1:05"),       q(u"T10:30:15"),
                               q(u" 10:30:15.5"), q(u" 10:30:15.123"),
                               q(u" 10:3"),       q(u" 10:30:"),
                               q(u" 10:30:15."),  q(u"T"),
                               q(u" 100:30"),     q(u"x"),
                               q(u" ١٠:٣٠"),      q(u" 10:30:15.12345678901234567890"),
                               q(u" 1\xd835:30"), q(u"  ")};
    int dates = 0, cases = 0;
    for (const QString& y : years)
        for (const QString& s1 : separators)
            for (const QString& m : months)
                for (const QString& s2 : separators)
                    for (const QString& d : days)
                        for (const QString& t : times) {
                            const QString text = y + s1 + m + s2 + d + t;
                            const QDate expected = byPattern(text);
                            ASSERT_EQ(dateOf(text), expected) << text.toStdString();
                            ASSERT_EQ(dateOf(q(u" \t") + text + q(u"\r\n")), expected) << text.toStdString();
                            dates += expected.isValid();
                            ++cases;
                        }
    // The table reaches both answers often.
    EXPECT_GT(dates, 200);
    EXPECT_GT(cases - dates, 1000);
}

TEST(date_text, dates_and_nulls_pass_through)
{
    EXPECT_EQ(dateOf(QDate(2026, 12, 9)), QDate(2026, 12, 9));
    EXPECT_EQ(dateOf(QDateTime(QDate(2026, 12, 9), QTime(23, 59))), QDate(2026, 12, 9));
    EXPECT_FALSE(dateOf(QVariant()).isValid());
    EXPECT_FALSE(dateOf(QString()).isValid());
    EXPECT_EQ(dateOf(q(u"2024-2-29")), QDate(2024, 2, 29));
    EXPECT_FALSE(dateOf(q(u"2026-2-29")).isValid());
}

}  // namespace

TEST(value_forms, numbers_in_plain_decimal)
{
    // Whole numbers, written as integers are, up to 15 digits on either side of zero.
    for (const qint64 v : {1LL, -1LL, 7LL, 10LL, 100LL, 1250LL, -98765LL, 2147483648LL, 999999999999999LL,
                           -999999999999999LL, 123456789012345LL, 100000000000000LL})
        EXPECT_EQ(plainDecimal(static_cast<double>(v)), QString::number(v)) << v;
    const std::pair<double, const char16_t*> rows[] = {
        {0.0, u"0"},
        {-0.0, u"0"},
        {0.1, u"0.1"},
        {1.5e-7, u"0.00000015"},
        {1e15, u"1000000000000000"},
        {999999999999999.5, u"1000000000000000"},
        {1250.75, u"1250.75"},
        {1234567890123456789.0, u"1234567890123460000"},
        {-2.5, u"-2.5"},
        {1.0 / 3, u"0.333333333333333"},
    };
    for (const auto& [value, text] : rows)
        EXPECT_EQ(plainDecimal(value), q(text)) << value;
}
