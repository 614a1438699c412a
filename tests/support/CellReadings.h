// CellReadings: every cell of a worksheet as a reader takes it (where it is, and its parts), read
// from its parsed elements alone or through SheetRows, so that the two can be held equal.
#pragma once

#include "ooxml/CellText.h"
#include "ooxml/SheetRows.h"
#include "ooxml/XmlParts.h"
#include "xls/Text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct CellReading {
    std::uint32_t row, rowRef;
    bool hasRef;
    std::string ref;
    bool validRef;
    std::uint32_t refRow, col;
    int style;
    std::string type;
    bool hasValue, hasFormula;
    std::string value;
    std::u16string inlineText;
    // The formula's "t" and "ref" ("-" where it has none), and the row's own style.
    std::string formulaType, formulaRef;
    int rowStyle;
    bool operator==(const CellReading&) const = default;
};

inline std::string given(std::string_view attribute)
{
    return attribute.data() ? std::string(attribute) : "-";
}

inline CellReading readingOf(std::uint32_t row, std::uint32_t rowRef, int rowStyle, const ooxml::SheetCell& c)
{
    const ooxml::CellParts& p = c.parts;
    return {row,
            rowRef,
            c.hasRef,
            std::string(c.ref),
            c.validRef,
            c.validRef ? c.refRow : 0,
            c.col,
            p.style,
            std::string(p.type),
            p.hasValue,
            p.hasFormula,
            std::string(p.value),
            p.inlineElement ? ooxml::itemText(p.is()) : xls::fromUtf8(std::string(p.inlineText)),
            given(p.formulaType),
            given(p.formulaRef),
            rowStyle};
}

// The rows of sheetData and each row's cells, as the elements number them (the reading the engine's
// own is held to), independently of SheetRows.
template <typename F>
void eachRow(pugi::xml_node sheetData, F&& f)
{
    std::uint32_t row = 0;
    bool first = true;
    for (pugi::xml_node r = sheetData.first_child(); r; r = r.next_sibling()) {
        if (!ooxml::isElement(r, "row"))
            continue;
        const pugi::xml_attribute ref = ooxml::refOf(r);
        row = ref ? ref.as_uint() - 1 : row + (first ? 0 : 1);
        first = false;
        f(row, r);
    }
}

template <typename F>
void eachCell(pugi::xml_node sheetData, F&& f)
{
    eachRow(sheetData, [&](std::uint32_t row, pugi::xml_node r) {
        std::uint32_t col = 0;
        bool first = true;
        for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
            if (!ooxml::isElement(c, "c"))
                continue;
            std::uint32_t rr, cc;
            if (const pugi::xml_attribute ref = ooxml::refOf(c); ref && ooxml::cellRef(ref.value(), rr, cc))
                col = cc;
            else if (!first)
                ++col;
            first = false;
            f(row, col, c);
        }
    });
}

// Every cell as its elements give it, from a document parsed whole.
inline std::vector<CellReading> fromElements(const pugi::xml_document& doc)
{
    std::vector<CellReading> cells;
    eachCell(ooxml::child(doc.document_element(), "sheetData"), [&](std::uint32_t row, std::uint32_t col,
                                                                    pugi::xml_node c) {
        ooxml::SheetCell cell;
        if (const pugi::xml_attribute r = ooxml::refOf(c)) {
            cell.hasRef = true;
            cell.ref = r.value();
            std::uint32_t ignored = 0;
            cell.validRef = ooxml::cellRef(cell.ref, cell.refRow, ignored);
        }
        cell.col = col;
        cell.parts = ooxml::partsOf(c);
        const pugi::xml_node r = c.parent();
        const int rowStyle = r.attribute("s") && r.attribute("customFormat").as_bool() ? r.attribute("s").as_int() : -1;
        cells.push_back(readingOf(row, ooxml::refOf(r).as_uint(), rowStyle, cell));
    });
    return cells;
}

// Every cell as SheetRows gives it from the sheet's text and its document (parsed whole or without
// its rows); whether it failed, and how many cells with a value, a formula or an inline string it
// read from the text.
inline std::vector<CellReading> fromRows(const std::string& sheet, const pugi::xml_document& doc, bool& failed,
                                         std::size_t& readFromText)
{
    std::vector<CellReading> cells;
    readFromText = 0;
    ooxml::SheetRows r(sheet, ooxml::child(doc.document_element(), "sheetData"));
    while (r.next())
        for (const ooxml::SheetCell& c : r.cells()) {
            cells.push_back(readingOf(r.row(), r.rowRef(), r.rowStyle(), c));
            readFromText += !c.parts.valueElement && !c.parts.formulaElement && !c.parts.inlineElement &&
                            (c.parts.hasValue || c.parts.hasFormula || c.parts.inlineText.data());
        }
    failed = r.failed();
    return cells;
}

}  // namespace testing_support
