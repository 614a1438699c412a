#include "xls/Macros.h"

#include "xls/Text.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>

namespace xls {

namespace {

// The records that mark or name the project: ObProj, ObNoMacros and CodeName.
constexpr std::uint16_t kObProj = 0x00D3, kObNoMacros = 0x01BD;

bool marksProject(const Record& r)
{
    return r.type == kObProj || r.type == kObNoMacros || r.type == rt::CodeName;
}

// NAME options: 0x0001 hidden, 0x0002 an XLM macro, 0x0004 a VBA macro, 0x0008 a macro of either
// kind, 0x0010 a formula that may return an array.
constexpr std::uint16_t kNameHidden = 0x0001, kNameXlm = 0x0002, kNameVba = 0x0004, kNameMacro = 0x0008,
                        kNameArray = 0x0010;
// The formula a name of a macro that is gone refers to: #REF! (PtgErr 0x1C, error 0x17).
constexpr std::uint8_t kRefError[] = {0x1C, 0x17};

// The name a NAME record defines, when it is whole.
std::optional<std::u16string> definedName(const Record& r)
{
    const Bytes& d = r.data;
    if (d.size() < field::kNameChars)
        return std::nullopt;
    const bool wide = (d[field::kNameFlags] & 1) != 0;
    const std::size_t count = d[field::kNameLength];
    if (field::kNameChars + count * (wide ? 2 : 1) > d.size())
        return std::nullopt;
    return readChars(d, field::kNameChars, count, wide);
}

// A VBA macro's name becomes a hidden name of #REF! under a name of no meaning to the spreadsheet
// application (a name such as Auto_Open runs a macro when the workbook opens). It is not removed:
// formulas refer to names by number, and every later name's number would change.
void unlinkMacroName(Record& r, std::set<std::u16string>& taken)
{
    const Bytes& d = r.data;
    if (!definedName(r) || !(u16(d, 0) & kNameVba))
        return;
    std::u16string name;
    for (int n = 1; name.empty() || taken.count(foldCase(name)); ++n) {
        const std::string ascii = "LeftOutMacro" + std::to_string(n);
        name.assign(ascii.begin(), ascii.end());
    }
    taken.insert(foldCase(name));
    Bytes out(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(field::kNameChars));
    set16(out, 0,
          static_cast<std::uint16_t>((u16(d, 0) & ~(kNameXlm | kNameVba | kNameMacro | kNameArray)) | kNameHidden));
    out[2] = 0;  // no shortcut key
    out[field::kNameLength] = static_cast<std::uint8_t>(name.size());
    set16(out, field::kNameFormulaLength, sizeof kRefError);
    // The lengths of the menu, description, help and status texts, which no longer follow.
    std::fill(out.begin() + 10, out.begin() + 14, 0);
    out[field::kNameFlags] = 0;
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), std::begin(kRefError), std::end(kRefError));
    r.data = std::move(out);
}

// OBJ: sub-records of a type and a size each, up to the end marker (type 0). FtMacro (type 4)
// holds the formula of the macro the object runs; the sub-records before it have true sizes.
void unlinkObjMacro(Record& r)
{
    constexpr std::uint16_t kFtEnd = 0x0000, kFtMacro = 0x0004;
    Bytes& d = r.data;
    std::size_t at = 0;
    while (at + 4 <= d.size()) {
        const std::uint16_t ft = u16(d, at);
        const std::size_t size = 4 + u16(d, at + 2);
        if (ft == kFtEnd || at + size > d.size())
            return;
        if (ft == kFtMacro) {
            d.erase(d.begin() + static_cast<std::ptrdiff_t>(at), d.begin() + static_cast<std::ptrdiff_t>(at + size));
            return;
        }
        at += size;
    }
}

}  // namespace

bool leaveOutVbaProject(CompoundFile& container)
{
    bool found = false;
    for (const std::u16string name : {u"_VBA_PROJECT_CUR", u"_VBA_PROJECT"}) {
        for (int id = container.findRootEntry(name); id >= 0; id = container.findRootEntry(name)) {
            container.removeRootEntry(id);
            found = true;
        }
    }
    if (!found)
        return false;
    // The project's signatures, where a writer put them beside the project rather than in it.
    for (const std::u16string name : {u"\x05"
                                      "DigitalSignature",
                                      u"\x05"
                                      "DigitalSignatureAgile",
                                      u"\x05"
                                      "DigitalSignatureEx"})
        for (int id = container.findRootEntry(name); id >= 0; id = container.findRootEntry(name))
            container.removeRootEntry(id);
    return true;
}

void leaveOutMacroRecords(std::vector<Record>& globals)
{
    std::erase_if(globals, marksProject);
    std::set<std::u16string> taken;
    for (const Record& r : globals)
        if (r.type == rt::Name)
            if (const auto name = definedName(r))
                taken.insert(foldCase(*name));
    for (Record& r : globals)
        if (r.type == rt::Name)
            unlinkMacroName(r, taken);
}

void leaveOutSheetMacros(std::vector<Record>& sheet)
{
    std::erase_if(sheet, [](const Record& r) { return r.type == rt::CodeName; });
    for (Record& r : sheet)
        if (r.type == rt::Obj)
            unlinkObjMacro(r);
}

}  // namespace xls
