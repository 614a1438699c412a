#include "pofile/TemplateCheck.h"

#include "ooxml/Zip.h"
#include "pofile/PoForm.h"
#include "xls/CompoundFile.h"
#include "xls/Text.h"
#include "xls/WorkbookScan.h"

#include <optional>

namespace tolvar::form {

namespace {

std::u16string u16(const std::string& utf8)
{
    return xls::fromUtf8(utf8);
}

// Where a sheet's form cells are: the header, every band of lines and, on the order form, the totals.
struct FormCell {
    std::string address;
    bool date = false;
};

std::vector<FormCell> formCells(bool delivery)
{
    std::vector<FormCell> cells;
    for (const HeaderCell& h : delivery ? deliveryHeader() : orderHeader())
        cells.push_back({h.address, h.source == Source::AsIsDate});
    const int first = delivery ? kFirstDeliveryRow : kFirstOrderRow;
    for (int line = 0; line < kLinesPerPage; ++line)
        for (const LineCell& l : delivery ? deliveryLine() : orderLine())
            cells.push_back({address(l.column, first + kBandRows * line + l.rowOffset)});
    if (!delivery) {
        cells.push_back({kQuantityTotal});
        cells.push_back({kAmountTotal});
    }
    return cells;
}

// Sample values: numbers where the form puts numbers, the address itself elsewhere, so that a value
// that lands in the wrong cell shows.
xls::CellValue sampleFor(const std::string& address, bool number, bool date)
{
    if (date)
        return xls::CellValue::fromDate(2026, 1, 15);
    if (number)
        return xls::CellValue::fromText(u"1234.5");
    return xls::CellValue::fromText(u16(address + " 見本"));
}

bool isNumberColumn(const char* field)
{
    const std::string f = field ? field : "";
    return f.empty() || f == "数量" || f == "下代" || f == "上代";
}

std::string rangeText(const xls::CellRange& r)
{
    auto cell = [](std::uint16_t row, std::uint16_t col) { return xls::cellName(row, col); };
    return cell(r.firstRow, r.firstCol) + ":" + cell(r.lastRow, r.lastCol);
}

std::vector<xls::CellRange> mergedRanges(const xls::Workbook& book, int position)
{
    return book.worksheet(position).mergedRanges();
}

std::vector<xls::CellRange> mergedRanges(const ooxml::Workbook& book, int position)
{
    return book.mergedRanges(position);
}

bool holdsFormula(const xls::Workbook& book, int position, const std::string& address)
{
    const xls::CellAddress a = xls::CellAddress::parse(address);
    const xls::CellTable::Cell* held = book.worksheet(position).cells().find(a.row, a.col);
    return held && held->record.type == xls::rt::Formula;
}

bool holdsFormula(const ooxml::Workbook& book, int position, const std::string& address)
{
    return book.cellHoldsFormula(position, address);
}

template <typename Book>
void checkFormCells(const Book& book, int position, bool delivery, std::vector<Finding>& findings)
{
    const std::string sheet = "sheet \"" + xls::utf8(book.sheetName(position)) + "\"";
    const std::vector<xls::CellRange> merged = mergedRanges(book, position);
    for (const FormCell& c : formCells(delivery)) {
        const xls::CellAddress a = xls::CellAddress::parse(c.address);
        for (const xls::CellRange& r : merged)
            if (r.contains(a.row, a.col) && (a.row != r.firstRow || a.col != r.firstCol))
                findings.push_back(
                    {true, sheet + " cell " + c.address + " lies inside the merged range " + rangeText(r) +
                               " but is not its top-left cell: what the form writes there does not show"});
        if (holdsFormula(book, position, c.address))
            findings.push_back(
                {true, sheet + " cell " + c.address + " holds a formula, which the form would overwrite"});
        if (c.date && !book.cellShowsDates(position, c.address))
            findings.push_back(
                {false, sheet + " cell " + c.address + " has no date format: the date goes in as the text YYYY/MM/DD"});
    }
}

template <typename Book>
bool hasFormSheetsOf(const Book& book)
{
    return book.sheetCount() == 2 && xls::sameSheetName(book.sheetName(1), u16(kDeliveryTemplate)) &&
           xls::sameSheetName(book.sheetName(2), u16(kOrderTemplate));
}

template <typename Book>
void preparePagesOf(Book& book, int pages)
{
    const int delivery = book.sheetPosition(u16(kDeliveryTemplate));
    const int order = book.sheetPosition(u16(kOrderTemplate));
    // Each page's two forms are copied together: a chart on one that plots the other's cells
    // plots that page's copy of them.
    for (int k = 2; k <= pages; ++k)
        book.copySheetsToEnd({delivery, order});
    for (int j = 1; j <= pages; ++j) {
        book.renameSheet(2 * j - 1, u16(deliverySheetName(j)));
        book.renameSheet(2 * j, u16(orderSheetName(j)));
    }
}

template <typename Book>
void fillTrialFormOf(Book& book, int pages)
{
    preparePagesOf(book, pages);
    for (int page = 1; page <= pages; ++page) {
        for (const bool delivery : {true, false}) {
            const int sheet = 2 * page - (delivery ? 1 : 0);
            for (const HeaderCell& h : delivery ? deliveryHeader() : orderHeader())
                book.setCell(sheet, h.address, sampleFor(h.address, false, h.source == Source::AsIsDate));
            const int first = delivery ? kFirstDeliveryRow : kFirstOrderRow;
            for (int line = 0; line < kLinesPerPage; ++line)
                for (const LineCell& l : delivery ? deliveryLine() : orderLine()) {
                    const std::string at = address(l.column, first + kBandRows * line + l.rowOffset);
                    book.setCell(sheet, at, sampleFor(at, isNumberColumn(l.field), false));
                }
            if (!delivery) {
                book.setCell(sheet, kQuantityTotal, xls::CellValue::fromText(u"40"));
                book.setCell(sheet, kAmountTotal, xls::CellValue::fromText(u"49380"));
            }
        }
    }
}

template <typename Book>
std::vector<Finding> checkTemplateOf(xls::ByteView bytes)
{
    std::vector<Finding> findings;
    std::optional<Book> book;
    try {
        book = Book::fromBytes(bytes);
    } catch (const xls::Error& e) {
        findings.push_back({true, std::string("the template cannot be used: ") + e.what()});
        return findings;
    }
    if (book->macrosLeftOut())
        findings.push_back({false, "the template's macros are left out of the workbooks made"});
    if (!hasFormSheetsOf(*book)) {
        std::string names;
        for (int p = 1; p <= book->sheetCount(); ++p)
            names += (p > 1 ? ", \"" : "\"") + xls::utf8(book->sheetName(p)) + "\"";
        findings.push_back({true, std::string("the template must hold exactly the two sheets \"") + kDeliveryTemplate +
                                      "\" and \"" + kOrderTemplate + "\", in this order; it holds " + names});
        return findings;
    }
    try {
        checkFormCells(*book, 1, true, findings);
        checkFormCells(*book, 2, false, findings);
        Book trial = *book;
        fillTrialFormOf(trial, 3);
        for (const std::string& difference : trial.verify(trial.saveToBytes()))
            findings.push_back({true, "the three-page trial workbook does not read back as written: " + difference});
    } catch (const xls::Error& e) {
        findings.push_back({true, std::string("the three-page trial workbook cannot be made: ") + e.what()});
    }
    return findings;
}

// An Office Open XML workbook saved with a password: a compound file that holds the encrypted package.
bool isEncryptedPackage(xls::ByteView bytes)
{
    if (bytes.size() < 8 || bytes[0] != 0xD0 || bytes[1] != 0xCF)
        return false;
    try {
        return xls::CompoundFile::parse(bytes).findRootStream(u"EncryptedPackage") >= 0;
    } catch (const xls::Error&) {
        return false;
    }
}

}  // namespace

bool hasFormSheets(const xls::Workbook& book)
{
    return hasFormSheetsOf(book);
}

bool hasFormSheets(const ooxml::Workbook& book)
{
    return hasFormSheetsOf(book);
}

void preparePages(xls::Workbook& book, int pages)
{
    preparePagesOf(book, pages);
}

void preparePages(ooxml::Workbook& book, int pages)
{
    preparePagesOf(book, pages);
}

void fillTrialForm(xls::Workbook& book, int pages)
{
    fillTrialFormOf(book, pages);
}

void fillTrialForm(ooxml::Workbook& book, int pages)
{
    fillTrialFormOf(book, pages);
}

TemplateFormat templateFormat(xls::ByteView bytes)
{
    return ooxml::looksLikeZip(bytes) || isEncryptedPackage(bytes) ? TemplateFormat::OfficeOpenXml
                                                                   : TemplateFormat::Biff8;
}

std::vector<Finding> checkTemplate(xls::ByteView bytes)
{
    if (templateFormat(bytes) == TemplateFormat::OfficeOpenXml) {
        std::vector<Finding> findings = checkTemplateOf<ooxml::Workbook>(bytes);
        findings.insert(findings.begin(), {false,
                                           "the template is an Office Open XML workbook: the workbooks made "
                                           "are .xlsx"});
        return findings;
    }
    return checkTemplateOf<xls::Workbook>(bytes);
}

}  // namespace tolvar::form
