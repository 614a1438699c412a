// ooxml::Workbook: an Office Open XML workbook (.xlsx, .xlsm, .xltx) opened from bytes, edited in
// memory and saved as a whole, with the operations of the .xls engine: sheets by position (from 1)
// or name, sheets copied to the end as one group, sheets renamed, cells written keeping the
// template cell's style. The package's parts are edited in place: parts it does not need to change
// are carried over byte for byte, and a copied sheet gets copies of the parts it owns (drawings,
// charts, comments, tables, printer settings) with their relationships. Sheet names in formulas,
// defined names and charts follow renames; a copy's references to the sheets copied with it point
// at their copies. Cached formula values and the calculation chain are dropped and a full
// calculation asked for on load. What it cannot keep right (encryption, the Strict dialect, pivot
// tables on a copied sheet, a chart or dialog sheet as a form, a written cell inside a shared or
// array formula) is an xls::Error, never a damaged file. A VBA project is left out.
#pragma once

#include "ooxml/PartNames.h"
#include "xls/Bytes.h"
#include "xls/CellValue.h"
#include "xls/Worksheet.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xml_document;
}

namespace ooxml {

struct FormulaRenames;
struct PackageParts;
struct SheetIndex;
struct Styles;
class SheetText;

// A cell's place in a sheet: row << 14 | column, from 0, in the order of rows, then columns.
using CellKey = std::uint64_t;

// What one cell of a saved workbook reads as.
struct CellRead {
    enum class Kind { Missing, Blank, Number, Text, Formula, Other };
    Kind kind = Kind::Missing;
    double number = 0;
    std::u16string text;
    int style = 0;
    bool operator==(const CellRead&) const = default;
};

class Workbook {
public:
    // Throws xls::Error: DamagedPackage, Encrypted, Unsupported (the Strict dialect).
    static Workbook fromBytes(xls::ByteView bytes);

    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    const std::u16string& sheetName(int position) const;
    // The position (from 1) of the sheet of that name, without regard to case; throws SheetNotFound.
    int sheetPosition(const std::u16string& name) const;
    // Copies the sheets (by position) to the end as one group and returns the copies' positions.
    std::vector<int> copySheetsToEnd(const std::vector<int>& positions);
    int copySheetToEnd(int position) { return copySheetsToEnd({position}).front(); }
    // 1 to 31 characters, none of : \ / ? * [ ], not starting or ending with ', unique without
    // regard to case.
    void renameSheet(int position, const std::u16string& name);
    void setCell(int position, const std::string& address, const xls::CellValue& value);
    bool cellShowsDates(int position, const std::string& address) const;
    bool date1904() const { return date1904_; }
    bool macrosLeftOut() const { return macrosLeftOut_; }

    // For the template check: the merged ranges of a worksheet, and whether a cell holds a formula.
    std::vector<xls::CellRange> mergedRanges(int position) const;
    bool cellHoldsFormula(int position, const std::string& address) const;
    // What a cell of the workbook as opened reads as (the writes not applied).
    CellRead cellAsOpened(int position, const std::string& address) const;

    xls::Bytes saveToBytes() const;
    // Reads `saved` (this workbook's saveToBytes) back: the package's structure, the sheets' names
    // and order, every cell written, and every other cell against the template. The differences,
    // each naming its sheet and cell; empty when the bytes hold what was meant.
    std::vector<std::string> verify(xls::ByteView saved) const;

private:
    using Part = std::shared_ptr<const std::string>;
    using TableNames = std::vector<std::pair<std::u16string, std::string>>;  // a template's table, its copy's name
    struct Sheet {
        std::u16string name;
        std::string part;   // the sheet's part, e.g. "xl/worksheets/sheet1.xml"
        std::string relId;  // its relationship from the workbook
        std::string kind;   // "worksheet", "chartsheet", "dialogsheet", "macrosheet"
        int origin = -1;    // the sheet of the template this one is or copies (index from 0)
        bool copy = false;
        std::map<int, int> redirect;          // template sheet -> the sheet a copy's references mean
        std::map<CellKey, CellRead> written;  // what each cell written must read as
        std::shared_ptr<const SheetIndex> index;
        std::shared_ptr<const SheetText> text;
        TableNames tables;  // the template's tables a copy has its own copies of
    };

    Sheet& sheetAt(int position);
    const Sheet& sheetAt(int position) const;
    const Sheet& worksheetAt(int position) const;
    void validateName(const std::u16string& name, int except) const;
    const Part* partEntry(const std::string& name) const;
    const std::string* part(const std::string& name) const;
    // The name the package stores a part under, found without regard to case; `name` when none.
    std::string storedName(const std::string& name) const;
    void putPart(const std::string& name, std::string data);
    std::string newPartName(const std::string& like) const;
    std::string copyPartTree(const std::string& source, int owner, std::map<std::string, std::string>& copied,
                             TableNames& tables);
    std::pair<std::u16string, std::string> renameTableCopy(const std::string& part);
    std::string renamedFor(int owner, const std::string& written) const;
    std::string tableRenamedFor(int owner, const std::string& written) const;
    FormulaRenames renamesFor(int owner) const;
    std::string savedWorkbookXml() const;
    std::string savedSheetXml(const Sheet& sheet) const;
    std::string savedChartXml(const std::string& xml, int owner) const;
    std::string savedAppXml(const std::string& xml) const;
    void compareListing(const PackageParts& back, const std::vector<char>& compared,
                        std::vector<std::string>& differences) const;
    bool isDateStyle(int style) const;
    bool isTextStyle(int style) const;

    std::map<std::string, Part> parts_;
    std::vector<std::string> order_;
    ContentTypes types_;
    std::string workbookPart_;
    Relationships workbookRels_;
    std::vector<Sheet> sheets_;
    std::vector<std::u16string> templateNames_;
    std::vector<std::u16string> tableNames_;    // the template's tables
    std::vector<std::u16string> pivotSources_;  // the sheets pivot caches read by name
    std::map<std::string, int> chartOwner_;     // a chart part -> the sheet whose references it keeps
    std::shared_ptr<const Styles> styles_;
    std::vector<std::u16string> sharedStrings_;
    std::vector<std::string> removed_;  // parts left out of what is saved (calculation chain, VBA)
    bool date1904_ = false;
    bool macrosLeftOut_ = false;
    int nextSheetId_ = 1;
};

}  // namespace ooxml
