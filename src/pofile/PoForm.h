// PoForm: the purchase-order form as the workbook generation fills it, in one place: the
// template's two sheets and the names of each page's pair, the header cells with the columns their
// values come from, the line bands, the lines per page and the totals. po_file_make writes by it;
// the template check, the tests, the benchmark and the fuzz target fill it. Plain C++ (column names
// in UTF-8), so that the engine's fuzz target can use it without Qt.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tolvar::form {

inline constexpr const char* kDeliveryTemplate = "海外納品情報";
inline constexpr const char* kOrderTemplate = "Purchase Order";
// Page n's sheets are "納品情報n" (a copy of the delivery form) and "POn" (of the order form).
inline constexpr const char* kDeliveryPrefix = "納品情報";
inline constexpr const char* kOrderPrefix = "PO";

inline constexpr int kLinesPerPage = 20;
inline constexpr int kBandRows = 2;           // a line takes its row and the one below
inline constexpr int kFirstDeliveryRow = 34;  // the first line's row on the delivery sheet
inline constexpr int kFirstOrderRow = 17;     // and on the order sheet
inline constexpr int kLastDeliveryRow = kFirstDeliveryRow + kBandRows * (kLinesPerPage - 1);
inline constexpr const char* kQuantityTotal = "AK57";
inline constexpr const char* kAmountTotal = "BC57";

// How a header cell's value is made from the header row.
enum class Source {
    AsIs,          // the column's value with its own type; NULL leaves the cell empty
    AsIsDate,      // the same, for a date column: a date where the cell has a date format
    Text,          // the column's value as text
    DateText,      // the date as the text YYYY/MM/DD
    Joined,        // the columns' texts joined by the separator
    PageOfPages,   // page number "/" page count
    PoNumberPage,  // the PO number, "-" and the page number when there is more than one page
    Choice,        // whenEqual when the column's number reading equals `equalTo`, else `otherwise`
};

struct HeaderCell {
    const char* address;
    Source source;
    std::array<const char*, 5> columns;  // the first nullptr ends the list
    const char* separator = "";
    int equalTo = 0;
    const char* whenEqual = nullptr;
    const char* otherwise = nullptr;  // nullptr: the value as text, empty for NULL
};

// Every page's header cells, in the order they are written.
const std::vector<HeaderCell>& deliveryHeader();
const std::vector<HeaderCell>& orderHeader();

// A line's cells: a column of the line row, or the line's amount.
struct LineCell {
    const char* column;  // the cell's column letters
    int rowOffset;       // 0 the line's row, 1 the row below
    const char* field;   // the TBL_PO_M column; nullptr for the line amount
};
const std::vector<LineCell>& deliveryLine();
const std::vector<LineCell>& orderLine();

// "B34": the column letters and the row.
std::string address(const char* column, int row);
// The names of page n's sheets.
std::string deliverySheetName(int page);
std::string orderSheetName(int page);
// The number of pages for a count of lines: 0 lines, 0 pages.
long long pageCount(long long lines);

}  // namespace tolvar::form
