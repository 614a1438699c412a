#include "xls/ChartLinks.h"

#include "xls/Formula.h"

namespace xls {

namespace {

// BRAI: id, rt, flags, number format (6 bytes), then the formula's length and its tokens.
constexpr std::uint16_t kBrai = 0x1051;
constexpr std::size_t kBraiFormulaLength = 6, kBraiFormula = 8;

struct Retarget {
    Record* record;
    std::size_t at;  // offset of the XTI index in the record's data
    int sheet;       // the copy it is to name
};

}  // namespace

void retargetChartReferences(std::vector<Record>& sheet, ExternSheets& xtis, const std::map<int, int>& copies,
                             const std::string& where)
{
    // Every reference first, so that a formula that cannot be walked changes nothing.
    std::vector<Retarget> planned;
    int depth = 0;
    for (Record& r : sheet) {
        if (r.type == rt::Bof)
            ++depth;
        else if (r.type == rt::Eof)
            --depth;
        if (r.type != kBrai || depth < 2 || r.data.size() < kBraiFormula)
            continue;
        const std::size_t cce = u16(r.data, kBraiFormulaLength);
        if (kBraiFormula + cce > r.data.size())
            throw Error(ErrorCode::DamagedRecord, r.offset, "a chart formula longer than its record on " + where);
        const ByteView rgce(r.data.data() + kBraiFormula, cce);
        formula::walk(rgce, ByteView(), "a chart formula on " + where, [&](const formula::Token& t) {
            if (!formula::is3dReference(t.ptg))
                return;
            const std::size_t at = kBraiFormula + t.at + 1;
            const std::optional<int> named = xtis.soleSheet(u16(r.data, at));
            if (!named)
                return;
            if (const auto copy = copies.find(*named); copy != copies.end())
                planned.push_back({&r, at, copy->second});
        });
    }
    for (const Retarget& t : planned)
        set16(t.record->data, t.at, static_cast<std::uint16_t>(xtis.findOrAdd(t.sheet)));
}

}  // namespace xls
