#include "xls/CellValue.h"

#include "xls/Error.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

namespace xls {

bool isPlainDecimal(const std::u16string& text)
{
    std::size_t i = 0;
    if (i < text.size() && text[i] == u'-')
        ++i;
    const std::size_t intStart = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    const std::size_t intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == u'0'))
        return false;
    std::size_t fracDigits = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
            ++fracDigits;
        }
        if (fracDigits == 0)
            return false;
    }
    if (i != text.size())
        return false;
    // Significant digits: from the first non-zero digit on.
    std::size_t significant = 0;
    bool started = false;
    for (std::size_t k = intStart; k < text.size(); ++k) {
        if (text[k] == u'.')
            continue;
        if (text[k] != u'0')
            started = true;
        if (started)
            ++significant;
    }
    return significant <= 15;
}

CellAddress CellAddress::parse(const std::string& address)
{
    std::size_t i = 0;
    std::uint32_t col = 0;
    while (i < address.size() && address[i] >= 'A' && address[i] <= 'Z' && i < 3) {
        col = col * 26 + static_cast<std::uint32_t>(address[i] - 'A' + 1);
        ++i;
    }
    std::uint32_t row = 0;
    const std::size_t digitsAt = i;
    while (i < address.size() && address[i] >= '0' && address[i] <= '9' && i - digitsAt < 6) {
        row = row * 10 + static_cast<std::uint32_t>(address[i] - '0');
        ++i;
    }
    if (digitsAt == 0 || i == digitsAt || i != address.size() || address[digitsAt] == '0' || col > 256 || row < 1 ||
        row > 65536)
        throw Error(ErrorCode::InvalidCellAddress, "\"" + address + "\"");
    return {static_cast<std::uint16_t>(row - 1), static_cast<std::uint16_t>(col - 1)};
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

double dateSerial(int year, int month, int day, bool date1904)
{
    if (month < 1 || month > 12 || day < 1 || day > 31)
        throw Error(ErrorCode::InvalidValue,
                    "date " + std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day));
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    std::int64_t serial;
    if (date1904) {
        serial = days - daysFromCivil(1904, 1, 1);
    } else {
        // Serial 60 is the 1900-02-29 that never was: from March 1900 on, days since 1899-12-30.
        serial = days - daysFromCivil(1899, 12, 30);
        if (days < daysFromCivil(1900, 3, 1))
            serial -= 1;
    }
    if (serial < (date1904 ? 0 : 1) || serial > 2958465)
        throw Error(ErrorCode::InvalidValue, "date outside the workbook's date range");
    return static_cast<double>(serial);
}

double plainDecimalValue(const std::u16string& text)
{
    const std::string ascii(text.begin(), text.end());
    double v = 0;
    std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    return v;
}

std::u16string withLineFeeds(const std::u16string& text)
{
    std::u16string t;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (!(text[k] == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n'))
            t.push_back(text[k]);
    return t;
}

std::u16string dateText(int year, int month, int day)
{
    dateSerial(year, month, day, false);  // validates the date
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", year, month, day);
    return std::u16string(buffer, buffer + 10);
}

}  // namespace xls
