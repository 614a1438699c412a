// Workbook: a BIFF8 workbook (.xls) opened from a file or bytes, edited in memory and saved as a
// whole: sheets by position (from 1) or name, a sheet copied to after the last one, sheets renamed,
// cells written. What the engine cannot keep intact (a VBA project, encryption, pivot tables, a
// shared workbook, embedded charts in a copied sheet) is an Error, never a damaged file.
#pragma once

#include "xls/CellValue.h"
#include "xls/CompoundFile.h"
#include "xls/Record.h"
#include "xls/SharedStrings.h"
#include "xls/Worksheet.h"

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

    // Appends a copy of the worksheet at `position` after the last sheet, named like "Name (2)";
    // the copy is not selected. Returns its position.
    int copySheetToEnd(int position);
    // 1 to 31 characters, none of : \ / ? * [ ], not starting or ending with ', unique without
    // regard to case.
    void renameSheet(int position, const std::u16string& name);
    void setCell(int position, const std::string& address, const CellValue& value);

    bool date1904() const { return date1904_; }
    Bytes saveToBytes() const;
    void save(const std::string& path) const;

private:
    struct Sheet {
        std::u16string name;
        Bytes boundSheet;  // BOUNDSHEET data as read (lbPlyPos is rewritten on save)
        std::optional<Worksheet> worksheet;
        std::vector<Record> other;  // a chart, macro or dialog sheet, kept as it is
    };
    struct XfInfo {
        std::uint16_t format = 0;
        bool style = false;
    };

    Sheet& sheetAt(int position);
    const Sheet& sheetAt(int position) const;
    void validateName(const std::u16string& name, int except) const;
    std::uint16_t cellXfFor(const Worksheet& ws, std::uint16_t row, std::uint16_t col) const;
    // The code of the XF's number format when the workbook defines it (a FORMAT record).
    std::optional<std::u16string> customFormat(std::uint16_t xf) const;
    bool isDateFormat(std::uint16_t xf) const;
    bool isTextFormat(std::uint16_t xf) const;
    // Copies the sheet-local names of `from` to `to`; returns pairs of old and new 1-based name indexes.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copyLocalNames(int from, int to);
    Bytes serializeGlobals(std::vector<std::size_t>& boundSheetAt) const;

    CompoundFile container_;
    int workbookStream_ = -1;
    std::vector<Record> globals_;  // with the SST chain replaced by strings_ on save
    SharedStrings strings_;
    bool hadSst_ = false;
    std::vector<Sheet> sheets_;
    std::vector<XfInfo> xfs_;
    std::vector<std::pair<std::uint16_t, std::u16string>> formats_;
    bool date1904_ = false;
};

// Sheet names compare without regard to case.
bool sameSheetName(const std::u16string& a, const std::u16string& b);

}  // namespace xls
