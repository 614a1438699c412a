// po_file_make: the purchase-order workbook of one PO. Reads the PO's header and lines through
// gCnPo, fills a copy of the template in memory (two sheets a page of 20 lines: the header on
// every page, the lines, amounts and running totals), and only when the workbook is complete
// moves it into place as <save folder>/<PO number>.xls (.xlsx from an Office Open XML template),
// replacing an older file. A failure
// leaves any older file as it was and no new one, and rises as a Failure.
#pragma once

#include <QString>

namespace tolvar {

enum class PoFileResult { Written, NotFound };

struct PoFileOptions {
    QString templatePath;  // empty: defaultTemplatePath()
    QString saveFolder;    // empty: gPoSaveFolder
    // The template stays read for the next PO (the window, the rest of a batch); a program that
    // ends after its POs lets the last one have it.
    bool keepTemplate = true;
    // When set, a folder of the caller's own that also gets the checked bytes, as <PO number>.xls:
    // what LibreOffice prints from, rather than the save folder.
    QString checkedCopyFolder;
};

PoFileResult po_file_make(const QString& poNo);
PoFileResult po_file_make(const QString& poNo, const PoFileOptions& options);

// The template in the program folder: MST_PO.xls; where there is none, MST_PO.xlsx, then
// MST_PO.xlsm; where there is none of them, MST_PO.xls, which the failure then names.
QString defaultTemplatePath();
// The template the options name: theirs, or the default one.
QString poTemplatePath(const PoFileOptions& options);

// <folder>/<PO number>.xls, or .xlsx when the template is an Office Open XML workbook (told by
// its content), with a separator put in when the folder text lacks one.
QString poFilePath(const QString& saveFolder, const QString& poNo, const QString& templatePath);

}  // namespace tolvar
