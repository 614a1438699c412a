#include "xls/Error.h"

#include <cstdio>

namespace xls {

const char* errorText(ErrorCode code)
{
    switch (code) {
    case ErrorCode::NotCompoundFile: return "not a compound file (no OLE2 signature)";
    case ErrorCode::DamagedCompoundFile: return "damaged compound file";
    case ErrorCode::NoWorkbookStream: return "no Workbook stream";
    case ErrorCode::OldFormat: return "workbook format older than BIFF8 (Excel 97)";
    case ErrorCode::Encrypted: return "encrypted workbook";
    case ErrorCode::DamagedRecord: return "damaged or truncated record";
    case ErrorCode::Unsupported: return "workbook content that cannot be kept intact";
    case ErrorCode::SheetNotFound: return "sheet not found";
    case ErrorCode::InvalidSheetName: return "invalid sheet name";
    case ErrorCode::DuplicateSheetName: return "sheet name already used";
    case ErrorCode::InvalidCellAddress: return "invalid cell address";
    case ErrorCode::FormulaCell: return "cell belongs to a shared or array formula";
    case ErrorCode::InvalidValue: return "value cannot be stored in a cell";
    case ErrorCode::FileError: return "file cannot be read or written";
    case ErrorCode::DamagedPackage: return "damaged Office Open XML package";
    }
    return "unknown error";
}

namespace {

std::string compose(ErrorCode code, std::size_t offset, const std::string& detail)
{
    std::string text = errorText(code);
    if (!detail.empty())
        text += ": " + detail;
    if (offset != Error::npos)
        text += " (at offset " + hex(static_cast<std::uint32_t>(offset), 4) + ")";
    return text;
}

}  // namespace

Error::Error(ErrorCode code, const std::string& detail) : Error(code, npos, detail) {}

Error::Error(ErrorCode code, std::size_t offset, const std::string& detail)
    : std::runtime_error(compose(code, offset, detail)), code_(code), offset_(offset), detail_(detail)
{
}

std::string hex(std::uint32_t value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

}  // namespace xls
