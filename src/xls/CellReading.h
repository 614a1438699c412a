// CellReading: what one cell holds as a reader sees it (its kind, its value and its XF), decoded
// from whichever record holds it. The workbook's self-check compares these: what was meant for a
// cell against what the saved bytes read back as. A text is kept as an index into the texts of
// whoever read the cell (a shared-string table, with inline texts after it), so that reading the
// many cells of a large workbook copies no text.
#pragma once

#include "xls/Record.h"

#include <string>
#include <utility>
#include <vector>

namespace xls {

using Texts = std::vector<std::u16string>;

struct CellReading {
    enum class Kind : std::uint8_t { Blank, Number, Text, Boolean, Error, Formula };
    static constexpr std::uint32_t kNoText = 0xFFFFFFFF;

    Kind kind = Kind::Blank;
    std::uint16_t xf = 0;
    std::uint32_t text = kNoText;  // Text, or a formula's text result: an index into the texts
    // Number: the IEEE bits; Boolean and Error: the value; Formula: the cached result's 8 bytes.
    std::uint64_t value = 0;

    static CellReading number(double v, std::uint16_t xf);
    static CellReading label(std::uint32_t text, std::uint16_t xf);
    static CellReading blank(std::uint16_t xf) { return {Kind::Blank, xf, kNoText, 0}; }
};

// Whether two readings that hold a text (or claim to) read the same text.
bool sameText(const CellReading& a, const Texts& aTexts, const CellReading& b, const Texts& bTexts);
// Whether two readings, each with the texts it indexes, read the same. Inline: the self-check asks
// it of every cell, and most hold no text.
inline bool sameReading(const CellReading& a, const Texts& aTexts, const CellReading& b, const Texts& bTexts)
{
    if (a.kind != b.kind || a.xf != b.xf || a.value != b.value)
        return false;
    return (a.text == CellReading::kNoText && b.text == CellReading::kNoText) || sameText(a, aTexts, b, bTexts);
}
// "text "12" (XF 21)", "number 12 (XF 21)": for the self-check's messages.
std::string describe(const CellReading& reading, const Texts& texts);

// The value of an RK number.
double rkValue(std::uint32_t rk);

// Appends (column, reading) for every cell the record (its type and data) holds: a MULRK or
// MULBLANK run holds several. A LABELSST's index must be below `sharedStrings` (else DamagedRecord);
// a LABEL's or RSTRING's text, and the text of `stringResult` (the STRING record after a FORMULA
// with a text result, or empty), are appended to `texts`.
void readCells(std::uint16_t type, ByteView data, ByteView stringResult, std::size_t sharedStrings, Texts& texts,
               std::vector<std::pair<std::uint16_t, CellReading>>& out);

}  // namespace xls
