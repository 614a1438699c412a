// PoWorkbook: the spreadsheet operations the PO workbook generation uses (sheet count, a sheet by
// position or name, a copy after the last sheet, renaming, one cell's value, saving), in memory,
// over the engine of the template's format: the xls engine for a BIFF8 template, the Office Open
// XML engine for an .xlsx or .xlsm one. Engine errors reach the caller as Failures with their own
// numbers.
#pragma once

#include "ooxml/Workbook.h"
#include "xls/Workbook.h"

#include <QByteArray>
#include <QString>
#include <variant>

namespace tolvar {

class PoWorkbook {
public:
    // Reads the template; a missing or unreadable file, or one the engine refuses, is a Failure.
    // keep: the template read stays for the next open of the same file, which copies it instead of
    // reading it again (a batch, the window); without, the last copy is handed over as it is.
    static PoWorkbook open(const QString& templatePath, bool keep = true);
    // Starts reading the template on a second thread, for the next open() of the same file, so that
    // the reading overlaps the caller's own work (the database's). open() waits for it; whatever
    // goes wrong there open() meets again and reports as it would have. Templates are opened from
    // one thread: call it from that one.
    static void readAhead(const QString& templatePath);

    using Book = std::variant<xls::Workbook, ooxml::Workbook>;

    int sheetCount() const;
    // Whether the workbook is an Office Open XML one, saved as .xlsx.
    bool officeOpenXml() const { return std::holds_alternative<ooxml::Workbook>(book_); }
    // Exactly the two forms, the delivery form first.
    bool hasFormSheets() const;
    // The sheets of `pages` pages, copied and named as the form wants them.
    void preparePages(int pages);
    // The position of the sheet of that name (from 1); a missing sheet is a Failure.
    int worksheet(const QString& name) const;
    void copyAfterLast(int position);
    void setName(int position, const QString& name);
    void setValue(int position, const char* address, const xls::CellValue& value);
    xls::Bytes saveToBytes() const;
    // Reads the saved bytes back; a workbook that does not hold what was written is a Failure that
    // names the sheet, the cell and what differs.
    void verify(xls::ByteView saved) const;

    // The Failure number of an engine error: its code, below -4000.
    static qint32 failureNumber(const xls::Error& error);

private:
    explicit PoWorkbook(Book book) : book_(std::move(book)) {}
    Book book_;
};

}  // namespace tolvar
