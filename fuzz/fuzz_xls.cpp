// Fuzz target: open a workbook from bytes, copy its first sheet, rename the copy, write cells,
// save, and open the saved bytes again. Every input must end in a result or an xls::Error.
#include "xls/Workbook.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        xls::Workbook wb = xls::Workbook::fromBytes(xls::ByteView(data, size));
        try {
            const int copy = wb.copySheetToEnd(1);
            wb.renameSheet(copy, u"納品情報2");
            wb.setCell(copy, "B34", xls::CellValue::fromText(u"ITM-001"));
            wb.setCell(copy, "AR34", xls::CellValue::fromText(u"12.5"));
            wb.setCell(copy, "BC3", xls::CellValue::fromDate(2024, 1, 5));
            wb.setCell(copy, "A1", xls::CellValue::empty());
        } catch (const xls::Error&) {
        }
        const xls::Bytes saved = wb.saveToBytes();
        // What the engine writes it must read back.
        xls::Workbook again = xls::Workbook::fromBytes(saved);
        if (again.sheetCount() != wb.sheetCount())
            std::abort();
    } catch (const xls::Error&) {
    }
    return 0;
}
