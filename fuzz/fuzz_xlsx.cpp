// Fuzz target: the whole purchase-order form on any Office Open XML workbook the engine accepts.
// Both forms copied for three pages, every form cell written, saved, and the saved bytes read back
// by the self-check and the package checker: on an input the engine accepts whose own package the
// checker finds whole, neither may find anything. (A damaged package's flaws come with the copies:
// the self-check refuses that workbook, which is the answer wanted.) An input that is not a zip
// is taken for a worksheet's XML and made both sheets of a workbook, so that the sheets' own text
// is mutated directly.
#include "ooxml/PackageCheck.h"
#include "ooxml/Workbook.h"
#include "ooxml/Zip.h"
#include "pofile/TemplateCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

xls::Bytes workbookOf(const std::string& sheet)
{
    const std::string worksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    const std::string relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return ooxml::writeZip(
        {{"[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Override PartName=\"/xl/workbook.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
          "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" +
              worksheet + "\"/><Override PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"" + worksheet +
              "\"/></Types>"},
         {"_rels/.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"" +
              relationships + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
         {"xl/workbook.xml",
          "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
          "xmlns:r=\"" +
              relationships +
              "\"><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
              "<sheet name=\"B\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"},
         {"xl/_rels/workbook.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"" +
              relationships + "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
              relationships + "/worksheet\" Target=\"worksheets/sheet2.xml\"/></Relationships>"},
         {"xl/worksheets/sheet1.xml", sheet},
         {"xl/worksheets/sheet2.xml", sheet}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    xls::Bytes made;
    if (!ooxml::looksLikeZip(xls::ByteView(data, size))) {
        made = workbookOf(std::string(reinterpret_cast<const char*>(data), size));
        data = made.data();
        size = made.size();
    }
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
