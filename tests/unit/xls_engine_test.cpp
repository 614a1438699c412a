// The workbook engine on its own: cell addresses, value rules, dates, sheet names, cell writes and
// damaged input.
#include "unit/XlsTestSupport.h"
#include "xls/CellValue.h"
#include "xls/CompoundFile.h"
#include "xls/Record.h"
#include "xls/Workbook.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <set>

using namespace xls;
using tolvar::test::codeOf;
using tolvar::test::xlsBytes;

namespace {

// The records of a sheet's substream in the saved workbook.
std::vector<Record> sheetRecords(const Bytes& file, int position)
{
    const CompoundFile cf = CompoundFile::parse(file);
    const std::vector<Record> all = parseRecords(cf.stream(cf.findRootStream(u"Workbook")));
    int seen = 0;
    std::vector<Record> out;
    int depth = 0;
    for (const Record& r : all) {
        if (r.type == rt::Bof && depth++ == 0)
            ++seen;
        if (seen == position + 1)
            out.push_back(r);
        if (r.type == rt::Eof)
            --depth;
    }
    return out;
}

const Record* findCell(const std::vector<Record>& records, std::uint16_t row, std::uint16_t col)
{
    for (const Record& r : records)
        if (isCellRecord(r.type) && r.type != rt::MulRk && r.type != rt::MulBlank && u16(r.data, 0) == row &&
            u16(r.data, 2) == col)
            return &r;
    return nullptr;
}

}  // namespace

TEST(xls_cell_address, parses_the_form_addresses)
{
    const std::tuple<const char*, int, int> rows[] = {{"A1", 0, 0},     {"I3", 2, 8},     {"AY34", 33, 50},
                                                      {"BC57", 56, 54}, {"BJ11", 10, 61}, {"IV65536", 65535, 255}};
    for (const auto& [text, row, col] : rows) {
        const CellAddress a = CellAddress::parse(text);
        EXPECT_EQ(a.row, row) << text;
        EXPECT_EQ(a.col, col) << text;
    }
    for (const char* bad : {"", "A", "1", "A0", "a1", "IW1", "A65537", "A01", "AAAA1", "A1 ", "$A$1"})
        EXPECT_EQ(codeOf([&] { CellAddress::parse(bad); }), ErrorCode::InvalidCellAddress) << bad;
}

TEST(xls_values, plain_decimal_text_becomes_a_number_and_nothing_else_does)
{
    for (const char16_t* yes :
         {u"0", u"12", u"-5", u"0.5", u"1500.5", u"33.3333", u"123456789012345", u"0.000000000000001"})
        EXPECT_TRUE(isPlainDecimal(yes));
    for (const char16_t* no : {u"", u"00123", u"01", u"1/3", u"2024/01/05", u"1,234", u"1E5", u"+1", u".5", u"5.",
                               u" 1", u"1 ", u"１２", u"1234567890123456", u"-", u"--1"})
        EXPECT_FALSE(isPlainDecimal(no));
}

TEST(xls_values, date_serials_in_both_systems)
{
    EXPECT_EQ(dateSerial(1900, 1, 1, false), 1);
    EXPECT_EQ(dateSerial(1900, 2, 28, false), 59);
    EXPECT_EQ(dateSerial(1900, 3, 1, false), 61);  // 60 is the 29 February 1900 that never was
    EXPECT_EQ(dateSerial(2024, 1, 15, false), 45306);
    EXPECT_EQ(dateSerial(1904, 1, 1, true), 0);
    EXPECT_EQ(dateSerial(2024, 1, 15, true), 45306 - 1462);
    EXPECT_EQ(codeOf([] { dateSerial(2024, 13, 1, false); }), ErrorCode::InvalidValue);
}

TEST(xls_workbook, sheets_by_position_and_name_and_the_naming_rules)
{
    Workbook wb = Workbook::fromBytes(xlsBytes("poi-DrawingAndComments.xls"));
    ASSERT_EQ(wb.sheetCount(), 3);
    EXPECT_EQ(wb.sheetName(1), u"Sheet1");
    EXPECT_EQ(wb.sheetPosition(u"sHEET2"), 2);
    EXPECT_EQ(codeOf([&] { wb.sheetPosition(u"none"); }), ErrorCode::SheetNotFound);
    EXPECT_EQ(codeOf([&] { wb.sheetName(4); }), ErrorCode::SheetNotFound);
    const int copy = wb.copySheetToEnd(1);
    EXPECT_EQ(copy, 4);
    EXPECT_EQ(wb.sheetName(4), u"Sheet1 (2)");
    for (const char16_t* bad :
         {u"", u"a:b", u"a\\b", u"a/b", u"a?", u"a*", u"[a", u"a]", u"'a", u"a'", u"12345678901234567890123456789012"})
        EXPECT_EQ(codeOf([&] { wb.renameSheet(copy, bad); }), ErrorCode::InvalidSheetName);
    EXPECT_EQ(codeOf([&] { wb.renameSheet(copy, u"SHEET2"); }), ErrorCode::DuplicateSheetName);
    wb.renameSheet(copy, u"納品情報12");
    wb.renameSheet(copy, u"納品情報12");  // its own name again is fine
    EXPECT_EQ(wb.sheetPosition(u"納品情報12"), 4);
    const Workbook again = Workbook::fromBytes(wb.saveToBytes());
    EXPECT_EQ(again.sheetName(4), u"納品情報12");
}

TEST(xls_workbook, cell_writes_keep_formats_and_split_runs)
{
    // 12561-1 holds MULRK and MULBLANK runs.
    Workbook wb = Workbook::fromBytes(xlsBytes("poi-12561-1.xls"));
    const Bytes before = wb.saveToBytes();
    const std::vector<Record> original = sheetRecords(before, 1);
    const Record* run = nullptr;
    for (const Record& r : original)
        if (r.type == rt::MulBlank && u16(r.data, r.data.size() - 2) - u16(r.data, 2) >= 2)
            run = &r;
    ASSERT_NE(run, nullptr);
    const std::uint16_t row = u16(run->data, 0), first = u16(run->data, 2);
    const std::uint16_t xf = u16(run->data, 4 + 2);  // the XF of the run's second cell
    std::string address;
    for (std::uint32_t c = first + 1u + 1;;) {  // column letters of first + 1
        address.insert(address.begin(), static_cast<char>('A' + (c - 1) % 26));
        c = (c - 1) / 26;
        if (!c)
            break;
    }
    address += std::to_string(row + 1);
    wb.setCell(1, address, CellValue::fromText(u"書込"));
    wb.setCell(1, "Z300", CellValue::fromText(u"00123"));
    wb.setCell(1, "Y300", CellValue::fromText(u"1500.5"));
    const std::vector<Record> after = sheetRecords(wb.saveToBytes(), 1);
    const Record* written = findCell(after, row, static_cast<std::uint16_t>(first + 1));
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->type, rt::LabelSst);
    EXPECT_EQ(u16(written->data, 4), xf);
    // The left part of the run is one cell now: a BLANK of its own.
    const Record* left = findCell(after, row, first);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->type, rt::Blank);
    const Record* text = findCell(after, 299, 25);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->type, rt::LabelSst);
    const Record* number = findCell(after, 299, 24);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->type, rt::Number);
    EXPECT_EQ(f64(number->data, 6), 1500.5);
    for (const Record& r : after) {
        if (r.type == rt::Dimensions) {
            EXPECT_GE(u32(r.data, 4), 300u);
        }
    }
}

TEST(xls_compound_file, reads_4096_byte_sectors_and_the_mini_stream)
{
    for (const char* name : {"poi-SimpleWithImages.xls", "sheetjs-defined_names_unicode.xls"}) {
        const Bytes original = xlsBytes(name);
        const CompoundFile v3 = CompoundFile::parse(original);
        const Bytes v4bytes = v3.serialize(12);
        EXPECT_EQ(u16(v4bytes, 0x1A), 4);
        EXPECT_EQ(v4bytes.size() % 4096, 0u);
        const CompoundFile v4 = CompoundFile::parse(v4bytes);
        // Every stream, the small ones in the mini stream included, reads back the same.
        for (const std::u16string& stream : {std::u16string(u"Workbook"), std::u16string(u"\x05SummaryInformation")}) {
            const int a = v3.findRootStream(stream), b = v4.findRootStream(stream);
            ASSERT_EQ(a < 0, b < 0) << name;
            if (a >= 0) {
                EXPECT_EQ(v3.stream(a), v4.stream(b)) << name;
            }
        }
        const Workbook wb = Workbook::fromBytes(v4bytes);
        EXPECT_EQ(wb.sheetCount(), Workbook::fromBytes(original).sheetCount());
    }
}

// One writer states a mini stream size far beyond what the mini stream's chain holds; the readers
// take the chain as it is. A small stream that reaches past the chain is still damage.
TEST(xls_compound_file, a_mini_stream_stated_larger_than_its_chain_is_read_as_it_is)
{
    // A summary of 300 bytes goes into the mini stream: five mini sectors in one sector.
    CompoundFile small = CompoundFile::parse(xlsBytes("poi-SimpleWithImages.xls"));
    const int summary = small.findRootStream(u"\x05SummaryInformation");
    ASSERT_GT(summary, 0);
    Bytes text(300);
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<std::uint8_t>(i * 7);
    small.setStream(summary, text);
    const Bytes good = small.serialize();
    const std::size_t directory = (static_cast<std::size_t>(u32(good, 0x30)) + 1) * 512;
    const CompoundFile original = CompoundFile::parse(good);
    ASSERT_EQ(original.stream(summary), text);

    Bytes overstated = good;
    set32(overstated, directory + 120, static_cast<std::uint32_t>(good.size()));
    const CompoundFile read = CompoundFile::parse(overstated);
    EXPECT_EQ(read.stream(summary), original.stream(summary));
    EXPECT_EQ(read.stream(read.findRootStream(u"Workbook")), original.stream(original.findRootStream(u"Workbook")));
    // Written again, the mini stream's size is its own.
    const Bytes again = read.serialize();
    EXPECT_EQ(u32(again, (static_cast<std::size_t>(u32(again, 0x30)) + 1) * 512 + 120), u32(good, directory + 120));

    // The summary's size raised past the chain: what the chain holds is not enough.
    Bytes past = overstated;
    set32(past, directory + 128 * static_cast<std::size_t>(summary) + 120, 600);
    EXPECT_EQ(codeOf([&] { CompoundFile::parse(past); }), ErrorCode::DamagedCompoundFile);
}

// A stream taken out of the root: gone from a reader's view, every other stream found and whole.
TEST(xls_compound_file, a_removed_stream_leaves_the_others_reachable)
{
    const CompoundFile original = CompoundFile::parse(xlsBytes("poi-SimpleWithImages.xls"));
    const std::u16string names[] = {u"Workbook", u"\x05SummaryInformation", u"\u0005DocumentSummaryInformation"};
    for (const std::u16string& gone : names) {
        CompoundFile cf = original;
        cf.removeRootEntry(cf.findRootStream(gone));
        const CompoundFile read = CompoundFile::parse(cf.serialize());
        EXPECT_EQ(read.findRootStream(gone), -1);
        EXPECT_FALSE(read.hasEntry(gone));
        for (const std::u16string& kept : names) {
            if (kept == gone)
                continue;
            ASSERT_GE(read.findRootStream(kept), 0);
            EXPECT_EQ(read.stream(read.findRootStream(kept)), original.stream(original.findRootStream(kept)));
        }
    }
    CompoundFile cf = original;
    EXPECT_EQ(codeOf([&] { cf.removeRootEntry(0); }), ErrorCode::Unsupported);
}

TEST(xls_workbook, refuses_what_it_cannot_keep_intact)
{
    EXPECT_EQ(codeOf([] { Workbook::fromBytes(Bytes(600, 0)); }), ErrorCode::NotCompoundFile);
    EXPECT_EQ(codeOf([] { Workbook::fromBytes(Bytes()); }), ErrorCode::NotCompoundFile);
    Workbook wb = Workbook::fromBytes(xlsBytes("poi-WithConditionalFormatting.xls"));
    EXPECT_EQ(codeOf([&] { wb.setCell(1, "A1", CellValue::fromNumber(1.0 / 0.0)); }), ErrorCode::InvalidValue);
}

namespace {

// A stream from records, each BOUNDSHEET pointing at its sheet's BOF.
Bytes joinRecords(std::vector<Record> records)
{
    std::vector<std::uint32_t> sheetStarts;
    std::size_t at = 0;
    int depth = 0;
    for (const Record& r : records) {
        if (r.type == rt::Bof && depth++ == 0 && at > 0)
            sheetStarts.push_back(static_cast<std::uint32_t>(at));
        if (r.type == rt::Eof)
            --depth;
        at += 4 + r.data.size();
    }
    std::size_t k = 0;
    Bytes out;
    for (Record& r : records) {
        if (r.type == rt::BoundSheet)
            set32(r.data, 0, sheetStarts.at(k++));
        appendRecord(out, r.type, r.data);
    }
    return out;
}

// poi-DrawingAndComments.xls with what ties a workbook to a VBA project: OBPROJ and code names, the
// name of a VBA macro run on opening, a shape that runs a macro (FtMacro after the first OBJ's
// FtCmo). With `project`, in the container of Excel 97's Test97J.xls, which holds a VBA project.
Bytes withMacroRecords(bool project, Bytes* objBefore = nullptr)
{
    const CompoundFile drawing = CompoundFile::parse(xlsBytes("poi-DrawingAndComments.xls"));
    std::vector<Record> records = parseRecords(drawing.stream(drawing.findRootStream(u"Workbook")));
    auto codeName = [](const std::string& name) {
        Bytes d{static_cast<std::uint8_t>(name.size()), 0, 0};
        d.insert(d.end(), name.begin(), name.end());
        return Record{rt::CodeName, d};
    };
    const std::string macro = "Auto_Open";
    Bytes lbl{0x0C, 0x00, 0, static_cast<std::uint8_t>(macro.size()), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    lbl.insert(lbl.end(), macro.begin(), macro.end());
    const auto group =
        std::find_if(records.begin(), records.end(), [](const Record& r) { return r.type == rt::MsoDrawingGroup; });
    records.insert(group, {Record{0x00D3, {}}, codeName("ThisWorkbook"), Record{rt::Name, lbl}});
    Record& obj = *std::find_if(records.begin(), records.end(), [](const Record& r) { return r.type == rt::Obj; });
    if (objBefore)
        *objBefore = obj.data;
    const Bytes ftMacro{0x04, 0x00, 0x0C, 0x00, 0x05, 0x00, 0, 0, 0, 0, 0x43, 0x01, 0x00, 0x00, 0x00, 0x00};
    obj.data.insert(obj.data.begin() + 22, ftMacro.begin(), ftMacro.end());
    // The first sheet's EOF is the second EOF of the stream.
    const auto globalsEof =
        std::find_if(records.begin(), records.end(), [](const Record& r) { return r.type == rt::Eof; });
    const auto sheetEof =
        std::find_if(globalsEof + 1, records.end(), [](const Record& r) { return r.type == rt::Eof; });
    records.insert(sheetEof, codeName("Sheet1"));

    CompoundFile cf =
        CompoundFile::parse(project ? xlsBytes("parseexcel-Test97J.xls") : xlsBytes("poi-DrawingAndComments.xls"));
    cf.setStream(cf.findRootStream(u"Workbook"), joinRecords(records));
    return cf.serialize();
}

std::vector<Record> savedRecords(const Bytes& file)
{
    const CompoundFile cf = CompoundFile::parse(file);
    return parseRecords(cf.stream(cf.findRootStream(u"Workbook")));
}

}  // namespace

// A template with a VBA project makes plain workbooks: no project, nothing that refers to it, the
// cells and the shapes as they were; the template's bytes are not touched.
TEST(xls_workbook, leaves_out_a_vba_project_and_what_refers_to_it)
{
    Bytes objBefore;
    const Bytes file = withMacroRecords(true, &objBefore);
    const Bytes copyOfFile = file;
    Workbook wb = Workbook::fromBytes(file);
    EXPECT_TRUE(wb.macrosLeftOut());
    wb.copySheetToEnd(1);
    wb.setCell(1, "A1", CellValue::fromText(u"written"));
    const Bytes saved = wb.saveToBytes();
    EXPECT_TRUE(wb.verify(saved).empty());
    EXPECT_EQ(file, copyOfFile);

    const CompoundFile cf = CompoundFile::parse(saved);
    for (const std::u16string name : {u"_VBA_PROJECT_CUR", u"VBA", u"PROJECT", u"dir", u"ThisWorkbook"})
        EXPECT_FALSE(cf.hasEntry(name));
    EXPECT_GE(cf.findRootStream(u"\x05SummaryInformation"), 0);
    int names = 0, objs = 0;
    for (const Record& r : savedRecords(saved)) {
        EXPECT_NE(r.type, 0x00D3);
        EXPECT_NE(r.type, 0x01BD);
        EXPECT_NE(r.type, rt::CodeName);
        if (r.type == rt::Name) {
            ++names;
            // Hidden, no macro bits, renamed, #REF!.
            EXPECT_EQ(u16(r.data, 0), 0x0001);
            const std::string name(r.data.begin() + 15, r.data.end() - 2);
            EXPECT_EQ(name, "LeftOutMacro1");
            EXPECT_EQ(Bytes(r.data.end() - 2, r.data.end()), (Bytes{0x1C, 0x17}));
        }
        if (r.type == rt::Obj && objs++ == 0) {
            EXPECT_EQ(r.data, objBefore);
        }
    }
    EXPECT_EQ(names, 1);

    // Without a project the same records are the workbook's own and stay as they are.
    const Bytes plain = withMacroRecords(false);
    Workbook kept = Workbook::fromBytes(plain);
    EXPECT_FALSE(kept.macrosLeftOut());
    const std::vector<Record> keptRecords = savedRecords(kept.saveToBytes());
    EXPECT_EQ(std::count_if(keptRecords.begin(), keptRecords.end(), [](const Record& r) { return r.type == 0x00D3; }),
              1);
    EXPECT_EQ(
        std::count_if(keptRecords.begin(), keptRecords.end(), [](const Record& r) { return r.type == rt::CodeName; }),
        2);
}

// The XTI indexes of a sheet's chart formulas (BRAI 3-D references), in order.
std::vector<std::uint16_t> chartXtis(const std::vector<Record>& sheet)
{
    std::vector<std::uint16_t> out;
    for (const Record& r : sheet)
        if (r.type == 0x1051 && r.data.size() > 8 && u16(r.data, 6) >= 3 && (r.data[8] & 0x1F) == 0x1B)
            out.push_back(u16(r.data, 9));
    return out;
}

// Excel's sheet with an embedded chart: the copy has a chart of its own that plots the copy, with
// a drawing of its own; the original's chart is untouched.
TEST(xls_workbook, a_copied_chart_plots_the_copy)
{
    Workbook wb = Workbook::fromBytes(xlsBytes("writeexcel-Chart4.xls"));
    const Bytes before = wb.saveToBytes();
    const std::vector<std::uint16_t> original = chartXtis(sheetRecords(before, 1));
    ASSERT_FALSE(original.empty());
    EXPECT_EQ(wb.copySheetToEnd(1), 2);
    const Bytes saved = wb.saveToBytes();
    EXPECT_TRUE(wb.verify(saved).empty());
    EXPECT_EQ(chartXtis(sheetRecords(saved, 1)), original);
    const std::vector<std::uint16_t> copied = chartXtis(sheetRecords(saved, 2));
    ASSERT_EQ(copied.size(), original.size());
    // Each reference names the copy (sheet 1, 0-based) alone in EXTERNSHEET.
    const std::vector<Record> all = savedRecords(saved);
    const Record& externSheet =
        *std::find_if(all.begin(), all.end(), [](const Record& r) { return r.type == rt::ExternSheet; });
    for (const std::uint16_t x : copied) {
        EXPECT_EQ(u16(externSheet.data, 2 + 6u * x + 2), 1);
        EXPECT_EQ(u16(externSheet.data, 2 + 6u * x + 4), 1);
    }
}

// A cell written on a sheet with an embedded chart widens the sheet's DIMENSIONS, never the
// chart's (which tells how much series data the chart holds).
TEST(xls_workbook, writing_a_cell_leaves_a_charts_dimensions_alone)
{
    Workbook wb = Workbook::fromBytes(xlsBytes("writeexcel-Chart4.xls"));
    // The DIMENSIONS records of sheet 1 (0-based), each with its depth: 1 the sheet's, 2 a chart's.
    auto dimensions = [](const Bytes& saved) {
        std::vector<std::pair<int, Bytes>> out;
        int depth = 0;
        for (const Record& r : sheetRecords(saved, 1)) {
            depth += r.type == rt::Bof;
            if (r.type == rt::Dimensions)
                out.emplace_back(depth, r.data);
            depth -= r.type == rt::Eof;
        }
        return out;
    };
    const auto before = dimensions(wb.saveToBytes());
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(before[1].first, 2);
    wb.setCell(1, "K200", CellValue::fromNumber(7));
    const Bytes saved = wb.saveToBytes();
    EXPECT_TRUE(wb.verify(saved).empty());
    const auto after = dimensions(saved);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1], before[1]);
    EXPECT_EQ(u32(after[0].second, 4), 200u);  // rows up to 199, the last one past
    EXPECT_EQ(u16(after[0].second, 10), 11u);  // columns up to K
}

// LibreOffice's charts on the two forms (the benchmark's template): copied alone, the delivery
// form's chart of its own cells plots the copy, its chart of the order form's cells goes on
// plotting the order form; copied with the order form, that chart plots the order form's copy.
TEST(xls_workbook, a_chart_follows_the_sheets_copied_with_its_own)
{
    const QByteArray file = tolvar::test::readFile(QStringLiteral(TOLVAR_SOURCE_DIR "/bench/MST_PO-charts-macros.xls"));
    const Workbook original = Workbook::fromBytes(Bytes(file.begin(), file.end()));
    // The sheet (0-based) each chart reference of a saved sheet names alone.
    auto plotted = [](const Bytes& saved, int position) {
        const std::vector<Record> all = savedRecords(saved);
        const Record& xtis =
            *std::find_if(all.begin(), all.end(), [](const Record& r) { return r.type == rt::ExternSheet; });
        std::vector<int> sheets;
        for (const std::uint16_t x : chartXtis(sheetRecords(saved, position))) {
            EXPECT_EQ(u16(xtis.data, 2 + 6u * x + 2), u16(xtis.data, 2 + 6u * x + 4));
            sheets.push_back(u16(xtis.data, 2 + 6u * x + 2));
        }
        return sheets;
    };
    const Bytes before = Workbook(original).saveToBytes();
    ASSERT_EQ(plotted(before, 1), (std::vector<int>{0, 1}));

    Workbook alone = original;
    EXPECT_EQ(alone.copySheetToEnd(1), 3);
    EXPECT_EQ(plotted(alone.saveToBytes(), 3), (std::vector<int>{2, 1}));

    Workbook pair = original;
    EXPECT_EQ(pair.copySheetsToEnd({1, 2}), (std::vector<int>{3, 4}));
    const Bytes saved = pair.saveToBytes();
    EXPECT_TRUE(pair.verify(saved).empty());
    EXPECT_EQ(plotted(saved, 1), (std::vector<int>{0, 1}));
    EXPECT_EQ(plotted(saved, 3), (std::vector<int>{2, 3}));
    EXPECT_EQ(plotted(saved, 4), (std::vector<int>{3}));
}

// A chart sheet cannot be a form sheet; a group of sheets is copied whole or not at all.
TEST(xls_workbook, a_chart_sheet_is_refused_and_a_refused_group_leaves_the_workbook_as_it_was)
{
    Workbook wb = Workbook::fromBytes(xlsBytes("writeexcel-Chart1.xls"));
    const Bytes before = wb.saveToBytes();
    try {
        wb.copySheetsToEnd({1, 2});
        ADD_FAILURE() << "a chart sheet was copied";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Unsupported);
        EXPECT_NE(std::string(e.what()).find("is a chart sheet: a form sheet needs cells"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(wb.sheetCount(), 2);
    EXPECT_EQ(wb.saveToBytes(), before);
}

TEST(xls_compound_file, a_removed_storage_takes_everything_in_it)
{
    CompoundFile cf = CompoundFile::parse(xlsBytes("parseexcel-Test97J.xls"));
    const Bytes workbook = cf.stream(cf.findRootStream(u"Workbook"));
    ASSERT_GE(cf.findRootEntry(u"_VBA_PROJECT_CUR"), 0);
    EXPECT_EQ(cf.findRootStream(u"_VBA_PROJECT_CUR"), -1);
    cf.removeRootEntry(cf.findRootEntry(u"_VBA_PROJECT_CUR"));
    const CompoundFile read = CompoundFile::parse(cf.serialize());
    for (const std::u16string name : {u"_VBA_PROJECT_CUR", u"VBA", u"PROJECT", u"PROJECTwm", u"dir", u"Sheet1"})
        EXPECT_FALSE(read.hasEntry(name));
    EXPECT_EQ(read.stream(read.findRootStream(u"Workbook")), workbook);
    EXPECT_GE(read.findRootStream(u"\x01"
                                  u"CompObj"),
              0);
}

TEST(xls_workbook, names_the_problem_of_a_file_it_cannot_read)
{
    const Bytes good = xlsBytes("poi-WithConditionalFormatting.xls");
    // The same container with the Workbook stream's first records changed.
    auto withStream = [&](const std::function<void(Bytes&)>& change) { return tolvar::test::withStream(good, change); };
    const Bytes biff5 = withStream([](Bytes& s) { set16(s, 4, 0x0500); });
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(biff5); }), ErrorCode::OldFormat);
    const Bytes encrypted = withStream([](Bytes& s) {
        // The record after BOF becomes FILEPASS.
        const std::size_t next = 4 + u16(s, 2);
        set16(s, next, rt::FilePass);
    });
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(encrypted); }), ErrorCode::Encrypted);
    const Bytes truncated = withStream([](Bytes& s) { s.resize(1000); });
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(truncated); }), ErrorCode::DamagedRecord);

    // The directory entry renamed: "Book" is the older format, anything else no workbook at all.
    auto renamed = [&](const std::u16string& name) {
        Bytes b = good;
        const std::u16string old = u"Workbook";
        const auto* from = reinterpret_cast<const std::uint8_t*>(old.data());
        const auto at = std::search(b.begin(), b.end(), from, from + 16);
        EXPECT_NE(at, b.end());
        const std::size_t entry = static_cast<std::size_t>(at - b.begin());
        std::fill(b.begin() + static_cast<std::ptrdiff_t>(entry), b.begin() + static_cast<std::ptrdiff_t>(entry + 64),
                  0);
        for (std::size_t i = 0; i < name.size(); ++i)
            set16(b, entry + 2 * i, name[i]);
        set16(b, entry + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
        return b;
    };
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(renamed(u"Book")); }), ErrorCode::OldFormat);
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(renamed(u"Something")); }), ErrorCode::NoWorkbookStream);

    // Each refusal of a workbook a spreadsheet program opens says what to do about it.
    auto message = [](const Bytes& file) {
        try {
            Workbook::fromBytes(file);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(read)");
    };
    const std::pair<Bytes, std::string> advice[] = {
        {encrypted, "remove the password to open in the spreadsheet program and save it again"},
        {biff5, "the Excel 5 format: save it as an Excel 97-2003 workbook"},
        {renamed(u"Book"), "the Excel 5 format: save it as an Excel 97-2003 workbook"},
    };
    for (const auto& [file, words] : advice)
        EXPECT_NE(message(file).find(words), std::string::npos) << message(file);
    // A shared workbook: its revision log beside the Workbook stream (the summary entry renamed).
    Bytes shared = good;
    const std::u16string summary = u"\x05SummaryInformation";
    const auto* from = reinterpret_cast<const std::uint8_t*>(summary.data());
    const auto at = std::search(shared.begin(), shared.end(), from, from + 2 * summary.size());
    ASSERT_NE(at, shared.end());
    const std::u16string log = u"Revision Log";
    std::fill(at, at + 64, 0);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(log.data()), 2 * log.size(), at);
    set16(shared, static_cast<std::size_t>(at - shared.begin()) + 64, static_cast<std::uint16_t>(2 * (log.size() + 1)));
    EXPECT_NE(message(shared).find("a shared workbook: stop sharing it in the spreadsheet program and save it again"),
              std::string::npos)
        << message(shared);
}

TEST(xls_workbook, damaged_copies_of_every_fixture_are_refused_or_kept_whole)
{
    // What damaged input may be refused with; anything else (or any other exception) is a fault.
    const std::set<ErrorCode> refusals = {
        ErrorCode::NotCompoundFile,    ErrorCode::DamagedCompoundFile, ErrorCode::NoWorkbookStream,
        ErrorCode::OldFormat,          ErrorCode::Encrypted,           ErrorCode::DamagedRecord,
        ErrorCode::Unsupported,        ErrorCode::SheetNotFound,       ErrorCode::InvalidSheetName,
        ErrorCode::DuplicateSheetName, ErrorCode::FormulaCell};
    const char* files[] = {"poi-12561-1.xls", "poi-SimpleWithImages.xls", "phpspreadsheet-30template.xls",
                           "parseexcel-long_string8.xls", "xlrd-namesdemo.xls"};
    for (const char* name : files) {
        const Bytes good = xlsBytes(name);
        // Cut short: no container below one header sector, a damaged one above.
        for (std::size_t cut = 0; cut < good.size(); cut += good.size() / 37 + 1) {
            const Bytes bad(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
            const ErrorCode code = codeOf([&] { Workbook::fromBytes(bad).saveToBytes(); });
            EXPECT_EQ(code, cut < 512 ? ErrorCode::NotCompoundFile : ErrorCode::DamagedCompoundFile)
                << name << " " << cut;
        }
        // One byte flipped: refused with a code for damaged input, or read, copied, written and
        // saved into a workbook that reads back as meant.
        for (std::size_t at = 0; at < good.size(); at += good.size() / 211 + 1) {
            Bytes bad = good;
            bad[at] ^= 0xFF;
            const ErrorCode code = codeOf([&] {
                Workbook wb = Workbook::fromBytes(bad);
                wb.copySheetToEnd(1);
                wb.setCell(wb.sheetCount(), "B2", CellValue::fromText(u"x"));
                const Bytes saved = wb.saveToBytes();
                EXPECT_EQ(wb.verify(saved), std::vector<std::string>{}) << name << " byte " << at;
            });
            EXPECT_TRUE(code == static_cast<ErrorCode>(0) || refusals.count(code)) << name << " byte " << at;
        }
    }
}

TEST(xls_compound_file, chains_that_loop_and_directories_that_cycle_are_refused)
{
    const Bytes good = xlsBytes("poi-WithConditionalFormatting.xls");
    auto sectorAt = [](std::uint32_t n) { return (static_cast<std::size_t>(n) + 1) * 512; };
    const std::uint32_t firstFat = u32(good, 0x4C);
    const std::uint32_t firstDirectory = u32(good, 0x30);

    // The directory's chain points back at its own first sector.
    Bytes fatLoop = good;
    set32(fatLoop, sectorAt(firstFat) + 4 * firstDirectory, firstDirectory);
    EXPECT_EQ(codeOf([&] { CompoundFile::parse(fatLoop); }), ErrorCode::DamagedCompoundFile);

    // A DIFAT sector whose next DIFAT sector is itself.
    Bytes difatLoop = good;
    const auto last = static_cast<std::uint32_t>(good.size() / 512 - 2);
    set32(difatLoop, 0x44, last);
    set32(difatLoop, 0x48, 1);
    for (std::size_t i = 0; i < 127; ++i)
        set32(difatLoop, sectorAt(last) + 4 * i, 0xFFFFFFFF);
    set32(difatLoop, sectorAt(last) + 508, last);
    EXPECT_EQ(codeOf([&] { CompoundFile::parse(difatLoop); }), ErrorCode::DamagedCompoundFile);

    // The root's children point at each other in a circle that leaves the Workbook stream out:
    // the search ends, and there is no workbook.
    Bytes cycle = good;
    const std::size_t directory = sectorAt(firstDirectory);
    const CompoundFile cf = CompoundFile::parse(good);
    const int workbook = cf.findRootStream(u"Workbook");
    // Two entries of the directory's first sector (four to a sector) other than the Workbook's.
    const std::uint32_t a = workbook == 1 ? 2 : 1, b = workbook == 3 ? 2 : 3;
    set32(cycle, directory + 76, a);            // the root's child
    set32(cycle, directory + 128 * a + 68, b);  // a's left sibling
    set32(cycle, directory + 128 * a + 72, b);  // a's right sibling
    set32(cycle, directory + 128 * b + 68, a);  // and back
    set32(cycle, directory + 128 * b + 72, a);
    EXPECT_EQ(CompoundFile::parse(cycle).findRootStream(u"Workbook"), -1);
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(cycle); }), ErrorCode::NoWorkbookStream);
}

// A table that counts fewer strings than it holds, or holds bytes after its last whole string:
// the strings added later must be read back where they were put.
TEST(xls_shared_strings, strings_added_after_a_table_that_counts_too_few_read_back)
{
    const Bytes file = tolvar::test::withStream(xlsBytes("MST_PO.xls"), [](Bytes& stream) {
        for (const Record& r : parseRecords(stream))
            if (r.type == rt::Sst) {
                set32(stream, r.offset + 4 + 4, u32(r.data, 4) - 2);  // cstUnique, after the header and cstTotal
                return;
            }
        ADD_FAILURE() << "no SST";
    });
    Workbook wb = Workbook::fromBytes(file);
    wb.setCell(2, "B2", CellValue::fromText(u"after the table"));
    wb.setCell(2, "B3", CellValue::fromText(u"漢字も"));
    const Bytes saved = wb.saveToBytes();
    EXPECT_EQ(wb.verify(saved), std::vector<std::string>{});
    EXPECT_EQ(codeOf([&] { Workbook::fromBytes(saved); }), static_cast<ErrorCode>(0));
}
