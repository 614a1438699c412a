#include "ooxml/XmlParts.h"

#include "ooxml/SheetReferences.h"
#include "xls/Error.h"
#include "xls/Text.h"
#include "xls/Worksheet.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace ooxml {

namespace {

constexpr unsigned kXmlParse = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_declaration |
                               pugi::parse_ws_pcdata | pugi::parse_pi | pugi::parse_comments | pugi::parse_doctype;

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

}  // namespace

void parseInto(pugi::xml_document& doc, const std::string& xml, const std::string& part)
{
    if (!doc.load_buffer(xml.data(), xml.size(), kXmlParse, pugi::encoding_utf8))
        throw xls::Error(xls::ErrorCode::DamagedPackage, "the part " + part + " is not well-formed XML");
}

pugi::xml_document parse(const std::string& xml, const std::string& part)
{
    pugi::xml_document doc;
    parseInto(doc, xml, part);
    return doc;
}

std::string serialize(const pugi::xml_document& doc)
{
    StringWriter writer;
    doc.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return std::move(writer.out);
}

std::string printed(const pugi::xml_node node)
{
    StringWriter writer;
    node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return std::move(writer.out);
}

std::string_view local(const pugi::xml_node n)
{
    const std::string_view name = n.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string prefixOf(const pugi::xml_node n)
{
    const std::string_view name = n.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

pugi::xml_node child(const pugi::xml_node n, std::string_view name)
{
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (isElement(c, name))
            return c;
    return {};
}

bool isElement(const pugi::xml_node n, std::string_view localName)
{
    // The name as it is first (most writers use no prefix), then after a prefix; a node that is
    // not an element has an empty name, or a processing instruction's.
    const char* name = n.name();
    const auto is = [&](const char* at) {
        return std::strncmp(at, localName.data(), localName.size()) == 0 && at[localName.size()] == '\0';
    };
    if (!is(name)) {
        const char* colon = std::strchr(name, ':');
        if (!colon || !is(colon + 1))
            return false;
    }
    return n.type() == pugi::node_element;
}

pugi::xml_attribute refOf(const pugi::xml_node n)
{
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        if (name[0] == 'r' && name[1] == '\0')
            return a;
    }
    return {};
}

pugi::xml_attribute prefixed(const pugi::xml_node n, std::string_view name)
{
    for (const pugi::xml_attribute a : n.attributes()) {
        const std::string_view full = a.name();
        const std::size_t colon = full.find(':');
        if (colon != std::string_view::npos && full.substr(colon + 1) == name)
            return a;
    }
    return {};
}

bool rangeRef(std::string_view ref, xls::CellRange& range)
{
    std::uint32_t r1, c1, r2, c2;
    const std::size_t colon = ref.find(':');
    if (!cellRef(ref.substr(0, colon), r1, c1))
        return false;
    if (colon == std::string_view::npos) {
        r2 = r1;
        c2 = c1;
    } else if (!cellRef(ref.substr(colon + 1), r2, c2)) {
        return false;
    }
    auto clamp = [](std::uint32_t v) { return static_cast<std::uint16_t>(std::min<std::uint32_t>(v, 0xFFFF)); };
    range = {clamp(std::min(r1, r2)), clamp(std::max(r1, r2)), clamp(std::min(c1, c2)), clamp(std::max(c1, c2))};
    return true;
}

std::string cellName(std::uint32_t row, std::uint32_t col)
{
    std::string letters;
    for (std::uint32_t c = col + 1; c; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

std::string numberText(double v)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return std::string(buffer, end);
}

void renameIn(const pugi::xml_node formula, const FormulaRenames& renames)
{
    const std::string before = formula.text().get();
    const std::string after = renameReferences(before, renames.sheets, renames.tables);
    if (after != before)
        formula.text().set(after.c_str());
}

void renameFormulas(const pugi::xml_node node, const FormulaRenames& renames)
{
    for (const pugi::xml_node n : node.children()) {
        if (n.type() != pugi::node_element)
            continue;
        const std::string_view name = local(n);
        if (name == "f" || name == "formula" || name == "formula1" || name == "formula2" ||
            name == "calculatedColumnFormula" || name == "totalsRowFormula")
            renameIn(n, renames);
        else
            renameFormulas(n, renames);
        if (name == "hyperlink" && n.attribute("location")) {
            const std::string after = renameReferences(n.attribute("location").value(), renames.sheets, renames.tables);
            n.attribute("location").set_value(after.c_str());
        }
    }
}

bool holdsNames(const pugi::xml_node node, const std::vector<std::u16string>& tables)
{
    bool names = false;
    // Nothing is renamed: the functions only note what they were asked.
    const NameRename sheet = [&](const std::string&) {
        names = true;
        return std::string();
    };
    const NameRename table = [&](const std::string& name) {
        const std::u16string asked = xls::fromUtf8(name);
        names = names || std::any_of(tables.begin(), tables.end(),
                                     [&](const std::u16string& t) { return xls::sameText(t, asked); });
        return std::string();
    };
    renameFormulas(node, {sheet, tables.empty() ? NameRename() : table});
    return names;
}

}  // namespace ooxml
