// ExternSheets: the workbook's list of sheet references (EXTERNSHEET's XTIs) with its own SUPBOOK,
// through which 3-D references in formulas name sheets: finds the XTI of one of the workbook's
// own sheets, adds one when there is none, and tells which sheet an XTI names alone.
#pragma once

#include "xls/Record.h"

#include <optional>
#include <vector>

namespace xls {

class ExternSheets {
public:
    // Throws Unsupported for an EXTERNSHEET continued over records.
    explicit ExternSheets(std::vector<Record>& globals);

    // The XTI that names the sheet (0-based) alone, or -1.
    int find(int sheet) const;
    // The same, added at the end of the list when there is none; throws Unsupported when the
    // workbook has no list of its own to add to.
    int findOrAdd(int sheet);
    // The sheet (0-based) that the XTI names alone, when it names one of this workbook's.
    std::optional<int> soleSheet(int xti) const;

private:
    Record* record_ = nullptr;
    int selfBook_ = -1;
};

}  // namespace xls
