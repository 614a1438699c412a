// The program's own failure numbers, in one place. Platform and driver failures keep their own
// numbers; these are used where the platform gives none. Each number has its own text.
#pragma once

#include <QString>
#include <vector>

namespace tolvar {

enum class FailureCode : qint32 {
    // Conversion of a value that is not a number (the platform's "type mismatch").
    TypeMismatch = 13,
    // Arithmetic overflow (fixed-point or 32-bit).
    Overflow = 6,
    // A division by zero (the platform's number).
    DivisionByZero = 11,
    // A column that a result set does not have.
    ItemNotFound = 3265,

    // Database connections (negative, as provider failures are).
    DbUnknownProvider = -2001,
    DbEmptyServer = -2002,
    DbDriverMissing = -2003,
    DbFileMissing = -2004,
    DbOpenFailed = -2005,
    DbUnknownKind = -2006,
    DbStatementFailed = -2007,
    DbNotOpen = -2008,
    DbReadFailed = -2009,
    // A connection string that names its ODBC driver by a file path instead of a registered name.
    DbDriverPath = -2010,

    // Files.
    FileMissing = -3001,
    FileOpenInOtherProgram = -3002,
    FileWriteFailed = -3003,
    FolderMissing = -3004,
    TemplateSheets = -3005,
    // The workbook read back from its bytes does not hold what was written.
    WorkbookCheckFailed = -3006,
    // A PO number that cannot be a file name (it would put the workbook outside the save folder).
    PoNumberNotFileName = -3007,
    // A file that is there but may not be read (the office's settings for a user outside its group).
    FileReadFailed = -3008,

    // PDFs printed by LibreOffice.
    PdfPrinterMissing = -3101,
    PdfPrinterFailed = -3102,
    PdfTimedOut = -3103,
    PdfWriteFailed = -3104,
    PdfCancelled = -3105,

    // The workbook engine refused a template or an operation: the failure's number is this one
    // minus the engine's own code (xls::ErrorCode, 1 and up), so -4001 and below.
    WorkbookEngine = -4000,

    // Anything else caught by the last resort.
    Unexpected = -9999,
};

// The default description of a code.
QString failureText(FailureCode code);
// Every code, so that a test keeps the table of texts complete.
const std::vector<FailureCode>& allFailureCodes();

qint32 toNumber(FailureCode code);

}  // namespace tolvar
