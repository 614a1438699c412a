// Workbook: a BIFF8 workbook (.xls) opened from a file or bytes, edited in memory and saved as a
// whole: sheets by position (from 1) or name, a sheet copied to after the last one, sheets renamed,
// cells written. What the engine cannot keep intact (a VBA project, encryption, pivot tables, a
// shared workbook, embedded charts in a copied sheet, a formula it cannot walk) is an Error, never
// a damaged file. verify() reads saved bytes back and lists every way they differ from what the
// edits meant.
#pragma once

#include "xls/CellReading.h"
#include "xls/CellValue.h"
#include "xls/CompoundFile.h"
#include "xls/LocalNames.h"
#include "xls/Record.h"
#include "xls/SharedStrings.h"
#include "xls/SortedMap.h"
#include "xls/WorkbookScan.h"
#include "xls/Worksheet.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace xls {

class Workbook {
public:
    static Workbook fromBytes(ByteView bytes);
    static Workbook open(const std::string& path);

    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    const std::u16string& sheetName(int position) const;
    // The position (from 1) of the sheet of that name, without regard to case; throws SheetNotFound.
    int sheetPosition(const std::u16string& name) const;
    // The worksheet at the position; throws Unsupported for a chart or macro sheet.
    const Worksheet& worksheet(int position) const;

    // Appends a copy of the worksheet at `position` after the last sheet, named like "Name (2)";
    // the copy is not selected. Returns its position.
    int copySheetToEnd(int position);
    // Copies the sheets (by position) to the end, in that order, as one group, and returns the
    // copies' positions. A chart on one of them that plots cells of any of them plots the same
    // cells of the copies; a refusal of any part leaves the workbook as it was.
    std::vector<int> copySheetsToEnd(const std::vector<int>& positions);
    // 1 to 31 characters, none of : \ / ? * [ ], not starting or ending with ', unique without
    // regard to case.
    void renameSheet(int position, const std::u16string& name);
    void setCell(int position, const std::string& address, const CellValue& value);
    // Whether a date written into the cell goes in as a date serial (its format shows dates).
    bool cellShowsDates(int position, const std::string& address) const;

    bool date1904() const { return date1904_; }
    // Whether the workbook read held a VBA project, which is left out of what is saved.
    bool macrosLeftOut() const { return macrosLeftOut_; }
    Bytes saveToBytes() const;
    void save(const std::string& path) const;

    // Reads `saved` (this workbook's saveToBytes) back and compares: the sheets' names and order;
    // every cell written, with its value and XF; every other cell against the workbook this one
    // was opened from; no address held twice; the shared-string counts. The differences, each
    // naming its sheet and cell; empty when the bytes hold what was meant.
    std::vector<std::string> verify(ByteView saved) const;

private:
    struct Sheet {
        std::u16string name;
        Bytes boundSheet;  // BOUNDSHEET data as read (lbPlyPos is rewritten on save)
        std::optional<Worksheet> worksheet;
        std::vector<Record> other;                      // a chart, macro or dialog sheet, kept as it is
        std::size_t origin = 0;                         // the sheet of the opened workbook this one is or copies
        SortedMap<std::uint32_t, CellReading> written;  // what each written cell must read as
    };
    struct XfInfo {
        std::uint16_t format = 0;
        bool style = false;
    };

    void openContainer(ByteView bytes);
    std::size_t readGlobals(std::vector<Record>& records, std::vector<Bytes>& bounds);
    void readGlobal(std::vector<Record>& globals, std::size_t& k, std::vector<Bytes>& bounds);
    void readSheets(std::vector<Record>& records, std::size_t globalsEnd, const std::vector<Bytes>& bounds);
    void requireKnownFormats();

    Sheet& sheetAt(int position);
    const Sheet& sheetAt(int position) const;
    void validateName(const std::u16string& name, int except) const;
    std::u16string copyName(const std::u16string& source) const;
    int copyOneSheet(int position);
    void registerNewSheet();
    static void renameCopiedNames(Sheet& copy, const NameRenames& renames);

    // The XF a value written at (row, col) takes: that of the cell held there (`held`, from
    // cells().find()), else the one a new cell inherits.
    std::uint16_t cellXfFor(const Worksheet& ws, std::uint16_t row, std::uint16_t col,
                            const CellTable::Cell* held) const;
    // The code of the XF's number format when the workbook defines it (a FORMAT record), else null.
    const std::u16string* customFormat(std::uint16_t xf) const;
    bool isDateFormat(std::uint16_t xf) const;
    bool isTextFormat(std::uint16_t xf) const;
    void writeCell(Sheet& sheet, std::uint16_t row, std::uint16_t col, Record record, CellReading reading);

    Bytes serializeGlobals(std::vector<std::size_t>& boundSheetAt) const;
    void compareSheet(std::size_t index, SheetCells& saved, const Texts& savedTexts,
                      std::vector<std::string>& differences) const;

    CompoundFile container_;
    int workbookStream_ = -1;
    std::vector<Record> globals_;  // with the SST chain replaced by strings_ on save
    SharedStrings strings_;
    bool hadSst_ = false;
    std::vector<Sheet> sheets_;
    std::vector<XfInfo> xfs_;
    std::vector<std::pair<std::uint16_t, std::u16string>> formats_;
    bool date1904_ = false;
    bool macrosLeftOut_ = false;
    std::shared_ptr<const WorkbookScan> opened_;  // the workbook as read, for verify()
};

// Sheet names compare without regard to case.
bool sameSheetName(const std::u16string& a, const std::u16string& b);

}  // namespace xls
