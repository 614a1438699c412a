// Fuzz target: a worksheet's rows as SheetRows reads them, against the cells its parsed elements
// give. The input is a worksheet's XML, or a workbook whose worksheets are each taken. Read from
// the document parsed whole (plain rows from the text, the others from their elements), every cell
// must read as its elements give it. Read from the text alone (the document parsed without its
// rows), the rows must either read the same or stop at one that is not plain; and never may the
// text alone be read whole where the document itself is not well-formed.
#include "ooxml/SheetRows.h"
#include "ooxml/XmlParts.h"
#include "ooxml/Zip.h"
#include "support/CellReadings.h"
#include "xls/Error.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void check(const std::string& sheet)
{
    pugi::xml_document whole;
    bool wellFormed = true;
    try {
        ooxml::parseInto(whole, sheet, "sheet");
    } catch (const xls::Error&) {
        wellFormed = false;
    }
    bool failed = false;
    std::size_t fromText = 0;
    std::vector<testing_support::CellReading> expected;
    if (wellFormed) {
        expected = testing_support::fromElements(whole);
        if (testing_support::fromRows(sheet, whole, failed, fromText) != expected)
            fail("the rows read otherwise than their elements");
    }
    pugi::xml_document outline;
    if (!ooxml::SheetRows::parseWithoutRows(outline, sheet))
        return;
    const std::vector<testing_support::CellReading> rows = testing_support::fromRows(sheet, outline, failed, fromText);
    if (failed)
        return;
    if (!wellFormed)
        fail("rows read from the text of a sheet that is not well-formed");
    if (rows != expected)
        fail("the rows read from the text alone otherwise than their elements");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const xls::ByteView bytes(data, size);
    if (!ooxml::looksLikeZip(bytes)) {
        check(std::string(reinterpret_cast<const char*>(data), size));
        return 0;
    }
    try {
        for (const ooxml::ZipEntry& e : ooxml::readZip(bytes))
            if (e.name.find("worksheets/") != std::string::npos && e.name.ends_with(".xml"))
                check(e.data);
    } catch (const xls::Error&) {
    }
    return 0;
}
