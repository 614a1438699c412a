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

// One worksheet's cells in the order the file stores them, read one at a time from the stream:
// what the self-check compares without holding a large sheet's cells in memory.
class SheetCells {
public:
    SheetCells(ByteView stream, std::size_t bof, std::size_t sharedStrings, Texts& texts);
    // The next cell (a run's cells one by one); false at the end of the sheet. Inline (below): the
    // self-check asks it of every cell.
    bool next(std::uint32_t& key, CellReading& reading);
    std::size_t labelSstCells() const { return labelSst_; }
    // Whether a cell of the sheet came after its WINDOW2, where no reader that follows the
    // worksheet's grammar looks for cells (known once the cells have been read to the end).
    bool cellAfterWindow() const { return cellAfterWindow_; }

private:
    bool nextRecord();

    ByteView stream_;
    std::size_t at_;
    int depth_ = 0;
    std::size_t sharedStrings_;
    Texts& texts_;
    std::vector<std::pair<std::uint16_t, CellReading>> pending_;  // the cells of the record read last
    std::size_t taken_ = 0;
    std::uint16_t row_ = 0;
    std::size_t labelSst_ = 0;
    bool windowSeen_ = false;
    bool cellAfterWindow_ = false;
};

class WorkbookScan {
public:
    struct Sheet;
    // Whether each sheet must start exactly where its BOUNDSHEET says (a file the engine wrote), or
    // is taken in stream order where the offset is wrong, as some readers take it (a file opened).
    enum class Offsets { Exact, InOrderWhenWrong };
    // Given, it sees each sheet (its name and kind; a worksheet's cells come from `cells` one by one,
    // as stored) instead of the scan keeping them: a large workbook is read a sheet at a time.
    using EachSheet = std::function<void(std::size_t index, const Sheet& sheet, SheetCells* cells, const Texts& texts)>;
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

inline bool SheetCells::next(std::uint32_t& key, CellReading& reading)
{
    while (taken_ >= pending_.size())
        if (!nextRecord())
            return false;
    key = WorkbookScan::key(row_, pending_[taken_].first);
    reading = pending_[taken_].second;
    ++taken_;
    return true;
}

}  // namespace xls
