// CellTable: the cells of one worksheet by address, whatever order and place the writer stored
// them in. Each address is held by at most one record (or one part of a MULRK/MULBLANK run): a
// cell written takes the address over, cutting a run around it. A file read that holds two records
// for one address is refused, because the readers disagree on which one counts (a BLANK after a
// value clears it for some, not for others). Written out, the table is in the order Excel uses:
// rows ascending in blocks of up to 32 rows, each block's ROW records, then its cells row by row in
// column order, then its DBCELL.
#pragma once

#include "xls/Record.h"
#include "xls/SortedMap.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace xls {

class CellTable {
public:
    // A cell record, or a MULRK/MULBLANK run, with the records that belong to it (STRING, SHRFMLA,
    // ARRAY, TABLE and CONTINUE after a FORMULA).
    struct Cell {
        std::uint16_t firstCol = 0;
        std::uint16_t lastCol = 0;
        Record record;
        std::vector<Record> followers;
        // The format (XF) of one of its columns. Inline: checks and lookups ask it of every cell.
        std::uint16_t xfAt(std::uint16_t col) const
        {
            if (record.type == rt::MulRk || record.type == rt::MulBlank)
                return u16(record.data, field::kRunEntries + (col - firstCol) * field::runEntrySize(record.type));
            return u16(record.data, field::kCellXf);
        }
        // The first column whose XF is `count` or more, if any: the check of a template's formats,
        // which looks at every cell, so a run's entries are read in one pass.
        std::optional<std::uint16_t> firstXfFrom(std::size_t count) const;
    };

    bool empty() const { return rows_.empty(); }
    // A ROW record (its data); a later one for the same row replaces it.
    void putRow(Bytes rowData);
    // What placing a record on an address already held does.
    enum class Overlap { Replace, Refuse };
    // Places a cell record on its addresses; returns the stored cell, for its followers. Refuse
    // throws Unsupported naming the address.
    Cell& place(Record record, Overlap overlap);
    // A cell written: placed like place() with Replace, in a row that gets a ROW record made by
    // `makeRow` when it has none, whose column range (colMic, colMac) is widened to cover it.
    void write(Record record, const std::function<Bytes(std::uint16_t row)>& makeRow);

    // The record that holds (row, col), with the column's position in it; nullptr when none.
    const Cell* find(std::uint16_t row, std::uint16_t col) const;
    const std::optional<Bytes>& rowRecord(std::uint16_t row) const;
    std::optional<std::uint16_t> xfAt(std::uint16_t row, std::uint16_t col) const;

    std::size_t labelSstCount() const;
    template <typename F>
    void forEachCell(F&& f)
    {
        for (auto& [row, data] : rows_)
            for (Cell& c : data.cells)
                f(c);
    }

    // The number of row blocks (and so of DBCELL records) the table is written in.
    std::size_t blockCount() const;
    // Appends the table to the stream; the offsets of its DBCELL records are stream offsets.
    struct Layout {
        std::vector<std::uint32_t> dbcells;  // stream offsets of the DBCELL records
        std::uint32_t rwMic = 0, rwMac = 0;  // first row and last row + 1 (0, 0 when empty)
    };
    Layout serialize(Bytes& stream) const;

private:
    struct Row {
        std::optional<Bytes> rowRecord;
        std::vector<Cell> cells;  // ascending columns, runs not overlapping
    };
    std::vector<std::vector<std::uint16_t>> rowBlocks() const;
    static Cell& placeIn(std::vector<Cell>& cells, std::uint16_t rowNumber, Cell cell, Overlap overlap);
    static void coverColumn(Bytes& rowRecord, std::uint16_t col);

    SortedMap<std::uint16_t, Row> rows_;
};

bool isCellRecord(std::uint16_t type);
// "BC57" of a 0-based row and column.
std::string cellName(std::uint16_t row, std::uint16_t col);
// STRING, SHRFMLA, ARRAY and TABLE: the records that belong to the FORMULA before them.
bool isFormulaFollower(std::uint16_t type);

}  // namespace xls
