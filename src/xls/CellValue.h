// CellValue: what can be written into a cell: nothing (the cell stays blank with its format),
// text, a number or a date.
#pragma once

#include <string>

namespace xls {

struct CellValue {
    enum class Kind { Empty, Text, Number, Date };
    Kind kind = Kind::Empty;
    std::u16string text;
    double number = 0;
    int year = 0, month = 0, day = 0;

    static CellValue empty() { return {}; }
    static CellValue fromText(std::u16string t)
    {
        CellValue v;
        v.kind = Kind::Text;
        v.text = std::move(t);
        return v;
    }
    static CellValue fromNumber(double n)
    {
        CellValue v;
        v.kind = Kind::Number;
        v.number = n;
        return v;
    }
    static CellValue fromDate(int y, int m, int d)
    {
        CellValue v;
        v.kind = Kind::Date;
        v.year = y;
        v.month = m;
        v.day = d;
        return v;
    }
};

// Text that is a plain decimal number: an optional minus, digits without a leading zero unless
// the number is below one, an optional fraction, at most 15 significant digits.
bool isPlainDecimal(const std::u16string& text);
// The number such text stands for.
double plainDecimalValue(const std::u16string& text);
// Line breaks as the spreadsheet application keeps them in a cell: CR LF becomes LF alone.
std::u16string withLineFeeds(const std::u16string& text);
// A date as the text YYYY/MM/DD, for a cell that does not show dates; throws InvalidValue for a
// date that does not exist.
std::u16string dateText(int year, int month, int day);

// "AY34" to a 0-based row and column; throws InvalidCellAddress.
struct CellAddress {
    std::uint16_t row;
    std::uint16_t col;
    static CellAddress parse(const std::string& address);
};

// The serial number of a date in the 1900 or the 1904 date system.
double dateSerial(int year, int month, int day, bool date1904);

}  // namespace xls
