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

constexpr std::size_t kMaxRecordData = 8224;

// The records of a stream, in order; stops after the last substream's EOF (writers pad with zeros).
std::vector<Record> parseRecords(ByteView stream);
void appendRecord(Bytes& out, std::uint16_t type, ByteView data);

// One logical record split into a first record of `type` and CONTINUE records of at most 8224 bytes.
std::vector<Record> splitRecord(std::uint16_t type, ByteView data);

}  // namespace xls
