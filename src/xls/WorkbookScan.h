// WorkbookScan: an .xls file read as an independent reader reads it, for the workbook's
// self-check. It keeps only what a reader shows: the sheets in BOUNDSHEET order with their names,
// every cell by address with its value and XF (the last record for an address wins, as the readers
// have it, and the addresses held twice are listed), and the shared-string counts. It shares the
// record framing and the cell decoding with the engine, nothing of its cell model.
#pragma once

#include "xls/CellReading.h"

#include <functional>
#include <string>
#include <vector>

namespace xls {

class WorkbookScan {
public:
    struct Sheet;
    // Whether each sheet must start exactly where its BOUNDSHEET says (a file the engine wrote), or
    // is taken in stream order where the offset is wrong, as some readers take it (a file opened).
    enum class Offsets { Exact, InOrderWhenWrong };
    // Given, it sees each sheet with its cells, which are then dropped from the scan: a large
    // workbook is read a sheet at a time.
    using EachSheet = std::function<void(std::size_t index, const Sheet& sheet, const Texts& texts)>;
    // Throws an Error when the file cannot be read.
    static WorkbookScan read(ByteView file, Offsets offsets = Offsets::Exact, const EachSheet& each = {});
    // The same from the Workbook stream alone.
    static WorkbookScan fromStream(ByteView stream, Offsets offsets = Offsets::Exact, const EachSheet& each = {});

    struct Cell {
        std::uint32_t key;  // row << 16 | column
        CellReading reading;
    };
    struct Sheet {
        std::u16string name;
        bool worksheet = false;
        std::vector<Cell> cells;               // ascending keys, one per address
        std::vector<std::uint32_t> heldTwice;  // addresses that more than one record held
    };
    std::vector<Sheet> sheets;
    Texts texts;                   // the shared strings, then the texts of the cells that keep their own
    std::uint32_t sstTotal = 0;    // cstTotal as stated
    std::uint32_t sstUnique = 0;   // cstUnique as stated
    std::uint32_t sstStrings = 0;  // strings actually in the table
    std::size_t labelSstCells = 0;

    static std::uint32_t key(std::uint16_t row, std::uint16_t col) { return (std::uint32_t{row} << 16) | col; }
    // "BC57" of a key.
    static std::string address(std::uint32_t key);
};

}  // namespace xls
