// A BIFF8 record as it lies in the Workbook stream: its type and its data. The record ids the
// engine works with are named here, with their [MS-XLS] names.
#pragma once

#include "xls/Bytes.h"

#include <cstdint>
#include <vector>

namespace xls {

struct Record {
    std::uint16_t type = 0;
    Bytes data;
    std::size_t offset = 0;  // where it was read; for messages
};

namespace rt {
constexpr std::uint16_t Formula = 0x0006, Eof = 0x000A, CalcCount = 0x000C, Name = 0x0018, ExternSheet = 0x0017,
                        Note = 0x001C, DateMode = 0x0022, FilePass = 0x002F, Continue = 0x003C, Window1 = 0x003D,
                        Obj = 0x005D, DefColWidth = 0x0055, ColInfo = 0x007D, BoundSheet = 0x0085, SxView = 0x00B0,
                        MulRk = 0x00BD, MulBlank = 0x00BE, RString = 0x00D6, DbCell = 0x00D7, Xf = 0x00E0,
                        MergeCells = 0x00E5, MsoDrawingGroup = 0x00EB, MsoDrawing = 0x00EC, Sst = 0x00FC,
                        LabelSst = 0x00FD, ExtSst = 0x00FF, TabId = 0x013D, SupBook = 0x01AE, UsersViewBegin = 0x01AA,
                        CodeName = 0x01BA, Dimensions = 0x0200, Blank = 0x0201, Number = 0x0203, Label = 0x0204,
                        BoolErr = 0x0205, String = 0x0207, Row = 0x0208, Index = 0x020B, Array = 0x0221,
                        DefaultRowHeight = 0x0225, Table = 0x0236, Window2 = 0x023E, Rk = 0x027E, Format = 0x041E,
                        ShrFmla = 0x04BC, Bof = 0x0809;
}  // namespace rt

// Offsets of the record fields the engine reads or changes, within the record's data.
namespace field {
// Every cell record starts with its row, column and XF index.
constexpr std::size_t kCellRow = 0, kCellCol = 2, kCellXf = 4;
// NUMBER: the IEEE double after the XF; RK: the RK number; LABELSST: the string's index.
constexpr std::size_t kNumberValue = 6, kRkValue = 6, kLabelSstIndex = 6;
// MULRK/MULBLANK: from offset 4 an entry a column (XF and RK value, or XF alone), then the last
// column.
constexpr std::size_t kRunEntries = 4;
constexpr std::size_t runEntrySize(std::uint16_t type)
{
    return type == rt::MulRk ? 6 : 2;
}
// FORMULA: the cached result (8 bytes) and the flags (0x0008 fShrFmla).
constexpr std::size_t kFormulaResult = 6, kFormulaFlags = 14;
constexpr std::uint16_t kFormulaShared = 0x0008;
// ROW: row, first column, last column + 1, height, flags (0x0080 fGhostDirty), XF (12 bits).
constexpr std::size_t kRowRow = 0, kRowColMic = 2, kRowColMac = 4, kRowHeight = 6, kRowFlags = 12, kRowXf = 14;
constexpr std::uint16_t kRowHasFormat = 0x0080;
// DIMENSIONS: first row, last row + 1 (4 bytes each), first column, last column + 1.
constexpr std::size_t kDimRowMic = 0, kDimRowMac = 4, kDimColMic = 8, kDimColMac = 10;
// INDEX: reserved (4), first row, last row + 1, DEFCOLWIDTH's offset, then the DBCELL offsets.
constexpr std::size_t kIndexRowMic = 4, kIndexRowMac = 8, kIndexDefColWidth = 12, kIndexDbCells = 16;
// BOUNDSHEET: the BOF offset, visibility, sheet type, then the name (cch, flags, characters).
constexpr std::size_t kSheetOffset = 0, kSheetState = 4, kSheetType = 5, kSheetNameLength = 6, kSheetName = 7;
// WINDOW2: its first word holds fSelected (0x0200) and fPaged (0x0400).
constexpr std::uint16_t kWindowSelected = 0x0600;
// COLINFO: first column, last column, width, XF.
constexpr std::size_t kColInfoFirst = 0, kColInfoLast = 2, kColInfoXf = 6;
// XF: font, format, then the type word whose bit 2 marks a style XF.
constexpr std::size_t kXfFormat = 2, kXfType = 4;
constexpr std::uint16_t kXfIsStyle = 0x0004;
// NAME: options, shortcut, name length, formula length, reserved, the sheet (1-based; 0 for
// the workbook), four reserved bytes, then the name's flags byte and characters.
constexpr std::size_t kNameLength = 3, kNameFormulaLength = 4, kNameSheet = 8, kNameFlags = 14, kNameChars = 15;
// SUPBOOK: the sheet count, then 0x0401 for the workbook's own.
constexpr std::size_t kSupBookSheets = 0, kSupBookKind = 2;
constexpr std::uint16_t kSupBookSelf = 0x0401;
// BOF: version (0x0600 for BIFF8), then the substream type.
constexpr std::size_t kBofVersion = 0, kBofType = 2;
constexpr std::uint16_t kBiff8 = 0x0600, kBofGlobals = 0x0005, kBofWorksheet = 0x0010, kBofChart = 0x0020;
}  // namespace field

constexpr std::size_t kMaxRecordData = 8224;

// The records of a stream, in order; stops after the last substream's EOF (writers pad with zeros).
std::vector<Record> parseRecords(ByteView stream);
void appendRecord(Bytes& out, std::uint16_t type, ByteView data);

// One logical record split into a first record of `type` and CONTINUE records of at most 8224 bytes.
std::vector<Record> splitRecord(std::uint16_t type, ByteView data);

}  // namespace xls
