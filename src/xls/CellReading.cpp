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
    return {Kind::Number, xf, kNoText, bitsOf(v)};
}

CellReading CellReading::label(std::uint32_t text, std::uint16_t xf)
{
    return {Kind::Text, xf, text, 0};
}

bool sameText(const CellReading& a, const Texts& aTexts, const CellReading& b, const Texts& bTexts)
{
    const bool aText = a.text != CellReading::kNoText && a.text < aTexts.size();
    const bool bText = b.text != CellReading::kNoText && b.text < bTexts.size();
    if (!aText || !bText)
        return aText == bText;
    return aTexts[a.text] == bTexts[b.text];
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

std::string describe(const CellReading& r, const Texts& texts)
{
    const std::u16string none;
    const std::u16string& t = r.text != CellReading::kNoText && r.text < texts.size() ? texts[r.text] : none;
    char number[64];
    std::string text;
    switch (r.kind) {
    case CellReading::Kind::Blank: text = "blank"; break;
    case CellReading::Kind::Number:
        std::snprintf(number, sizeof number, "number %.17g", doubleOf(r.value));
        text = number;
        break;
    case CellReading::Kind::Text: text = "text \"" + utf8(t) + "\""; break;
    case CellReading::Kind::Boolean: text = r.value ? "TRUE" : "FALSE"; break;
    case CellReading::Kind::Error: text = "error " + hex(static_cast<std::uint32_t>(r.value), 2); break;
    case CellReading::Kind::Formula: text = "a formula"; break;
    }
    return text + " (XF " + std::to_string(r.xf) + ")";
}

void readCells(std::uint16_t type, ByteView data, ByteView stringResult, std::size_t sharedStrings, Texts& texts,
               std::vector<std::pair<std::uint16_t, CellReading>>& out)
{
    const ByteView d = data;
    const std::uint16_t col = u16(d, field::kCellCol);
    const std::uint16_t xf = u16(d, field::kCellXf);
    auto own = [&](std::u16string text) {
        texts.push_back(std::move(text));
        return static_cast<std::uint32_t>(texts.size() - 1);
    };
    switch (type) {
    case rt::Blank: out.emplace_back(col, CellReading::blank(xf)); break;
    case rt::Number: out.emplace_back(col, CellReading::number(f64(d, field::kNumberValue), xf)); break;
    case rt::Rk: out.emplace_back(col, CellReading::number(rkValue(u32(d, field::kRkValue)), xf)); break;
    case rt::LabelSst: {
        const std::uint32_t index = u32(d, field::kLabelSstIndex);
        if (index >= sharedStrings)
            throw Error(ErrorCode::DamagedRecord,
                        "shared string " + std::to_string(index) + " of " + std::to_string(sharedStrings));
        out.emplace_back(col, CellReading::label(index, xf));
        break;
    }
    case rt::Label:
    case rt::RString: out.emplace_back(col, CellReading::label(own(inlineText(d)), xf)); break;
    case rt::BoolErr: {
        const bool error = u8(d, 7) != 0;
        out.emplace_back(col, CellReading{error ? CellReading::Kind::Error : CellReading::Kind::Boolean, xf,
                                          CellReading::kNoText, u8(d, 6)});
        break;
    }
    case rt::Formula: {
        CellReading r{CellReading::Kind::Formula, xf, CellReading::kNoText, 0};
        requireRange(d, field::kFormulaResult, 8);
        std::memcpy(&r.value, d.data() + field::kFormulaResult, 8);
        if (stringResult.size() >= 3) {
            // A long result continues in CONTINUE records; the first part names it well enough.
            const bool high = stringResult[2] & 0x01;
            const std::size_t cch =
                std::min<std::size_t>(u16(stringResult, 0), (stringResult.size() - 3) / (high ? 2 : 1));
            r.text = own(readChars(stringResult, 3, cch, high));
        }
        out.emplace_back(col, r);
        break;
    }
    case rt::MulRk:
    case rt::MulBlank: {
        const bool rk = type == rt::MulRk;
        const std::size_t each = field::runEntrySize(type);
        const std::uint32_t last = u16(d, d.size() - 2);
        out.reserve(out.size() + (last >= col ? last - col + 1u : 0u));
        for (std::uint32_t c = col; c <= last; ++c) {
            const std::size_t at = field::kRunEntries + (c - col) * each;
            const std::uint16_t cellXf = u16(d, at);
            const auto column = static_cast<std::uint16_t>(c);
            out.emplace_back(column,
                             rk ? CellReading::number(rkValue(u32(d, at + 2)), cellXf) : CellReading::blank(cellXf));
        }
        break;
    }
    default: break;
    }
}

}  // namespace xls
