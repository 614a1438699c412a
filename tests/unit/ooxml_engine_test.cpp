// The .xlsx engine on a workbook made here part by part: sheet names in formulas, the package's
// container, copies with their own local names and references, cells keeping their styles, and
// what it refuses.
#include "ooxml/PackageCheck.h"
#include "ooxml/SheetReferences.h"
#include "ooxml/SheetRows.h"
#include "ooxml/SheetText.h"
#include "ooxml/Workbook.h"
#include "ooxml/XmlParts.h"
#include "ooxml/Zip.h"
#include "pofile/TemplateCheck.h"
#include "support/CellReadings.h"
#include "xls/Error.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>

namespace {

xls::ErrorCode errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const xls::Error& e) {
        return e.code();
    }
    return xls::ErrorCode{};
}

const char* const kTypes =
    R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
    R"(</Types>)";
const char* const kRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";
const char* const kWorkbookRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";
const char* const kWorkbook =
    R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
    R"(<sheet name="Form A" sheetId="1" r:id="rId1"/><sheet name="B" sheetId="2" r:id="rId2"/></sheets>)"
    R"(<definedNames><definedName name="_xlnm.Print_Area" localSheetId="0">'Form A'!$A$1:$C$9</definedName>)"
    R"(</definedNames></workbook>)";
// A1 text in style 1, B2 a number in the date style 2, row 5 formatted with style 1, C3 a formula
// on the other sheet, D4 the start of a shared formula.
const char* const kSheet1 =
    R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<dimension ref="A1:D4"/><sheetViews><sheetView tabSelected="1" workbookViewId="0"/></sheetViews>)"
    R"(<sheetData><row r="1" spans="1:1"><c r="A1" s="1"><v>0</v></c></row><row r="2"><c r="B2" s="2"><v>1</v></c></row>)"
    R"(<row r="3"><c r="C3"><f>B!A1+'Form A'!B2</f><v>7</v></c></row>)"
    R"(<row r="4"><c r="D4"><f t="shared" ref="D4:D5" si="0">A1</f><v>0</v></c></row>)"
    R"(<row r="5" s="1" customFormat="1"/></sheetData>)"
    R"(<mergeCells count="1"><mergeCell ref="E1:F2"/></mergeCells></worksheet>)";
const char* const kSheet2 =
    R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row></sheetData></worksheet>)";
const char* const kStyles =
    R"(<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>)"
    R"(<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="49"/><xf numFmtId="164"/></cellXfs></styleSheet>)";

xls::Bytes package(const char* sheet1 = kSheet1)
{
    return ooxml::writeZip({{"[Content_Types].xml", kTypes},
                            {"_rels/.rels", kRels},
                            {"xl/workbook.xml", kWorkbook},
                            {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                            {"xl/worksheets/sheet1.xml", sheet1},
                            {"xl/worksheets/sheet2.xml", kSheet2},
                            {"xl/styles.xml", kStyles}});
}

std::string partOf(const xls::Bytes& saved, const std::string& name)
{
    for (const ooxml::ZipEntry& e : ooxml::readZip(saved))
        if (e.name == name)
            return e.data;
    return {};
}

}  // namespace

TEST(ooxml, sheet_and_table_names_in_formulas_follow_renames_and_nothing_else)
{
    const auto rename = [](const std::string& name) -> std::string {
        return name == "Form A" ? "納品情報1" : name == "B" ? "It's" : "";
    };
    EXPECT_EQ(ooxml::renameSheetReferences("'Form A'!A1+B!$C$3+SUM(B:B)", rename),
              "'納品情報1'!A1+'It''s'!$C$3+SUM(B:B)");
    EXPECT_EQ(ooxml::renameSheetReferences("\"B!A1\"&[1]B!A1&'[1]B'!A2&C!A1", rename),
              "\"B!A1\"&[1]B!A1&'[1]B'!A2&C!A1");
    EXPECT_EQ(ooxml::renameSheetReferences("SUM('Form A:B'!A1)", rename), "SUM('納品情報1:It''s'!A1)");
    // A table by its name, before its columns or alone; not a column of that name, a function, or
    // a name after a sheet's.
    const auto table = [](const std::string& name) -> std::string { return name == "Lines" ? "Lines_2" : ""; };
    EXPECT_EQ(ooxml::renameReferences("SUM(Lines[Amount])+ROWS(Lines)+Lines[[#This Row],['[Lines]]]+B!Lines+Lines(1)",
                                      rename, table),
              "SUM(Lines_2[Amount])+ROWS(Lines_2)+Lines_2[[#This Row],['[Lines]]]+'It''s'!Lines+Lines(1)");
}

TEST(ooxml, rows_read_from_the_text_read_as_their_elements_do)
{
    // The rows marked true are written plainly and are read from the text. Each of the others
    // starts plainly, then holds something only its elements tell right: character references,
    // runs, prefixes, comments, CDATA, missing or bad addresses, a repeated attribute, numbers past
    // the plain reading.
    const std::vector<std::pair<bool, std::string>> rows = {
        {true,
         "<row r=\"1\" spans=\"1:6\"><c r=\"A1\" s=\"3\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"2\"/><c "
         "r=\"C1\"><v>1.5</v></c>"
         "<c r=\"D1\" t=\"inlineStr\"><is><t>two words</t></is></c><c r=\"E1\"><f>SUM(A1:C1)</f><v>2</v></c>"
         "<c r=\"F1\" t=\"str\"><f>&quot;x&quot;</f><v>x</v></c></row>\n"},
        {true, "<row r='2'\n\tht='12'>\n <c r='B2' s='1' >\n  <v>7</v>\n </c >\n</row >"},
        {true,
         "<row r=\"3\"><c r=\"A3\"><v/></c><c r=\"B3\"><f/></c><c r=\"C3\" t=\"inlineStr\"><is><t/></is></c>"
         "<c r=\"D3\" t=\"inlineStr\"><is> <t xml:space=\"preserve\">  pad  </t> </is></c></row>"},
        {true, "<row r=\"4\"><c r=\"A4\" s=\"1\"/><c r=\"B4\" t=\"str\"><v>a&amp;b</v></c></row>"},
        {false, "<row r=\"5\"><c r=\"A5\" s=\"1\"/><c r=\"B5\" s=\"&#49;\"/></row>"},
        {true, "<row r=\"6\"><c r=\"A6\" s=\"1\"/><c r=\"B6\"><v> 12</v></c></row>"},
        {false, "<row r=\"7\"><c r=\"A7\" s=\"1\"/><c r=\"B7\" t=\"s\"><v>1x</v></c></row>"},
        {false,
         "<row r=\"8\"><c r=\"A8\" s=\"1\"/><c r=\"B8\" t=\"inlineStr\"><is><r><t>rich</t></r><r><t> "
         "text</t></r></is></c></row>"},
        {false, "<row r=\"9\"><c r=\"A9\" s=\"1\"/><c r=\"B9\" t=\"inlineStr\"><is><t>a_x0041_</t></is></c></row>"},
        {false, "<row r=\"10\"><c r=\"A10\" s=\"1\"/><c r=\"B10\" t=\"str\"><v>line\r\nend</v></c></row>"},
        {false, "<x:row r=\"11\"><x:c r=\"A11\"><x:v>3</x:v></x:c></x:row>"},
        {false, "<row r=\"12\"><c r=\"A12\" s=\"1\"/><!-- a note --><c r=\"B12\"><v>1</v></c></row>"},
        {false, "<row r=\"13\"><c r=\"A13\" s=\"1\"/><c r=\"B13\" t=\"str\"><v><![CDATA[x<y]]></v></c></row>"},
        {false, "<row><c><v>1</v></c><c r=\"C14\"/><c/></row>"},
        {false, "<row r=\"15\"><c r=\"A15\" s=\"1\"/><c r=\"XFE15\"/></row>"},
        {true, "<row r=\"16\"><c r=\"A17\" s=\"1\"/></row>"},
        {false, "<row r=\"17\"><c r=\"A17\" s=\"1\"/><c r=\"b17\"/></row>"},
        {false, "<row r=\"18\"><c r=\"A18\" s=\"1\"/><c r=\"B18\" s=\"1\" s=\"2\"/></row>"},
        {false, "<row r=\"19\"><c r=\"A19\" s=\"1\"/><c r=\"B19\" s=\"12345678901\"/></row>"},
        {false, "<row r=\"20\"><c r=\"A20\" s=\"1\"/><c r=\"B20\" t=\"s\"><v>4294967296</v></c></row>"},
        {false, "<row r=\"21\"><c r=\"A21\" s=\"1\"/><c r=\"B21\"><extLst/><v>1</v></c></row>"},
        {false, "<row r=\"22\"><c r=\"A22\" s=\"1\"/>x<c r=\"B22\"/></row>"},
        {false, "<row r=\"0\"/>"},
        {true, "<row r=\"24\"><c r=\"A24\" t=\"s\"><v>3</v></c></row>"},
        {true,
         "<row r=\"25\" s=\"4\" customFormat=\"1\"><c r=\"A25\"><f t=\"shared\" ref=\"A25:B25\" "
         "si=\"0\">A1</f></c><c r=\"B25\"><f t=\"shared\" si=\"0\"/></c></row>"},
        {true, "<row r=\"26\" customFormat=\"false\" s=\"4\"><c r=\"A26\" s=\"1\"/></row>"},
        {false, "<row r=\"27\" s=\"4\" customFormat=\"&#116;rue\"><c r=\"A27\" s=\"1\"/></row>"},
        {false, "<row r=\"28\"><c r=\"A28\"><f t=\"array\" ref=\"A28&#58;B28\">1</f></c></row>"},
    };
    const auto sheetOf = [&](bool plainOnly) {
        std::string sheet =
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:x=\"urn:x\"><sheetData>";
        for (const auto& [plain, row] : rows)
            if (plain || !plainOnly)
                sheet += row;
        return sheet + "</sheetData></worksheet>";
    };
    using testing_support::CellReading;
    using testing_support::fromElements;
    std::size_t readFromText = 0;
    const auto fromRows = [&](const std::string& sheet, const pugi::xml_document& doc, bool& failed) {
        return testing_support::fromRows(sheet, doc, failed, readFromText);
    };
    const std::string mixed = sheetOf(false), plain = sheetOf(true);
    bool failed = false;
    const std::vector<CellReading> all = fromElements(ooxml::parse(mixed, "sheet"));
    EXPECT_EQ(fromRows(mixed, ooxml::parse(mixed, "sheet"), failed), all);
    // A1 C1 D1 E1 F1 B2 A3 B3 C3 D3 B4 B6 A24 A25 B25.
    EXPECT_EQ(readFromText, 15u);
    EXPECT_EQ(all.size(), 54u);

    // With its rows left to the text, a sheet of plain rows reads the same; one of others stops at
    // the first that is not plain, to be parsed whole.
    const std::vector<CellReading> plainCells = fromElements(ooxml::parse(plain, "sheet"));
    pugi::xml_document outline;
    ASSERT_TRUE(ooxml::SheetRows::parseWithoutRows(outline, plain));
    EXPECT_EQ(fromRows(plain, outline, failed), plainCells);
    EXPECT_FALSE(failed);
    EXPECT_EQ(readFromText, 15u);
    ASSERT_TRUE(ooxml::SheetRows::parseWithoutRows(outline, mixed));
    fromRows(mixed, outline, failed);
    EXPECT_TRUE(failed);
    // Nor is a sheet taken apart where its "<sheetData>" is not the worksheet's own.
    EXPECT_FALSE(ooxml::SheetRows::parseWithoutRows(
        outline, "<worksheet><!--<sheetData>--><sheetData/><a>&lt;/sheetData></a></worksheet>"));
}

TEST(ooxml, rows_laid_out_from_their_text_render_as_rows_laid_out_from_their_elements)
{
    // The same sheet twice: written plainly, and with two spaces after each row's and cell's name,
    // which sends every row to be laid out from its elements (the sheet is then parsed whole).
    const std::string plain =
        "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<dimension ref=\"A1:C6\"/><sheetData>"
        "<row r=\"1\" spans=\"1:3\"><c r=\"A1\" s=\"1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"2\"/>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>it&apos;s</t></is></c></row><row r=\"2\"></row><row r=\"3\"/>"
        "<row r=\"4\"><c r=\"A4\" t=\"str\"><f>A1</f><v>stale</v></c><c r=\"B4\" s=\"1\"/></row>"
        "<row r=\"6\" ht=\"12\"><c r=\"B6\" s=\"3\"><v>2</v></c></row>"
        "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells></worksheet>";
    std::string spaced = plain;
    for (const std::string name : {"<c ", "<row "})
        for (std::size_t at = 0; (at = spaced.find(name, at)) != std::string::npos; at += name.size() + 1)
            spaced.insert(at + name.size(), " ");
    const auto number = [](double n) { return ooxml::CellRead{ooxml::CellRead::Kind::Number, n, {}, 0}; };
    const auto text = [](std::u16string t) { return ooxml::CellRead{ooxml::CellRead::Kind::Text, 0, t, 0}; };
    const auto at = [](std::uint32_t row, std::uint32_t col) { return ooxml::CellKey{row} << 14 | col; };
    // Into a cell with a value, an empty one, past a row's last cell, rows without cells, a row
    // the sheet lacks, and before a row's first cell.
    const std::map<ooxml::CellKey, ooxml::CellRead> written = {
        {at(0, 0), number(5)}, {at(0, 1), text(u"a<b")}, {at(0, 3), number(1)}, {at(1, 0), text(u"x")},
        {at(2, 1), number(3)}, {at(4, 1), text(u"new")}, {at(5, 0), number(4)}};
    const auto render = [&](const std::string& sheet) {
        auto doc = std::make_unique<pugi::xml_document>();
        EXPECT_TRUE(ooxml::SheetRows::parseWithoutRows(*doc, sheet));
        const ooxml::SheetText laid(std::move(doc), sheet, "sheet", {});
        return std::make_pair(laid.render(written, false, {}), laid.render({}, true, {}));
    };
    const auto [fromText, unwrittenFromText] = render(plain);
    const auto [fromElements, unwrittenFromElements] = render(spaced);
    // The rows that could be were laid out from their text as it stands.
    EXPECT_NE(fromText.find("<t>it&apos;s</t>"), std::string::npos);
    EXPECT_EQ(fromElements.find("&apos;"), std::string::npos);
    const auto canonical = [](const std::string& xml) { return ooxml::serialize(ooxml::parse(xml, "sheet")); };
    EXPECT_EQ(canonical(fromText), canonical(fromElements));
    EXPECT_EQ(canonical(unwrittenFromText), canonical(unwrittenFromElements));
    EXPECT_EQ(fromText.find("stale"), std::string::npos);
}

TEST(ooxml, a_damaged_or_foreign_container_is_refused_before_anything_is_unpacked)
{
    const xls::Bytes good = package();
    const xls::Bytes truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
    EXPECT_EQ(errorOf([&] { ooxml::Workbook::fromBytes(truncated); }), xls::ErrorCode::DamagedPackage);
    const xls::Bytes text = {'P', 'K', 3, 4, 'x'};
    EXPECT_EQ(errorOf([&] { ooxml::Workbook::fromBytes(text); }), xls::ErrorCode::DamagedPackage);
    // A package without its workbook part, and one whose sheet has no part.
    const xls::Bytes noWorkbook = ooxml::writeZip({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRels}});
    EXPECT_EQ(errorOf([&] { ooxml::Workbook::fromBytes(noWorkbook); }), xls::ErrorCode::DamagedPackage);
}

TEST(ooxml, copies_keep_styles_take_local_names_and_point_at_each_other)
{
    ooxml::Workbook book = ooxml::Workbook::fromBytes(package());
    EXPECT_TRUE(book.cellShowsDates(1, "B2"));
    EXPECT_FALSE(book.cellShowsDates(1, "A1"));
    EXPECT_EQ(book.copySheetsToEnd({1, 2}), (std::vector<int>{3, 4}));
    EXPECT_EQ(book.sheetName(3), u"Form A (2)");
    book.renameSheet(1, u"納品情報1");
    book.renameSheet(3, u"納品情報2");
    book.renameSheet(4, u"PO2");
    EXPECT_EQ(errorOf([&] { book.renameSheet(4, u"po2"); }), xls::ErrorCode{});
    EXPECT_EQ(errorOf([&] { book.renameSheet(2, u"納品情報2"); }), xls::ErrorCode::DuplicateSheetName);

    book.setCell(3, "A1", xls::CellValue::fromText(u"00123"));         // text style: stays text
    book.setCell(3, "B2", xls::CellValue::fromDate(2026, 1, 15));      // date style: a serial
    book.setCell(3, "B3", xls::CellValue::fromText(u"12.5"));          // a new cell before one held
    book.setCell(3, "A5", xls::CellValue::fromText(u"a\x01_x0041_"));  // a new cell in a formatted row
    book.setCell(3, "Z9", xls::CellValue::fromNumber(-3.25));          // a new row
    book.setCell(3, "C1", xls::CellValue::empty());                    // no cell: stays none
    EXPECT_EQ(errorOf([&] { book.setCell(3, "D4", xls::CellValue::fromNumber(1)); }), xls::ErrorCode::FormulaCell);

    const xls::Bytes saved = book.saveToBytes();
    EXPECT_EQ(book.verify(saved), std::vector<std::string>{});
    EXPECT_EQ(ooxml::checkPackage(saved), std::vector<std::string>{});

    const ooxml::Workbook back = ooxml::Workbook::fromBytes(saved);
    ASSERT_EQ(back.sheetCount(), 4);
    EXPECT_EQ(back.cellAsOpened(3, "A1").text, u"00123");
    EXPECT_EQ(back.cellAsOpened(3, "A1").style, 1);
    EXPECT_EQ(back.cellAsOpened(3, "B2").number, 46037);
    EXPECT_EQ(back.cellAsOpened(3, "A5").text, u"a\x01_x0041_");
    EXPECT_EQ(back.cellAsOpened(3, "A5").style, 1);
    EXPECT_EQ(back.cellAsOpened(3, "Z9").number, -3.25);
    EXPECT_EQ(back.cellAsOpened(1, "A1").kind, ooxml::CellRead::Kind::Number);  // the source untouched

    // The copy's references to the sheets copied with it point at their copies; the original's
    // follow the renames; only the first sheet is selected; each copy has its own print area.
    const std::string copy = partOf(saved, "xl/worksheets/sheet3.xml");
    EXPECT_NE(copy.find("<f>'po2'!A1+'納品情報2'!B2</f>"), std::string::npos) << copy;
    EXPECT_EQ(copy.find("tabSelected"), std::string::npos);
    const std::string original = partOf(saved, "xl/worksheets/sheet1.xml");
    EXPECT_NE(original.find("<f>B!A1+'納品情報1'!B2</f>"), std::string::npos) << original;
    const std::string workbook = partOf(saved, "xl/workbook.xml");
    EXPECT_NE(workbook.find(R"(localSheetId="2">'納品情報2'!$A$1:$C$9<)"), std::string::npos) << workbook;
    EXPECT_NE(workbook.find(R"(fullCalcOnLoad="1")"), std::string::npos);
}

// The saved bytes edited afterwards: the self-check must find each change.
TEST(ooxml, the_self_check_finds_what_the_saved_bytes_do_not_hold)
{
    ooxml::Workbook book = ooxml::Workbook::fromBytes(package());
    book.setCell(1, "A1", xls::CellValue::fromText(u"00123"));
    book.setCell(1, "B2", xls::CellValue::fromNumber(12.5));
    const xls::Bytes saved = book.saveToBytes();
    ASSERT_EQ(book.verify(saved), std::vector<std::string>{});
    const auto edited = [&](const std::string& from, const std::string& to) {
        std::vector<ooxml::ZipEntry> entries = ooxml::readZip(saved);
        for (ooxml::ZipEntry& e : entries)
            if (e.name == "xl/worksheets/sheet1.xml") {
                const std::size_t at = e.data.find(from);
                EXPECT_NE(at, std::string::npos) << from << " in " << e.data;
                if (at != std::string::npos)
                    e.data.replace(at, from.size(), to);
            }
        return book.verify(ooxml::writeZip(entries));
    };
    const auto says = [](const std::vector<std::string>& found, const std::string& words) {
        return std::any_of(found.begin(), found.end(),
                           [&](const std::string& d) { return d.find(words) != std::string::npos; });
    };
    EXPECT_TRUE(
        says(edited("<v>12.5</v>", "<v>12.25</v>"), "cell B2 holds the number 12.25 (style 2), not the number 12.5"));
    EXPECT_TRUE(says(edited("<t>00123</t>", "<t>0123</t>"), "cell A1 holds the text \"0123\""));
    EXPECT_TRUE(says(edited(R"(<c r="B2")", R"(<c r="C2")"), "cell B2 holds no cell"));
    EXPECT_TRUE(says(edited(R"(<row r="5")", R"(<row r="5"><c r="E5"><v>1</v></c></row><row r="6")"),
                     "cell E5 holds the number 1 (style 0), which nothing wrote"));
    EXPECT_TRUE(
        says(edited(R"(<c r="B2" s="2"><v>12.5</v></c>)", R"(<c r="C2"><v>3</v></c><c r="B2" s="2"><v>12.5</v></c>)"),
             "cell B2 out of order"));
}

// A table on a form: each copy has a table of its own, and the copy's formulas total its own.
TEST(ooxml, a_copy_has_its_own_table_and_its_formulas_name_it)
{
    const std::string ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
    const std::string sheet =
        R"(<worksheet)" + ns + R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)" +
        R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>Amount</t></is></c></row>)" +
        R"(<row r="2"><c r="A2"><v>5</v></c></row><row r="4"><c r="A4"><f>SUM(Lines[Amount])</f></c></row>)" +
        R"(</sheetData><tableParts count="1"><tablePart r:id="rId1"/></tableParts></worksheet>)";
    const std::string table = R"(<table)" + ns +
                              R"( id="1" name="Lines" displayName="Lines" ref="A1:B2"><tableColumns count="2">)" +
                              R"(<tableColumn id="1" name="Amount"/><tableColumn id="2" name="Twice">)" +
                              R"(<calculatedColumnFormula>Lines[[#This Row],[Amount]]*2</calculatedColumnFormula>)" +
                              R"(</tableColumn></tableColumns></table>)";
    std::string types = kTypes;
    types.insert(types.find("</Types>"),
                 R"(<Override PartName="/xl/tables/table1.xml" )"
                 R"(ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"/>)");
    const xls::Bytes bytes = ooxml::writeZip(
        {{"[Content_Types].xml", types},
         {"_rels/.rels", kRels},
         {"xl/workbook.xml", kWorkbook},
         {"xl/_rels/workbook.xml.rels", kWorkbookRels},
         {"xl/worksheets/sheet1.xml", sheet},
         {"xl/worksheets/_rels/sheet1.xml.rels",
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/table" )"
          R"(Target="../tables/table1.xml"/></Relationships>)"},
         {"xl/tables/table1.xml", table},
         {"xl/worksheets/sheet2.xml", kSheet2},
         {"xl/styles.xml", kStyles}});

    ooxml::Workbook book = ooxml::Workbook::fromBytes(bytes);
    book.copySheetsToEnd({1, 2});
    book.setCell(3, "A2", xls::CellValue::fromNumber(7));
    const xls::Bytes saved = book.saveToBytes();
    EXPECT_EQ(book.verify(saved), std::vector<std::string>{});
    EXPECT_NE(partOf(saved, "xl/worksheets/sheet1.xml").find("<f>SUM(Lines[Amount])</f>"), std::string::npos);
    EXPECT_NE(partOf(saved, "xl/worksheets/sheet3.xml").find("<f>SUM(Lines_2[Amount])</f>"), std::string::npos);
    const std::string copied = partOf(saved, "xl/tables/table2.xml");
    EXPECT_NE(copied.find(R"(id="2" name="Lines_2" displayName="Lines_2")"), std::string::npos) << copied;
    EXPECT_NE(copied.find("Lines_2[[#This Row],[Amount]]*2"), std::string::npos) << copied;
}

// A writer that prefixes its elements, indents them and leaves out references: cells written keep
// the writer's prefix, what a cell holds besides its value, and the rest of the text as it was.
TEST(ooxml, a_sheet_in_another_writers_dialect_is_written_in_that_dialect)
{
    const char* const sheet =
        "<?xml version=\"1.0\"?>\n<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">\n"
        "  <x:dimension ref=\"A1:B2\"/>\n  <x:sheetData>\n"
        "    <x:row><x:c s=\"1\"><x:v>0</x:v><x:extLst><x:ext "
        "uri=\"u\"/></x:extLst></x:c><x:c><x:f>1+1</x:f><x:v>2</x:v></x:c></x:row>\n"
        "    <x:row spans=\"1:2\"><x:c r=\"B2\" s=\"2\"/></x:row>\n"
        "  </x:sheetData>\n</x:worksheet>\n";
    ooxml::Workbook book = ooxml::Workbook::fromBytes(package(sheet));
    book.setCell(1, "A1", xls::CellValue::fromText(u" a<b "));
    book.setCell(1, "A2", xls::CellValue::fromNumber(5));
    book.setCell(1, "C4", xls::CellValue::fromNumber(6));
    const xls::Bytes saved = book.saveToBytes();
    EXPECT_EQ(book.verify(saved), std::vector<std::string>{});

    const std::string text = partOf(saved, "xl/worksheets/sheet1.xml");
    EXPECT_NE(text.find("<x:c s=\"1\" r=\"A1\" t=\"inlineStr\"><x:is><x:t xml:space=\"preserve\"> a&lt;b </x:t></x:is>"
                        "<x:extLst><x:ext uri=\"u\"/></x:extLst></x:c><x:c r=\"B1\"><x:f>1+1</x:f></x:c>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<x:row r=\"2\"><x:c r=\"A2\"><x:v>5</x:v></x:c><x:c r=\"B2\" s=\"2\"/></x:row>\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<x:row r=\"4\"><x:c r=\"C4\"><x:v>6</x:v></x:c></x:row></x:sheetData>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<x:dimension ref=\"A1:C4\"/>"), std::string::npos) << text;
}

TEST(ooxml, what_cannot_be_kept_right_is_refused_with_what_to_do)
{
    // A workbook saved under a password is a compound file holding the encrypted package.
    xls::Bytes compound = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    EXPECT_EQ(errorOf([&] { ooxml::Workbook::fromBytes(compound); }), xls::ErrorCode::Encrypted);

    std::string strictRels = kRels;
    strictRels.replace(strictRels.find("http://schemas.openxmlformats.org/officeDocument/2006/relationships"), 66,
                       "http://purl.oclc.org/ooxml/officeDocument/relationships");
    const xls::Bytes strict = ooxml::writeZip({{"[Content_Types].xml", kTypes}, {"_rels/.rels", strictRels}});
    EXPECT_EQ(errorOf([&] { ooxml::Workbook::fromBytes(strict); }), xls::ErrorCode::Unsupported);

    // A form cell inside an array formula.
    std::string array = kSheet1;
    array.replace(array.find("<f>B!A1"), 7, R"(<f t="array" ref="C3:C4">B!A1)");
    ooxml::Workbook book = ooxml::Workbook::fromBytes(package(array.c_str()));
    EXPECT_EQ(errorOf([&] { book.setCell(1, "C4", xls::CellValue::fromNumber(1)); }), xls::ErrorCode::FormulaCell);
    EXPECT_EQ(tolvar::form::templateFormat(package()), tolvar::form::TemplateFormat::OfficeOpenXml);
}
