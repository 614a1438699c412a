// SheetText: a worksheet of the template laid out once as pieces of text, so that saving the sheet
// or any of its copies joins the pieces and splices in the cells written, instead of parsing and
// serializing the whole sheet again for every page of every workbook. What else a save changes is
// made again each time from the piece's element: the used range (<dimension>), the selected tab
// (never a copy's), and the formulas that name sheets or tables, whose names change with the pages.
#pragma once

#include "ooxml/Workbook.h"
#include "ooxml/XmlParts.h"

#include <pugixml.hpp>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ooxml {

class SheetRows;

class SheetText {
public:
    // Takes the parsed sheet, its text and the names of the workbook's tables. The sheet may be
    // parsed without its rows (SheetRows::parseWithoutRows): a row written plainly, without
    // formulas, is laid out from its text as it stands; any other from its elements, for which the
    // sheet is then parsed whole. Formulas lose their cached results (they are worked out again on
    // loading) and every row and cell gets its reference, once, here.
    SheetText(std::unique_ptr<pugi::xml_document> sheet, std::string text, const std::string& part,
              const std::vector<std::u16string>& tables);
    SheetText(const SheetText&) = delete;
    SheetText& operator=(const SheetText&) = delete;

    // The sheet's XML with the cells written (row << 14 | column -> what each must read as: Blank,
    // Number or Text, and the style to give a cell that is not there). Throws DamagedPackage when
    // cells are written into a sheet without <sheetData>.
    std::string render(const std::map<CellKey, CellRead>& written, bool copy, const FormulaRenames& renames) const;

private:
    struct Piece {
        std::string_view text;  // the node as the template holds it, prepared (in store_ or text_)
        pugi::xml_node node;    // the same node, to make again when it names sheets or tables; none
                                // for a cell laid out from its text
        bool names = false;     // holds formulas that name sheets or tables
        std::uint32_t col = 0;  // a cell's column
        bool cell = false;
        bool element = false;
    };
    struct Row {
        std::uint32_t row = 0;
        bool isRow = false;  // false: a node between rows (white space, a comment), kept as it is
        bool names = false;
        std::string_view whole;  // the row as the template holds it, prepared (in store_ or text_)
        std::string open, close;
        std::vector<Piece> children;
        std::size_t cellsEnd = 0;  // past the last cell among them
    };

    // The rows of the sheetData; false where the document holds no rows and one must be laid out
    // from its elements.
    bool layRows(pugi::xml_node data, const std::vector<std::u16string>& tables);
    bool layRowFromText(const SheetRows& rows);
    void layRowFromElement(pugi::xml_node n, const SheetRows& rows, const std::vector<std::u16string>& tables);
    void emitPiece(std::string& out, const Piece& piece, const FormulaRenames& renames) const;
    using Written = std::map<CellKey, CellRead>::const_iterator;
    // The row with the cells written into it from `w` on (and `w` moved past them).
    void emitRow(std::string& out, const Row& row, Written& w, Written end, const FormulaRenames& renames) const;
    // A row the template does not have, of the cells written from `w` on that fall in it.
    void emitNewRow(std::string& out, Written& w, Written end) const;
    std::string grownDimension(const std::map<CellKey, CellRead>& written) const;
    // The text kept for as long as the sheet, where the pieces see it.
    std::string_view keep(std::string text);

    std::unique_ptr<pugi::xml_document> doc_;
    std::string text_;               // the sheet's text, which rows laid out from it are views of
    std::deque<std::string> store_;  // grows without moving what it holds
    std::string prefix_;             // the declaration and the worksheet's opening tag
    std::string suffix_;             // its closing tag
    std::vector<Piece> head_, tail_;
    int dimension_ = -1, views_ = -1;  // their places in head_
    std::string viewsOfCopy_;          // the sheet views with no tab selected
    bool hasData_ = false;
    std::string dataOpen_, dataClose_;
    std::string ns_;  // the namespace prefix of the sheet's elements ("" or "x:")
    std::vector<Row> rows_;
    std::size_t size_ = 0;
};

}  // namespace ooxml
