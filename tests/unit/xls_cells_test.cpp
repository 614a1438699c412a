// Cells by address whatever their order, the cell table where Excel writes it, and the self-check
// that reads a saved workbook back: it finds what a faulty save would leave.
#include "pofile/TemplateCheck.h"
#include "unit/XlsTestSupport.h"
#include "xls/CellReading.h"
#include "xls/CellTable.h"
#include "xls/Workbook.h"
#include "xls/Worksheet.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <map>

using namespace xls;
using tolvar::test::codeOf;
using tolvar::test::withStream;
using tolvar::test::xlsBytes;

namespace {

Record cell(std::uint16_t type, std::uint16_t row, std::uint16_t col, std::uint16_t xf, Bytes rest = {})
{
    Record r{type, {}, 0};
    put16(r.data, row);
    put16(r.data, col);
    put16(r.data, xf);
    r.data.insert(r.data.end(), rest.begin(), rest.end());
    return r;
}

Record mulBlank(std::uint16_t row, std::uint16_t first, std::vector<std::uint16_t> xfs)
{
    Record r{rt::MulBlank, {}, 0};
    put16(r.data, row);
    put16(r.data, first);
    for (std::uint16_t xf : xfs)
        put16(r.data, xf);
    put16(r.data, static_cast<std::uint16_t>(first + xfs.size() - 1));
    return r;
}

Record rowRecord(std::uint16_t row)
{
    Record r{rt::Row, {}, 0};
    for (std::uint16_t v : {row, std::uint16_t(0), std::uint16_t(8), std::uint16_t(300), std::uint16_t(0),
                            std::uint16_t(0), std::uint16_t(0x0100), std::uint16_t(15)})
        put16(r.data, v);
    return r;
}

Record plain(std::uint16_t type, Bytes data = {})
{
    return Record{type, std::move(data), 0};
}

// The record types of a serialized sheet, in order.
std::vector<std::uint16_t> typesOf(const Bytes& substream)
{
    std::vector<std::uint16_t> out;
    for (const Record& r : parseRecords(substream))
        out.push_back(r.type);
    return out;
}

std::size_t positionOf(const std::vector<std::uint16_t>& types, std::uint16_t type)
{
    return static_cast<std::size_t>(std::find(types.begin(), types.end(), type) - types.begin());
}

}  // namespace

TEST(xls_cell_table, cells_are_held_by_address_whatever_their_order)
{
    CellTable t;
    t.place(cell(rt::Blank, 5, 3, 21), CellTable::Overlap::Refuse);
    t.place(mulBlank(5, 0, {20, 20, 20}), CellTable::Overlap::Refuse);
    t.place(cell(rt::Blank, 1, 0, 22), CellTable::Overlap::Refuse);
    t.putRow(rowRecord(5).data);
    EXPECT_EQ(t.xfAt(5, 1), std::optional<std::uint16_t>(20));
    EXPECT_EQ(t.xfAt(5, 3), std::optional<std::uint16_t>(21));
    EXPECT_EQ(t.xfAt(5, 4), std::nullopt);
    // Written out: row 1 before row 5, the run before the cell at column 3, then a DBCELL.
    Bytes bytes;
    const CellTable::Layout l = t.serialize(bytes);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> order;
    for (const Record& r : parseRecords(bytes))
        order.emplace_back(r.type, isCellRecord(r.type) ? u16(r.data, 2) : 0xFFFF);
    EXPECT_EQ(order, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{
                         {rt::Row, 0xFFFF}, {rt::Blank, 0}, {rt::MulBlank, 0}, {rt::Blank, 3}, {rt::DbCell, 0xFFFF}}));
    EXPECT_EQ(l.rwMic, 1u);
    EXPECT_EQ(l.rwMac, 6u);
}

// The rows' map: any order of insertion gives the order of a std::map, and every lookup agrees.
TEST(xls_cell_table, the_row_map_keeps_key_order_whatever_the_insertion_order)
{
    SortedMap<std::uint16_t, int> rows;
    std::map<std::uint16_t, int> oracle;
    std::uint32_t state = 12345;
    for (int i = 0; i < 500; ++i) {
        state = state * 1103515245u + 12345u;
        const auto key = static_cast<std::uint16_t>((state >> 16) % 300);
        rows[key] += i;
        oracle[key] += i;
    }
    ASSERT_EQ(rows.size(), oracle.size());
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), oracle.begin(), oracle.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first && a.second == b.second; }));
    for (std::uint16_t key = 0; key < 310; ++key) {
        const bool there = oracle.count(key) > 0;
        EXPECT_EQ(rows.find(key) != rows.end(), there) << key;
        if (there)
            EXPECT_EQ(rows.at(key), oracle.at(key));
        else
            EXPECT_THROW(rows.at(key), std::out_of_range);
    }
}

TEST(xls_cell_table, a_written_cell_cuts_a_run_and_a_run_of_one_is_a_single_cell)
{
    CellTable t;
    t.place(mulBlank(2, 4, {30, 31, 32, 33}), CellTable::Overlap::Refuse);
    t.place(cell(rt::Number, 2, 5, 31, Bytes(8, 0)), CellTable::Overlap::Replace);
    ASSERT_NE(t.find(2, 4), nullptr);
    EXPECT_EQ(t.find(2, 4)->record.type, rt::Blank);  // the left part: one cell
    EXPECT_EQ(t.find(2, 5)->record.type, rt::Number);
    EXPECT_EQ(t.find(2, 6)->record.type, rt::MulBlank);  // the right part: still a run
    EXPECT_EQ(t.xfAt(2, 7), std::optional<std::uint16_t>(33));
    t.place(mulBlank(9, 1, {40}), CellTable::Overlap::Refuse);
    EXPECT_EQ(t.find(9, 1)->record.type, rt::Blank);
}

// A cell written at any column of a MULBLANK or MULRK run of any length leaves every other column
// as it was (its format, its number), and what stays of the run is well formed (a part of one
// column a single BLANK or RK), in column order.
TEST(xls_cell_table, a_cell_cuts_a_run_at_any_column)
{
    const auto rkRun = [](std::uint16_t row, std::uint16_t first, int n) {
        Record r{rt::MulRk, {}, 0};
        put16(r.data, row);
        put16(r.data, first);
        for (int i = 0; i < n; ++i) {
            put16(r.data, static_cast<std::uint16_t>(20 + i));
            put32(r.data, static_cast<std::uint32_t>((first + i) << 2 | 2));  // the integer first + i
        }
        put16(r.data, static_cast<std::uint16_t>(first + n - 1));
        return r;
    };
    int wrong = 0;
    for (const bool rk : {false, true}) {
        for (int n = 2; n <= 5; ++n) {
            for (int at = 0; at < n; ++at) {
                std::vector<std::uint16_t> xfs;
                for (int i = 0; i < n; ++i)
                    xfs.push_back(static_cast<std::uint16_t>(20 + i));
                CellTable t;
                t.place(rk ? rkRun(1, 10, n) : mulBlank(1, 10, xfs), CellTable::Overlap::Refuse);
                t.place(cell(rt::Number, 1, static_cast<std::uint16_t>(10 + at), 99, Bytes(8, 0)),
                        CellTable::Overlap::Replace);
                std::uint16_t nextCol = 10;
                t.forEachCell([&](const CellTable::Cell& c) {
                    // In order, each record readable on its own, a run of two columns or more.
                    wrong += c.firstCol != nextCol ||
                             (c.record.type == rt::MulRk || c.record.type == rt::MulBlank ? c.lastCol <= c.firstCol
                                                                                          : c.lastCol != c.firstCol);
                    CellTable alone;
                    alone.place(c.record, CellTable::Overlap::Refuse);
                    Texts texts;
                    std::vector<std::pair<std::uint16_t, CellReading>> readings;
                    readCells(c.record.type, c.record.data, {}, 0, texts, readings);
                    for (const auto& [col, reading] : readings) {
                        if (col == 10 + at) {
                            wrong += reading.kind != CellReading::Kind::Number || reading.xf != 99;
                            continue;
                        }
                        wrong += reading.xf != 20 + (col - 10);
                        if (rk)
                            wrong += !sameReading(reading, texts, CellReading::number(col, reading.xf), texts);
                    }
                    nextCol = static_cast<std::uint16_t>(c.lastCol + 1);
                });
                wrong += nextCol != 10 + n;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(xls_cell_table, two_records_for_one_address_in_a_file_are_refused)
{
    CellTable t;
    t.place(mulBlank(3, 0, {15, 15, 15}), CellTable::Overlap::Refuse);
    try {
        t.place(cell(rt::Number, 3, 2, 15, Bytes(8, 0)), CellTable::Overlap::Refuse);
        ADD_FAILURE() << "a second record for C4 was taken";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Unsupported);
        EXPECT_NE(std::string(e.what()).find("C4"), std::string::npos) << e.what();
    }
    // Damaged runs are refused as such.
    Record bad = mulBlank(3, 5, {15, 15});
    set16(bad.data, bad.data.size() - 2, 9);
    EXPECT_EQ(codeOf([&] { t.place(bad, CellTable::Overlap::Refuse); }), ErrorCode::DamagedRecord);
    EXPECT_EQ(codeOf([&] { t.place(plain(rt::Number, Bytes(10, 0)), CellTable::Overlap::Refuse); }),
              ErrorCode::DamagedRecord);
}

// A cell whose format the workbook does not have is refused on opening, named: inside a run (at its
// second and last columns) and as a cell of its own.
TEST(xls_workbook, a_cell_with_a_format_the_workbook_lacks_is_refused_by_its_address)
{
    const Bytes original = xlsBytes("MST_PO.xls");
    Workbook::fromBytes(original);  // every format known
    // The template's sheet cells: the first run of three or more columns, and the first single cell.
    const CompoundFile cf = CompoundFile::parse(original);
    std::optional<Record> run, single;
    for (const Record& r : parseRecords(cf.stream(cf.findRootStream(u"Workbook")))) {
        if (!run && r.type == rt::MulBlank && r.data.size() >= 6 + 3 * 2)
            run = r;
        if (!single && (r.type == rt::Blank || r.type == rt::LabelSst || r.type == rt::Number))
            single = r;
    }
    ASSERT_TRUE(run && single);
    auto refusedAt = [&](const Record& r, std::size_t xfAt, std::uint16_t col) {
        const Bytes damaged = withStream(original, [&](Bytes& s) { set16(s, r.offset + 4 + xfAt, 0xFFFF); });
        const std::string address = WorkbookScan::address(WorkbookScan::key(u16(r.data, 0), col));
        try {
            Workbook::fromBytes(damaged);
            ADD_FAILURE() << "format 65535 at " << address << " was taken";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::DamagedRecord) << e.what();
            EXPECT_NE(std::string(e.what()).find("cell " + address + " "), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("format 65535"), std::string::npos) << e.what();
        }
    };
    const std::uint16_t first = u16(run->data, 2);
    const std::uint16_t last = u16(run->data, run->data.size() - 2);
    refusedAt(*run, 4 + 2, static_cast<std::uint16_t>(first + 1));
    refusedAt(*run, 4 + 2 * (last - first), last);
    refusedAt(*single, 4, u16(single->data, 2));
}
TEST(xls_worksheet, the_table_goes_where_excel_writes_it_whatever_the_writer_did)
{
    // A script-made layout: DIMENSIONS first, a cell before the column widths and one after,
    // a merge after the last cell, no INDEX.
    std::vector<Record> sub = {plain(rt::Bof, {0, 6, 0x10, 0}),
                               plain(rt::Dimensions, Bytes(14, 0)),
                               plain(0x00A1, Bytes(34, 0)),  // SETUP
                               rowRecord(0),
                               cell(rt::Blank, 0, 0, 15),
                               plain(rt::DefColWidth, {8, 0}),
                               plain(rt::ColInfo, Bytes(12, 0)),
                               cell(rt::Blank, 0, 1, 15),
                               plain(rt::MergeCells, {1, 0, 0, 0, 0, 0, 0, 0, 1, 0}),
                               plain(rt::Window2, Bytes(18, 0)),
                               plain(rt::Eof)};
    Bytes bytes(1000, 0);  // where the globals would be
    Worksheet(sub).serialize(bytes);
    const std::vector<std::uint16_t> types = typesOf(Bytes(bytes.begin() + 1000, bytes.end()));
    EXPECT_EQ(types[1], rt::Index);  // given one, right after BOF
    const std::size_t row = positionOf(types, rt::Row);
    EXPECT_GT(row, positionOf(types, rt::ColInfo));  // after the column widths
    EXPECT_LT(positionOf(types, rt::DbCell), positionOf(types, rt::MergeCells));
    EXPECT_EQ(std::count(types.begin(), types.end(), rt::Blank), 2);
    EXPECT_EQ(types[row + 1], rt::Blank);
    EXPECT_EQ(types[row + 2], rt::Blank);
}

TEST(xls_worksheet, an_embedded_charts_page_setup_does_not_draw_the_table_into_it)
{
    std::vector<Record> sub = {plain(rt::Bof, {0, 6, 0x10, 0}),
                               plain(rt::Dimensions, Bytes(14, 0)),
                               rowRecord(0),
                               cell(rt::Blank, 0, 0, 15),
                               plain(rt::Bof, {0, 6, 0x20, 0}),
                               plain(0x00A1, Bytes(34, 0)),
                               plain(rt::Eof),
                               plain(rt::Window2, Bytes(18, 0)),
                               plain(rt::Eof)};
    Bytes bytes;
    Worksheet(sub).serialize(bytes);
    const std::vector<std::uint16_t> types = typesOf(bytes);
    EXPECT_LT(positionOf(types, rt::DbCell), 6u);  // before the chart's BOF
}

TEST(xls_worksheet, page_setup_records_after_window2_do_not_draw_the_table_after_it)
{
    // Excel 2007 and later: a HEADERFOOTER in the page setup, and another with PLV after WINDOW2,
    // SELECTION and the feature records.
    std::vector<Record> sub = {plain(rt::Bof, {0, 6, 0x10, 0}),
                               plain(0x089C, Bytes(38, 0)),  // HEADERFOOTER
                               plain(rt::Dimensions, Bytes(14, 0)),
                               rowRecord(0),
                               cell(rt::Blank, 0, 0, 15),
                               plain(rt::Window2, Bytes(18, 0)),
                               plain(0x001D, Bytes(15, 0)),  // SELECTION
                               plain(0x0867, Bytes(23, 0)),  // FEATHEADR
                               plain(0x089C, Bytes(38, 0)),
                               plain(0x088B, Bytes(16, 0)),  // PLV
                               plain(rt::Eof)};
    Bytes bytes;
    Worksheet(sub).serialize(bytes);
    const std::vector<std::uint16_t> types = typesOf(bytes);
    EXPECT_GT(positionOf(types, rt::Row), positionOf(types, rt::Dimensions));
    EXPECT_LT(positionOf(types, rt::DbCell), positionOf(types, rt::Window2));
    EXPECT_EQ(types[types.size() - 2], 0x088B);
}

TEST(xls_workbook, excel_files_round_trip_byte_for_byte)
{
    // Every Excel-made test workbook but the Excel 97 one, whose EXTSST holds junk Excel wrote.
    for (const char* name :
         {"parseexcel-worksheet_01.xls", "phpspreadsheet-1904_Calendar.xls", "phpspreadsheet-30template.xls",
          "phpspreadsheet-DataValidation.xls", "poi-12561-1.xls", "poi-DrawingAndComments.xls",
          "poi-RepeatingRowsCols.xls", "poi-SimpleWithImages.xls", "poi-WithConditionalFormatting.xls",
          "sheetjs-defined_names_unicode.xls", "sheetjs-phonetic_text.xls", "xlrd-namesdemo.xls"}) {
        const Bytes original = xlsBytes(name);
        const Bytes saved = Workbook::fromBytes(original).saveToBytes();
        auto stream = [](const Bytes& file) {
            const CompoundFile cf = CompoundFile::parse(file);
            Bytes s = cf.stream(cf.findRootStream(u"Workbook"));
            while (!s.empty() && s.back() == 0)  // padding after the last EOF
                s.pop_back();
            return s;
        };
        EXPECT_EQ(stream(saved), stream(original)) << name;
    }
}

// ---------------------------------------------------------------------------------------------
// The self-check
// ---------------------------------------------------------------------------------------------

namespace {

// The project's template with the whole form filled on three pages, and its saved bytes.
struct Filled {
    Workbook book;
    Bytes saved;
};

Filled filledForm()
{
    Filled f{Workbook::fromBytes(xlsBytes("MST_PO.xls")), {}};
    tolvar::form::fillTrialForm(f.book, 3);
    f.saved = f.book.saveToBytes();
    return f;
}

// Changes the first record of `type` in the `sheet`-th substream (0 for the globals).
Bytes changeRecord(const Bytes& file, int sheet, std::uint16_t type,
                   const std::function<void(Bytes&, std::size_t)>& change)
{
    return withStream(file, [&](Bytes& s) {
        int seen = -1, depth = 0;
        for (const Record& r : parseRecords(s)) {
            if (r.type == rt::Bof && depth++ == 0)
                ++seen;
            if (r.type == rt::Eof)
                --depth;
            if (seen == sheet && r.type == type) {
                change(s, r.offset + 4);
                return;
            }
        }
        ADD_FAILURE() << "no record " << hex(type) << " in substream " << sheet;
    });
}

bool mentions(const std::vector<std::string>& differences, const std::string& text)
{
    return std::any_of(differences.begin(), differences.end(),
                       [&](const std::string& d) { return d.find(text) != std::string::npos; });
}

}  // namespace

TEST(xls_self_check, a_faithful_save_has_no_difference)
{
    const Filled f = filledForm();
    EXPECT_EQ(f.book.verify(f.saved), std::vector<std::string>{});
}

TEST(xls_self_check, finds_a_changed_value_a_changed_format_and_a_lost_cell)
{
    const Filled f = filledForm();
    // The first NUMBER of the third sheet (納品情報2) reads another number.
    const Bytes value = changeRecord(f.saved, 3, rt::Number, [](Bytes& s, std::size_t at) { s[at + 13] ^= 0x40; });
    const std::vector<std::string> a = f.book.verify(value);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_TRUE(mentions(a, "sheet \"納品情報2\" cell K17 reads number ")) << a[0];
    EXPECT_TRUE(mentions(a, ", meant number 46037 (XF ")) << a[0];  // the sample date's serial
    // Its XF changed.
    const Bytes format = changeRecord(f.saved, 3, rt::Number, [](Bytes& s, std::size_t at) { s[at + 4] ^= 0x01; });
    EXPECT_TRUE(mentions(f.book.verify(format), "(XF "));
    // A LABELSST that becomes a cell of another column: one address lost, one that reads twice.
    const Bytes moved = changeRecord(f.saved, 2, rt::LabelSst, [](Bytes& s, std::size_t at) { s[at + 2] ^= 0x01; });
    const std::vector<std::string> c = f.book.verify(moved);
    EXPECT_TRUE(mentions(c, "reads nothing, meant") || mentions(c, "stored twice or out of order")) << c.size();
}

TEST(xls_self_check, finds_sheet_names_and_string_counts_that_do_not_hold)
{
    const Filled f = filledForm();
    const Bytes renamed = changeRecord(f.saved, 0, rt::BoundSheet, [](Bytes& s, std::size_t at) {
        s[at + field::kSheetName + 1] ^= 0x01;  // a character of the first sheet's name
    });
    EXPECT_TRUE(mentions(f.book.verify(renamed), "sheet 1 is named"));
    const Bytes counted = changeRecord(f.saved, 0, rt::Sst, [](Bytes& s, std::size_t at) { s[at] ^= 0x01; });
    EXPECT_TRUE(mentions(f.book.verify(counted), "the shared string table counts"));
    const Bytes broken = changeRecord(f.saved, 0, rt::BoundSheet, [](Bytes& s, std::size_t at) { s[at] ^= 0x10; });
    EXPECT_TRUE(mentions(f.book.verify(broken), "cannot be read"));
}

TEST(xls_self_check, a_cell_table_after_window2_is_found)
{
    const Filled f = filledForm();
    // The record before the table becomes a WINDOW2: the cells now stand after one.
    const Bytes moved = changeRecord(f.saved, 3, rt::Dimensions, [](Bytes& s, std::size_t at) {
        s[at - 4] = 0x3E;
        s[at - 3] = 0x02;
    });
    EXPECT_TRUE(mentions(f.book.verify(moved), "has cells after its WINDOW2"));
}

TEST(xls_self_check, a_cell_written_twice_into_the_saved_table_is_found)
{
    const Filled f = filledForm();
    // The second single-cell record of a row of PO1 takes the column of the row's first one.
    const Bytes twice = withStream(f.saved, [](Bytes& s) {
        int sheet = -1, depth = 0;
        std::uint16_t firstCol = 0, row = 0xFFFF;
        for (const Record& r : parseRecords(s)) {
            if (r.type == rt::Bof && depth++ == 0)
                ++sheet;
            if (r.type == rt::Eof)
                --depth;
            if (sheet != 2 || !isCellRecord(r.type) || r.type == rt::MulBlank || r.type == rt::MulRk)
                continue;
            if (u16(r.data, 0) != row) {
                row = u16(r.data, 0);
                firstCol = u16(r.data, 2);
                continue;
            }
            set16(s, r.offset + 4 + 2, firstCol);
            return;
        }
        ADD_FAILURE() << "no row of PO1 with two single-cell records";
    });
    EXPECT_TRUE(mentions(f.book.verify(twice), "stored twice or out of order"));
}
