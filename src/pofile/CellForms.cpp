#include "pofile/CellForms.h"

#include "util/DateFormat.h"

#include "util/DecimalDigits.h"

#include <QDate>
#include <QDateTime>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace tolvar {

QString plainDecimal(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    // A whole number of up to 15 digits is its own 15-digit form (quantities and prices mostly).
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, static_cast<long long>(value)).ptr;
        return QString::fromLatin1(text, end - text);
    }
    // 15 significant digits, then written out without an exponent.
    DecimalDigits d = decimalDigits(value, 15);
    const bool negative = d.negative;
    std::string& digits = d.digits;
    const int exponent = d.exponent;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out;
    const int point = exponent + 1;  // digits before the decimal point
    if (point <= 0) {
        out = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (point >= static_cast<int>(digits.size())) {
        out = digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0');
    } else {
        out = digits.substr(0, static_cast<std::size_t>(point)) + "." + digits.substr(static_cast<std::size_t>(point));
    }
    return QString::fromLatin1((negative ? "-" : "") + out);
}

namespace {

// A date at the start of a text: "YYYY/MM/DD" or "YYYY-MM-DD" (either separator at either place,
// month and day of one or two digits), then nothing or a time "[ T]H:MM[:SS[.F...]]", whose form
// alone is checked. Digits are ASCII ones.
class DateText {
public:
    explicit DateText(QStringView text) : s_(text) {}

    QDate read()
    {
        const int year = number(4, 4);
        if (year < 0 || !separator())
            return {};
        const int month = number(1, 2);
        if (month < 0 || !separator())
            return {};
        const int day = number(1, 2);
        if (day < 0 || !(i_ == s_.size() || time()))
            return {};
        return QDate(year, month, day);
    }

private:
    QStringView s_;
    qsizetype i_ = 0;

    bool next(char16_t c)
    {
        if (i_ >= s_.size() || s_[i_] != c)
            return false;
        ++i_;
        return true;
    }
    bool separator() { return next(u'/') || next(u'-'); }

    bool digit() const { return i_ < s_.size() && s_[i_] >= u'0' && s_[i_] <= u'9'; }

    // min to max digits (as many as there are).
    bool digits(int min, int max)
    {
        int count = 0;
        for (; count < max && digit(); ++count)
            ++i_;
        return count >= min;
    }

    // The value of min to max digits, or -1; at most 4.
    int number(int min, int max)
    {
        const qsizetype from = i_;
        if (!digits(min, max))
            return -1;
        int value = 0;
        for (qsizetype k = from; k < i_; ++k)
            value = value * 10 + (s_[k].unicode() - u'0');
        return value;
    }

    bool time()
    {
        if (!(next(u' ') || next(u'T')) || !digits(1, 2) || !next(u':') || !digits(2, 2))
            return false;
        if (next(u':')) {
            if (!digits(2, 2))
                return false;
            if (next(u'.') && !digits(1, std::numeric_limits<int>::max()))
                return false;
        }
        return i_ == s_.size();
    }
};

}  // namespace

QDate dateOf(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return DateText(value.toString().trimmed()).read();
}

QString textForm(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return plainDecimal(value.toDouble());
    case QMetaType::QDate:
    case QMetaType::QDateTime: return dateOf(value).toString(kDateFormat);
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default: return value.toString();
    }
}

double numberReading(const QVariant& value)
{
    // A flag kept as a boolean (SQL Server's bit) counts as the automation's True, -1, and False, 0.
    if (value.typeId() == QMetaType::Bool && !value.isNull())
        return value.toBool() ? -1 : 0;
    const QString text = QStringLiteral("0") + textForm(value);
    std::string number;
    bool point = false, exponent = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            continue;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            number += static_cast<char>(c.unicode());
        } else if (c == QLatin1Char('.') && !point && !exponent) {
            point = true;
            number += '.';
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E')) && !exponent) {
            // An exponent counts only when digits follow it (after an optional sign).
            qsizetype j = i + 1;
            std::string tail = "e";
            if (j < text.size() && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
                tail += static_cast<char>(text.at(j++).unicode());
            if (j >= text.size() || !text.at(j).isDigit() || text.at(j).unicode() > 0x7F)
                break;
            exponent = true;
            number += tail;
            i = j - 1;
        } else {
            break;
        }
    }
    double result = 0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), result);
    (void)ptr;
    if (ec == std::errc::result_out_of_range)
        return HUGE_VAL;
    return result;
}

QString dateText(const QVariant& value)
{
    const QDate date = dateOf(value);
    if (date.isValid())
        return date.toString(kDateFormat);
    return value.isNull() ? QString() : value.toString();
}

xls::CellValue textCell(const QString& text)
{
    if (text.isEmpty())
        return xls::CellValue::empty();
    return xls::CellValue::fromText(text.toStdU16String());
}

xls::CellValue asIs(const QVariant& value, bool dateColumn)
{
    if (value.isNull())
        return xls::CellValue::empty();
    const QDate date = dateColumn || value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime
                           ? dateOf(value)
                           : QDate();
    if (date.isValid())
        return xls::CellValue::fromDate(date.year(), date.month(), date.day());
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: return xls::CellValue::fromNumber(value.toDouble());
    default: return textCell(value.toString());
    }
}

}  // namespace tolvar
