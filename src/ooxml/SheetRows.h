// SheetRows: the rows of a parsed worksheet and the cells of each, with what a reader needs of
// every cell. A row written plainly (the way spreadsheet programs and this engine write rows) is
// read straight from the part's text, which is several times quicker than asking the parsed document
// for each attribute and child; any row holding something else (escapes, prefixes, comments,
// rich or escaped inline strings, other children) is read from its parsed elements. Both ways read
// a row alike.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace ooxml {

// A cell element's parts: its style, its type, whether it has a value and a formula, and the
// value's text (and an inline string's, where it is plain). The elements themselves are there
// only where the row was read from them.
struct CellParts {
    int style = 0;
    std::string_view type;
    bool hasValue = false;
    bool hasFormula = false;
    std::string_view value;
    std::string_view inlineText;   // an inline string of one plain run, as written
    std::string_view formulaType;  // the formula's "t" and "ref" (of shared and array formulas)
    std::string_view formulaRef;
    // The <v>, <f> and <is> elements, where the row was read from its elements (held as pugixml's
    // own pointers, which cost nothing to make for the many cells read from the text).
    pugi::xml_node_struct* valueElement = nullptr;
    pugi::xml_node_struct* formulaElement = nullptr;
    pugi::xml_node_struct* inlineElement = nullptr;
    pugi::xml_node v() const { return pugi::xml_node(valueElement); }
    pugi::xml_node f() const { return pugi::xml_node(formulaElement); }
    pugi::xml_node is() const { return pugi::xml_node(inlineElement); }
};

// The parts of a cell element, read from its attributes and children.
CellParts partsOf(pugi::xml_node c);

struct SheetCell {
    bool hasRef = false;    // whether it has an "r"
    std::string_view ref;   // its "r"
    bool validRef = false;  // whether that is a cell address
    std::uint32_t refRow = 0;
    std::uint32_t col = 0;  // 0-based; following on from the cell before where "r" does not say
    CellParts parts;
    // Where the row was read from the text: the cell element's place there, and whether its start
    // tag is in the common form (` r="B2" s="3" t="s"`, each after one space, in double quotes).
    std::size_t start = 0, end = 0;
    bool commonTag = false;
};

class SheetRows {
public:
    // `text` is the part's bytes exactly as `sheetData`'s document was parsed from them.
    SheetRows(const std::string& text, pugi::xml_node sheetData);

    // Parses a worksheet's text with its sheetData left empty, for the rows to be read from the
    // text: far quicker than making elements of every cell. False where the text has no
    // "<sheetData>" that is the worksheet's own; the document is then to be parsed whole.
    static bool parseWithoutRows(pugi::xml_document& doc, const std::string& text);

    // Moves to the next row; false after the last, and where rows are read from the text alone,
    // also at one that is not plain (failed() then tells).
    bool next();
    // Whether rows read from the text alone met one that is not plain, or do not end the
    // sheetData: the document is then to be parsed whole and its rows read again.
    bool failed() const { return failed_; }
    std::uint32_t rowRef() const { return rowRef_; }  // its "r" as a number, 0 when it has none
    std::uint32_t row() const { return row_; }        // 0-based; following on where "r" does not say
    // Its own style: its "s" where its "customFormat" is on; -1 where it has none.
    int rowStyle() const { return rowStyle_; }
    // Whether the row was read from the text, and then where it starts, where its start tag ends
    // (past its '>') and where it ends (past its end tag), and whether that start tag is in the
    // common form: each attribute after one space, in double quotes, and no space before its end.
    bool readFromText() const { return readFromText_; }
    std::size_t rowStart() const { return rowStart_; }
    std::size_t rowTagEnd() const { return rowTagEnd_; }
    std::size_t rowEnd() const { return rowEnd_; }
    bool commonRowTag() const;
    // The row's cells; their texts stay as long as this does.
    const std::vector<SheetCell>& cells() const { return cells_; }

private:
    bool scanRow(std::size_t at);
    void readRow();

    const std::string& text_;
    pugi::xml_node rowElement_;
    bool started_ = false;
    bool fromText_ = false, failed_ = false;
    std::size_t at_ = 0, end_ = 0;
    std::size_t rowStart_ = 0, rowTagEnd_ = 0, rowEnd_ = 0;
    bool readFromText_ = false;
    std::uint32_t rowRef_ = 0;
    std::uint32_t row_ = 0;
    int rowStyle_ = -1;
    std::vector<SheetCell> cells_;
    std::deque<std::string> decoded_;  // texts with escapes, made anew
};

}  // namespace ooxml
