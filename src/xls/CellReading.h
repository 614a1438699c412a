// CellReading: what one cell holds as a reader sees it (its kind, its value and its XF), decoded
// from whichever record holds it. The workbook's self-check compares these: what was meant for a
// cell against what the saved bytes read back as.
#pragma once

#include "xls/Record.h"

#include <functional>
#include <string>

namespace xls {

struct CellReading {
    enum class Kind : std::uint8_t { Blank, Number, Text, Boolean, Error, Formula };
    Kind kind = Kind::Blank;
    std::uint16_t xf = 0;
    // Number: the IEEE bits; Boolean and Error: the value; Formula: the cached result's 8 bytes.
    std::uint64_t value = 0;
    std::u16string text;  // Text, or a formula's string result

    static CellReading number(double v, std::uint16_t xf);
    static CellReading label(std::u16string t, std::uint16_t xf);
    static CellReading blank(std::uint16_t xf);
    bool operator==(const CellReading&) const = default;
};

// "text "12"", "number 12 (XF 21)": for the self-check's messages.
std::string describe(const CellReading& reading);

// The value of an RK number.
double rkValue(std::uint32_t rk);

// Calls emit(column, reading) for every cell the record (its type and data) holds (a MULRK or MULBLANK run holds
// several). `sharedString` gives the text of a LABELSST index and throws for one out of range;
// `stringResult` is the STRING record after a FORMULA with a text result, or empty.
void readCells(std::uint16_t type, ByteView data, ByteView stringResult,
               const std::function<const std::u16string&(std::uint32_t)>& sharedString,
               const std::function<void(std::uint16_t col, CellReading reading)>& emit);

}  // namespace xls
