// Fuzz target: the whole purchase-order form on any Office Open XML workbook the engine accepts.
// Both forms copied for three pages, every form cell written, saved, and the saved bytes read back
// by the self-check and the package checker: on an input the engine accepts whose own package the
// checker finds whole, neither may find anything. (A damaged package's flaws come with the copies:
// the self-check refuses that workbook, which is the answer wanted.)
#include "ooxml/PackageCheck.h"
#include "ooxml/Workbook.h"
#include "pofile/TemplateCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!ooxml::checkPackage(xls::ByteView(data, size)).empty())
        return 0;
    std::optional<ooxml::Workbook> book;
    try {
        book = ooxml::Workbook::fromBytes(xls::ByteView(data, size));
        // Any workbook with two worksheets stands in for the forms.
        if (book->sheetCount() < 2)
            return 0;
        book->renameSheet(1, u"海外納品情報");
        book->renameSheet(2, u"Purchase Order");
        tolvar::form::fillTrialForm(*book, 3);
    } catch (const xls::Error&) {
        return 0;  // refused: that is an answer
    }
    // A template whose own XML is damaged in a part the form rewrites is refused on saving.
    xls::Bytes saved;
    try {
        saved = book->saveToBytes();
    } catch (const xls::Error&) {
        return 0;
    }
    const std::vector<std::string> differences = book->verify(saved);
    for (const std::string& d : differences)
        std::fprintf(stderr, "self-check: %s\n", d.c_str());
    if (!differences.empty())
        std::abort();
    return 0;
}
