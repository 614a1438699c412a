// Fuzz target: the whole purchase-order form on any workbook the engine accepts. Both forms copied
// for three pages, every form cell written, saved, and the saved bytes read back by the
// self-check: on an input the engine accepts, the self-check must never find a difference.
#include "pofile/TemplateCheck.h"
#include "xls/Workbook.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    xls::Workbook book;
    try {
        book = xls::Workbook::fromBytes(xls::ByteView(data, size));
        // Any workbook with two worksheets stands in for the forms.
        if (book.sheetCount() < 2)
            return 0;
        book.renameSheet(1, u"海外納品情報");
        book.renameSheet(2, u"Purchase Order");
        tolvar::form::fillTrialForm(book, 3);
    } catch (const xls::Error&) {
        return 0;  // refused: that is an answer
    }
    const xls::Bytes saved = book.saveToBytes();
    const std::vector<std::string> differences = book.verify(saved);
    for (const std::string& d : differences)
        std::fprintf(stderr, "self-check: %s\n", d.c_str());
    if (!differences.empty())
        std::abort();
    return 0;
}
