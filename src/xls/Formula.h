// The BIFF8 formula-token grammar, in one place: the length of every token ([MS-XLS] 2.5.198),
// the extra data some tokens keep after the tokens (RgbExtra: PtgArray's constants, PtgMemArea's
// ranges, the natural-language labels of PtgElf*), and the fields a sheet copy may rewrite
// (PtgName's name index, the XTI index of the 3-D references). Every walker of the engine uses it.
// A formula that does not follow the grammar is an Error that names the token and its offset.
#pragma once

#include "xls/Bytes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace xls::formula {

// One token as the walker meets it.
struct Token {
    std::uint8_t ptg = 0;      // the first byte
    std::uint8_t subtype = 0;  // the second byte of PtgAttr (0x19) and the extended tokens (0x18)
    std::size_t at = 0;        // offset of the token in rgce
    std::size_t length = 0;    // bytes in rgce, the token byte included
    std::size_t extraAt = 0;   // offset of its data in rgcb, for the tokens that have some
    std::size_t extraLength = 0;
};

// The token's base type with the operand class removed (0x20..0x7F map to 0x20..0x3F).
constexpr std::uint8_t baseType(std::uint8_t ptg)
{
    return ptg >= 0x20 ? static_cast<std::uint8_t>((ptg & 0x1F) | 0x20) : ptg;
}
constexpr bool isName(std::uint8_t ptg)
{
    return baseType(ptg) == 0x23;
}
// PtgRef3d, PtgArea3d, PtgRefErr3d, PtgAreaErr3d: an XTI index (2 bytes) after the token byte.
constexpr bool is3dReference(std::uint8_t ptg)
{
    const std::uint8_t b = baseType(ptg);
    return b == 0x3A || b == 0x3B || b == 0x3C || b == 0x3D;
}

// "PtgStr (0x17)", "PtgAttrChoose (0x19 0x04)": for messages.
std::string tokenName(std::uint8_t ptg, std::uint8_t subtype = 0);

// Walks the tokens of rgce in order, their extra data in rgcb with them, and calls visit for each.
// Throws Error(Unsupported) for a token the grammar does not have and Error(DamagedRecord) for
// one cut short; `where` names the formula in the message ("the name Print_Area").
void walk(ByteView rgce, ByteView rgcb, const std::string& where, const std::function<void(const Token&)>& visit);

// Where a record keeps its formula: cce, then rgce, then rgcb to the end of the record. FORMULA,
// SHRFMLA, ARRAY and NAME hold one; for other records, or when the record is too short for its
// own cce, found is false.
struct Location {
    bool found = false;
    std::size_t rgce = 0;  // offset of the first token in the record's data
    std::size_t cce = 0;
};
Location locate(std::uint16_t recordType, ByteView data);

}  // namespace xls::formula
