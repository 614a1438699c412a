// xls::Error: what the workbook engine reports when a file cannot be read or an operation would
// damage it. A code, the stream offset where reading stopped (when there is one) and a sentence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace xls {

enum class ErrorCode : int {
    NotCompoundFile = 1,
    DamagedCompoundFile,
    NoWorkbookStream,
    OldFormat,
    Encrypted,
    DamagedRecord,
    Unsupported,
    SheetNotFound,
    InvalidSheetName,
    DuplicateSheetName,
    InvalidCellAddress,
    FormulaCell,
    InvalidValue,
    FileError,
    DamagedPackage,
};

// The fixed text of a code; every code has one.
const char* errorText(ErrorCode code);

class Error : public std::runtime_error {
public:
    Error(ErrorCode code, const std::string& detail);
    Error(ErrorCode code, std::size_t offset, const std::string& detail);

    ErrorCode code() const noexcept { return code_; }
    // The sentence after the code's own text.
    const std::string& detail() const noexcept { return detail_; }
    // The stream or file offset where the problem lies; npos when none applies.
    std::size_t offset() const noexcept { return offset_; }
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    ErrorCode code_;
    std::size_t offset_;
    std::string detail_;
};

// "0x00FC" and "0x1A20" forms for the messages.
std::string hex(std::uint32_t value, int digits = 4);

}  // namespace xls
