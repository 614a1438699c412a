#include "xls/LocalNames.h"

#include "xls/ExternSheets.h"
#include "xls/Formula.h"
#include "xls/Text.h"

namespace xls {

namespace {

std::string nameOf(const Record& r)
{
    const formula::Location l = formula::locate(rt::Name, r.data);
    if (!l.found)
        return "a defined name";
    const std::size_t cch = r.data[field::kNameLength];
    const bool high = r.data[field::kNameFlags] & 0x01;
    const std::u16string name = readChars(r.data, field::kNameChars, cch, high);
    // Built-in names are one character: 0x06 Print_Area, 0x07 Print_Titles, 0x0D _FilterDatabase.
    if (name.size() == 1 && name[0] < 0x20) {
        static const char* const builtIn[] = {"Consolidate_Area", "Auto_Open",      "Auto_Close",    "Extract",
                                              "Database",         "Criteria",       "Print_Area",    "Print_Titles",
                                              "Recorder",         "Data_Form",      "Auto_Activate", "Auto_Deactivate",
                                              "Sheet_Title",      "_FilterDatabase"};
        return std::string("the name ") + (name[0] < 14 ? builtIn[name[0]] : "(built-in)");
    }
    return "the name " + utf8(name);
}

// Walks the formula of the record and lets `edit` change a token's fields in place.
void rewrite(Record& r, const std::string& where,
             const std::function<void(Bytes&, std::size_t, const formula::Token&)>& edit)
{
    const formula::Location l = formula::locate(r.type, r.data);
    if (!l.found)
        throw Error(ErrorCode::DamagedRecord, r.offset, "the formula of " + where + " runs past its record");
    const ByteView data(r.data);
    const ByteView rgce = data.subspan(l.rgce, l.cce);
    const ByteView rgcb = data.subspan(l.rgce + l.cce);
    std::vector<formula::Token> tokens;
    formula::walk(rgce, rgcb, where, [&](const formula::Token& t) { tokens.push_back(t); });
    for (const formula::Token& t : tokens)
        edit(r.data, l.rgce + t.at, t);
}

void renameTokens(Bytes& d, std::size_t at, const formula::Token& t, const NameRenames& renames)
{
    if (!formula::isName(t.ptg))
        return;
    const std::uint32_t index = u32(d, at + 1);
    for (const auto& [from, to] : renames)
        if (index == from)
            set32(d, at + 1, to);
}

}  // namespace

void renameNames(Record& record, const NameRenames& renames, const std::string& where)
{
    if (renames.empty() || !formula::locate(record.type, record.data).found)
        return;
    rewrite(record, where, [&](Bytes& d, std::size_t at, const formula::Token& t) { renameTokens(d, at, t, renames); });
}

namespace {

// The positions in globals of the names scoped to sheet `from`, and how many names there are.
std::vector<std::size_t> localNames(const std::vector<Record>& globals, int from, std::uint32_t& nameCount)
{
    std::vector<std::size_t> local;
    nameCount = 0;
    for (std::size_t k = 0; k < globals.size(); ++k) {
        if (globals[k].type != rt::Name)
            continue;
        ++nameCount;
        if (globals[k].data.size() >= field::kNameChars && u16(globals[k].data, field::kNameSheet) == from + 1)
            local.push_back(k);
    }
    return local;
}

}  // namespace

NameRenames planLocalNames(const std::vector<Record>& globals, int from)
{
    std::uint32_t nameCount = 0;
    NameRenames renames;
    std::uint32_t index = 0;
    const std::vector<std::size_t> local = localNames(globals, from, nameCount);
    for (std::size_t k = 0, next = 0; k < globals.size() && next < local.size(); ++k) {
        if (globals[k].type != rt::Name)
            continue;
        ++index;
        if (k != local[next])
            continue;
        if (k + 1 < globals.size() && globals[k + 1].type == rt::Continue)
            throw Error(ErrorCode::Unsupported, globals[k].offset, nameOf(globals[k]) + " continues over records");
        Record probe = globals[k];
        rewrite(probe, nameOf(probe), [](Bytes&, std::size_t, const formula::Token&) {});
        // The copies are appended after the last name, in order.
        renames.emplace_back(index, nameCount + 1 + static_cast<std::uint32_t>(next));
        ++next;
    }
    return renames;
}

void copyLocalNames(std::vector<Record>& globals, int from, int to, const NameRenames& renames)
{
    if (renames.empty())
        return;
    std::uint32_t nameCount = 0;
    const std::vector<std::size_t> local = localNames(globals, from, nameCount);
    ExternSheets xti(globals);
    const int sourceXti = xti.find(from);
    std::vector<Record> added;
    for (std::size_t k : local) {
        Record r = globals[k];
        set16(r.data, field::kNameSheet, static_cast<std::uint16_t>(to + 1));
        rewrite(r, nameOf(r), [&](Bytes& d, std::size_t at, const formula::Token& t) {
            if (formula::is3dReference(t.ptg) && sourceXti >= 0 && u16(d, at + 1) == sourceXti)
                set16(d, at + 1, static_cast<std::uint16_t>(xti.findOrAdd(to)));
            renameTokens(d, at, t, renames);
        });
        added.push_back(std::move(r));
    }
    std::size_t lastName = 0;
    for (std::size_t k = 0; k < globals.size(); ++k)
        if (globals[k].type == rt::Name)
            lastName = k;
    globals.insert(globals.begin() + static_cast<std::ptrdiff_t>(lastName + 1), added.begin(), added.end());
}

}  // namespace xls
