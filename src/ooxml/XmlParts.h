// XmlParts: what the engine's modules share for reading and writing the XML of a package's parts:
// parsing and printing with pugixml as the engine does it (white space and every node kept),
// elements and attributes by their local names whatever their prefix, cell references, and the
// formulas under an element with the sheet and table names they hold rewritten.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace xls {
struct CellRange;
}

namespace ooxml {

// Throws xls::Error (DamagedPackage) naming the part when the XML is not well-formed.
void parseInto(pugi::xml_document& doc, const std::string& xml, const std::string& part);
pugi::xml_document parse(const std::string& xml, const std::string& part);
// The whole document, with an XML declaration when it has none.
std::string serialize(const pugi::xml_document& doc);
// The node and what it holds, exactly as the document would print it there.
std::string printed(pugi::xml_node node);

// The element's name without its namespace prefix, and the prefix with its colon ("x:" or "").
std::string_view local(pugi::xml_node n);
std::string prefixOf(pugi::xml_node n);
pugi::xml_node child(pugi::xml_node n, std::string_view name);
// Whether the node is an element of that local name. Called for every row and cell, it takes the
// name as it is, without a copy.
bool isElement(pugi::xml_node n, std::string_view localName);
// The reference ("r") of a row or a cell; empty when it has none.
pugi::xml_attribute refOf(pugi::xml_node n);
// The attribute of that local name whatever its prefix ("r:id").
pugi::xml_attribute prefixed(pugi::xml_node n, std::string_view name);

// "B12" to a 0-based row and column; false when it is not a cell address. Inline: reading a sheet's
// rows asks it of every cell.
inline bool cellRef(std::string_view ref, std::uint32_t& row, std::uint32_t& col)
{
    std::size_t i = 0;
    std::uint32_t c = 0;
    while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z' && i < 3)
        c = c * 26 + static_cast<std::uint32_t>(ref[i++] - 'A' + 1);
    std::uint32_t r = 0;
    const std::size_t digits = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r < 10000000)
        r = r * 10 + static_cast<std::uint32_t>(ref[i++] - '0');
    if (c == 0 || c > 16384 || i == digits || i != ref.size() || r == 0 || r > 1048576)
        return false;
    row = r - 1;
    col = c - 1;
    return true;
}
bool rangeRef(std::string_view ref, xls::CellRange& range);
std::string cellName(std::uint32_t row, std::uint32_t col);
// A number as the shortest text that reads back as the same double.
std::string numberText(double v);

// From a name as a formula writes it to the name it must carry now; empty when unchanged.
using NameRename = std::function<std::string(const std::string&)>;
// The names a formula's references carry now: sheets' and tables' (`tables` may be empty).
struct FormulaRenames {
    NameRename sheets;
    NameRename tables;
};
// The formula the element holds as text, renamed.
void renameIn(pugi::xml_node formula, const FormulaRenames& renames);
// Every formula under the node (cells, validations, conditional formats, hyperlink locations, a
// table's calculated columns and totals).
void renameFormulas(pugi::xml_node node, const FormulaRenames& renames);
// Whether any formula under the node names a sheet, or one of the tables named (in any case).
bool holdsNames(pugi::xml_node node, const std::vector<std::u16string>& tables);

}  // namespace ooxml
