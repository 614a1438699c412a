#include "xls/CellReading.h"

#include "xls/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace xls {

namespace {

std::uint64_t bitsOf(double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return bits;
}

double doubleOf(std::uint64_t bits)
{
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

// The text of a LABEL or RSTRING record: an XLUnicodeString after the cell's first six bytes.
std::u16string inlineText(ByteView d)
{
    const std::size_t cch = u16(d, 6);
    return readChars(d, 9, cch, u8(d, 8) & 0x01);
}

}  // namespace

CellReading CellReading::number(double v, std::uint16_t xf)
{
    return {Kind::Number, xf, bitsOf(v), {}};
}

CellReading CellReading::label(std::u16string t, std::uint16_t xf)
{
    return {Kind::Text, xf, 0, std::move(t)};
}

CellReading CellReading::blank(std::uint16_t xf)
{
    return {Kind::Blank, xf, 0, {}};
}

double rkValue(std::uint32_t rk)
{
    double v;
    if (rk & 0x02)
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    else
        v = doubleOf(static_cast<std::uint64_t>(rk & 0xFFFFFFFC) << 32);
    return (rk & 0x01) ? v / 100 : v;
}

std::string describe(const CellReading& r)
{
    char number[64];
    std::string text;
    switch (r.kind) {
    case CellReading::Kind::Blank: text = "blank"; break;
    case CellReading::Kind::Number:
        std::snprintf(number, sizeof number, "number %.17g", doubleOf(r.value));
        text = number;
        break;
    case CellReading::Kind::Text: text = "text \"" + utf8(r.text) + "\""; break;
    case CellReading::Kind::Boolean: text = r.value ? "TRUE" : "FALSE"; break;
    case CellReading::Kind::Error: text = "error " + hex(static_cast<std::uint32_t>(r.value), 2); break;
    case CellReading::Kind::Formula: text = "a formula"; break;
    }
    return text + " (XF " + std::to_string(r.xf) + ")";
}

void readCells(std::uint16_t type, ByteView data, ByteView stringResult,
               const std::function<const std::u16string&(std::uint32_t)>& sharedString,
               const std::function<void(std::uint16_t col, CellReading reading)>& emit)
{
    const ByteView d = data;
    const std::uint16_t col = u16(d, field::kCellCol);
    const std::uint16_t xf = u16(d, field::kCellXf);
    switch (type) {
    case rt::Blank: emit(col, CellReading::blank(xf)); break;
    case rt::Number: emit(col, CellReading::number(f64(d, field::kNumberValue), xf)); break;
    case rt::Rk: emit(col, CellReading::number(rkValue(u32(d, field::kRkValue)), xf)); break;
    case rt::LabelSst: emit(col, CellReading::label(sharedString(u32(d, field::kLabelSstIndex)), xf)); break;
    case rt::Label:
    case rt::RString: emit(col, CellReading::label(inlineText(d), xf)); break;
    case rt::BoolErr: {
        const bool error = u8(d, 7) != 0;
        emit(col, {error ? CellReading::Kind::Error : CellReading::Kind::Boolean, xf, u8(d, 6), {}});
        break;
    }
    case rt::Formula: {
        CellReading r{CellReading::Kind::Formula, xf, 0, {}};
        requireRange(d, field::kFormulaResult, 8);
        std::memcpy(&r.value, d.data() + field::kFormulaResult, 8);
        if (stringResult.size() >= 3) {
            // A long result continues in CONTINUE records; the first part names it well enough.
            const bool high = stringResult[2] & 0x01;
            const std::size_t cch =
                std::min<std::size_t>(u16(stringResult, 0), (stringResult.size() - 3) / (high ? 2 : 1));
            r.text = readChars(stringResult, 3, cch, high);
        }
        emit(col, std::move(r));
        break;
    }
    case rt::MulRk:
    case rt::MulBlank: {
        const bool rk = type == rt::MulRk;
        const std::uint32_t last = u16(d, d.size() - 2);
        for (std::uint32_t c = col; c <= last; ++c) {
            const std::size_t at = 4 + (c - col) * (rk ? 6u : 2u);
            const std::uint16_t cellXf = u16(d, at);
            const auto column = static_cast<std::uint16_t>(c);
            emit(column, rk ? CellReading::number(rkValue(u32(d, at + 2)), cellXf) : CellReading::blank(cellXf));
        }
        break;
    }
    default: break;
    }
}

}  // namespace xls
