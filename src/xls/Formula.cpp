#include "xls/Formula.h"

#include "xls/Record.h"

namespace xls::formula {

namespace {

// ---------------------------------------------------------------------------------------------
// The token table
// ---------------------------------------------------------------------------------------------

// What follows the token byte: a fixed number of bytes, or a size read from the token itself.
enum class Shape : std::uint8_t {
    Invalid,
    Fixed,      // `size` bytes in all
    String,     // PtgStr: cch (1), flags (1), then the characters
    Extended,   // 0x18: the second byte picks the token
    Attribute,  // 0x19: the second byte picks the form; tAttrChoose carries a jump table
};

// What the token keeps in rgcb, after the tokens.
enum class Extra : std::uint8_t { None, Array, Mem };

struct Entry {
    const char* name;
    Shape shape;
    std::uint8_t size;
    Extra extra;
};

constexpr Entry kInvalid{nullptr, Shape::Invalid, 0, Extra::None};
constexpr Entry op(const char* name)
{
    return {name, Shape::Fixed, 1, Extra::None};
}

// Tokens 0x00..0x1F, by their byte.
constexpr Entry kBase[0x20] = {
    kInvalid,
    {"PtgExp", Shape::Fixed, 5, Extra::None},
    {"PtgTbl", Shape::Fixed, 5, Extra::None},
    op("PtgAdd"),
    op("PtgSub"),
    op("PtgMul"),
    op("PtgDiv"),
    op("PtgPower"),
    op("PtgConcat"),
    op("PtgLt"),
    op("PtgLe"),
    op("PtgEq"),
    op("PtgGe"),
    op("PtgGt"),
    op("PtgNe"),
    op("PtgIsect"),
    op("PtgUnion"),
    op("PtgRange"),
    op("PtgUplus"),
    op("PtgUminus"),
    op("PtgPercent"),
    op("PtgParen"),
    op("PtgMissArg"),
    {"PtgStr", Shape::String, 0, Extra::None},
    {"PtgExtended", Shape::Extended, 6, Extra::None},
    {"PtgAttr", Shape::Attribute, 4, Extra::None},
    kInvalid,
    kInvalid,
    {"PtgErr", Shape::Fixed, 2, Extra::None},
    {"PtgBool", Shape::Fixed, 2, Extra::None},
    {"PtgInt", Shape::Fixed, 3, Extra::None},
    {"PtgNum", Shape::Fixed, 9, Extra::None},
};

// The operand tokens 0x20..0x3F; 0x40..0x7F are the same tokens in the value and array classes.
constexpr Entry kClassed[0x20] = {
    {"PtgArray", Shape::Fixed, 8, Extra::Array},
    {"PtgFunc", Shape::Fixed, 3, Extra::None},
    {"PtgFuncVar", Shape::Fixed, 4, Extra::None},
    {"PtgName", Shape::Fixed, 5, Extra::None},
    {"PtgRef", Shape::Fixed, 5, Extra::None},
    {"PtgArea", Shape::Fixed, 9, Extra::None},
    {"PtgMemArea", Shape::Fixed, 7, Extra::Mem},
    {"PtgMemErr", Shape::Fixed, 7, Extra::None},
    {"PtgMemNoMem", Shape::Fixed, 7, Extra::None},
    {"PtgMemFunc", Shape::Fixed, 3, Extra::None},
    {"PtgRefErr", Shape::Fixed, 5, Extra::None},
    {"PtgAreaErr", Shape::Fixed, 9, Extra::None},
    {"PtgRefN", Shape::Fixed, 5, Extra::None},
    {"PtgAreaN", Shape::Fixed, 9, Extra::None},
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    kInvalid,
    {"PtgNameX", Shape::Fixed, 7, Extra::None},
    {"PtgRef3d", Shape::Fixed, 7, Extra::None},
    {"PtgArea3d", Shape::Fixed, 11, Extra::None},
    {"PtgRefErr3d", Shape::Fixed, 7, Extra::None},
    {"PtgAreaErr3d", Shape::Fixed, 11, Extra::None},
    kInvalid,
    kInvalid,
};

const Entry& entryOf(std::uint8_t ptg)
{
    if (ptg >= 0x80)
        return kInvalid;
    return ptg < 0x20 ? kBase[ptg] : kClassed[ptg & 0x1F];
}

// The tokens behind 0x18: the natural-language references (PtgElf*) and PtgSxName, all six bytes.
// The three whose label spans several cells keep a PtgExtraElf in rgcb.
const char* extendedName(std::uint8_t eptg, bool& hasExtra)
{
    hasExtra = eptg == 0x0B || eptg == 0x0D || eptg == 0x0F;
    switch (eptg) {
    case 0x01: return "PtgElfLel";
    case 0x02: return "PtgElfRw";
    case 0x03: return "PtgElfCol";
    case 0x06: return "PtgElfRwV";
    case 0x07: return "PtgElfColV";
    case 0x0A: return "PtgElfRadical";
    case 0x0B: return "PtgElfRadicalS";
    case 0x0D: return "PtgElfColS";
    case 0x0F: return "PtgElfColSV";
    case 0x10: return "PtgElfRadicalLel";
    case 0x1D: return "PtgSxName";
    default: return nullptr;
    }
}

const char* attributeName(std::uint8_t form)
{
    switch (form) {
    case 0x01: return "PtgAttrSemi";
    case 0x02: return "PtgAttrIf";
    case 0x04: return "PtgAttrChoose";
    case 0x08: return "PtgAttrGoto";
    case 0x10: return "PtgAttrSum";
    case 0x20:
    case 0x21: return "PtgAttrBaxcel";
    case 0x40: return "PtgAttrSpace";
    case 0x41: return "PtgAttrSpaceSemi";
    default: return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// The walk
// ---------------------------------------------------------------------------------------------

class Walker {
public:
    Walker(ByteView rgce, ByteView rgcb, const std::string& where) : rgce_(rgce), rgcb_(rgcb), where_(where) {}

    void run(const std::function<void(const Token&)>& visit)
    {
        for (std::size_t p = 0; p < rgce_.size();) {
            Token t = token(p);
            visit(t);
            p += t.length;
        }
    }

private:
    [[noreturn]] void unknown(std::size_t at, std::uint8_t ptg, std::uint8_t subtype = 0) const
    {
        throw Error(ErrorCode::Unsupported, at,
                    "formula token " + hex(ptg, 2) + (subtype ? " " + hex(subtype, 2) : "") + " in " + where_);
    }
    [[noreturn]] void cut(std::size_t at, std::uint8_t ptg, std::uint8_t subtype = 0) const
    {
        throw Error(ErrorCode::DamagedRecord, at, tokenName(ptg, subtype) + " cut short in " + where_);
    }
    std::uint8_t byteAt(std::size_t p, std::uint8_t ptg) const
    {
        if (p >= rgce_.size())
            cut(p, ptg);
        return rgce_[p];
    }

    Token token(std::size_t p)
    {
        Token t;
        t.at = p;
        t.ptg = rgce_[p];
        const Entry& e = entryOf(t.ptg);
        switch (e.shape) {
        case Shape::Invalid: unknown(p, t.ptg);
        case Shape::Fixed: t.length = e.size; break;
        case Shape::String: {
            const std::size_t cch = byteAt(p + 1, t.ptg);
            t.length = 3 + cch * ((byteAt(p + 2, t.ptg) & 0x01) ? 2 : 1);
            break;
        }
        case Shape::Extended: {
            t.subtype = byteAt(p + 1, t.ptg);
            bool hasExtra = false;
            if (!extendedName(t.subtype, hasExtra))
                unknown(p, t.ptg, t.subtype);
            t.length = e.size;
            if (hasExtra)
                takeExtra(t, elfExtraLength(t));
            break;
        }
        case Shape::Attribute:
            t.subtype = byteAt(p + 1, t.ptg);
            if (!attributeName(t.subtype))
                unknown(p, t.ptg, t.subtype);
            t.length = e.size;
            if (t.subtype == 0x04) {  // tAttrChoose: cOffset, then cOffset + 1 jump offsets
                if (p + 4 > rgce_.size())
                    cut(p, t.ptg, t.subtype);
                t.length += (static_cast<std::size_t>(u16(rgce_, p + 2)) + 1) * 2;
            }
            break;
        }
        if (t.length > rgce_.size() - p)
            cut(p, t.ptg, t.subtype);
        if (e.extra == Extra::Array)
            takeExtra(t, arrayExtraLength(t));
        else if (e.extra == Extra::Mem)
            takeExtra(t, memExtraLength(t));
        // The sub-expression of a PtgMem* token follows it inline: it must fit in the formula.
        const std::uint8_t base = baseType(t.ptg);
        if (base >= 0x26 && base <= 0x29) {
            const std::size_t cce = u16(rgce_, p + t.length - 2);
            if (cce > rgce_.size() - p - t.length)
                cut(p, t.ptg);
        }
        return t;
    }

    void takeExtra(Token& t, std::size_t length)
    {
        t.extraAt = extra_;
        t.extraLength = length;
        extra_ += length;
    }
    void requireExtra(const Token& t, std::size_t at, std::size_t length) const
    {
        if (at > rgcb_.size() || length > rgcb_.size() - at)
            cut(t.at, t.ptg, t.subtype);
    }

    // PtgExtraArray: columns - 1 (1), rows - 1 (2), then the values, row by row.
    std::size_t arrayExtraLength(const Token& t) const
    {
        requireExtra(t, extra_, 3);
        const std::size_t count = (static_cast<std::size_t>(rgcb_[extra_]) + 1) * (u16(rgcb_, extra_ + 1) + 1u);
        std::size_t p = extra_ + 3;
        for (std::size_t i = 0; i < count; ++i) {
            requireExtra(t, p, 1);
            switch (rgcb_[p]) {
            case 0x00:  // SerNil
            case 0x01:  // SerNum
            case 0x04:  // SerBool
            case 0x10:  // SerErr
                p += 9;
                break;
            case 0x02: {  // SerStr: an XLUnicodeString
                requireExtra(t, p + 1, 3);
                const std::size_t cch = u16(rgcb_, p + 1);
                p += 4 + cch * ((rgcb_[p + 3] & 0x01) ? 2 : 1);
                break;
            }
            default:
                throw Error(ErrorCode::DamagedRecord, t.at,
                            "PtgArray constant of type " + hex(rgcb_[p], 2) + " in " + where_);
            }
            requireExtra(t, extra_, p - extra_);
        }
        return p - extra_;
    }
    // PtgExtraMem: a count (2), then that many Ref8U ranges of 8 bytes.
    std::size_t memExtraLength(const Token& t) const
    {
        requireExtra(t, extra_, 2);
        const std::size_t length = 2 + 8u * u16(rgcb_, extra_);
        requireExtra(t, extra_, length);
        return length;
    }
    // PtgExtraElf: a count in the low 30 bits (4), then that many 4-byte cell locations.
    std::size_t elfExtraLength(const Token& t) const
    {
        requireExtra(t, extra_, 4);
        const std::size_t length = 4 + 4u * (u32(rgcb_, extra_) & 0x3FFFFFFF);
        requireExtra(t, extra_, length);
        return length;
    }

    ByteView rgce_;
    ByteView rgcb_;
    const std::string& where_;
    std::size_t extra_ = 0;
};

}  // namespace

std::string tokenName(std::uint8_t ptg, std::uint8_t subtype)
{
    const char* name = entryOf(ptg).name;
    bool hasExtra = false;
    if (ptg == 0x18 && extendedName(subtype, hasExtra))
        name = extendedName(subtype, hasExtra);
    else if (ptg == 0x19 && attributeName(subtype))
        name = attributeName(subtype);
    std::string text = name ? name : "token";
    text += " (" + hex(ptg, 2);
    if (ptg == 0x18 || ptg == 0x19)
        text += " " + hex(subtype, 2);
    return text + ")";
}

void walk(ByteView rgce, ByteView rgcb, const std::string& where, const std::function<void(const Token&)>& visit)
{
    Walker(rgce, rgcb, where).run(visit);
}

Location locate(std::uint16_t recordType, ByteView data)
{
    // Offset of cce in each record; NAME's depends on the length of its name.
    std::size_t cceAt = 0;
    switch (recordType) {
    case rt::Formula: cceAt = 20; break;
    case rt::ShrFmla: cceAt = 8; break;
    case rt::Array: cceAt = 12; break;
    case rt::Name: {
        if (data.size() < 15)
            return {};
        const std::size_t cch = data[3];
        Location l;
        l.cce = u16(data, 4);
        l.rgce = 15 + cch * ((data[14] & 0x01) ? 2 : 1);
        l.found = l.rgce <= data.size() && l.cce <= data.size() - l.rgce;
        return l;
    }
    default: return {};
    }
    if (data.size() < cceAt + 2)
        return {};
    Location l;
    l.cce = u16(data, cceAt);
    l.rgce = cceAt + 2;
    l.found = l.cce <= data.size() - l.rgce;
    return l;
}

}  // namespace xls::formula
