// Worksheet: one worksheet substream. Its cells are held by address in a CellTable, wherever the
// writer put them between BOF and EOF; every other record is kept as it was, in its order. On save
// the cell table goes where the writer's first cell-table record stood (after DIMENSIONS when the
// sheet had none) and INDEX, DBCELL and DIMENSIONS are made right for it.
#pragma once

#include "xls/CellTable.h"
#include "xls/Record.h"

#include <optional>
#include <vector>

namespace xls {

// A rectangle of cells, 0-based and inclusive.
struct CellRange {
    std::uint16_t firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    bool contains(std::uint16_t row, std::uint16_t col) const
    {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
};

class Worksheet {
public:
    // The records of the substream, BOF to EOF.
    explicit Worksheet(std::vector<Record> substream);

    const CellTable& cells() const { return table_; }
    CellTable& cells() { return table_; }
    // The XF a new cell at (row, col) would take: its row's (when the row is formatted), its
    // column's, or nothing (the default).
    std::optional<std::uint16_t> inheritedXf(std::uint16_t row, std::uint16_t col) const;
    // Throws FormulaCell when the cell belongs to a shared, array or table formula, which other
    // cells depend on. `held` is what cells().find() gives for (row, col).
    static void requireWritable(const CellTable::Cell* held, std::uint16_t row, std::uint16_t col);
    // Puts the record (its row and column fields set) in place of whatever holds (row, col).
    void setCell(std::uint16_t row, std::uint16_t col, Record record);
    // The merged ranges of the sheet (MERGECELLS).
    std::vector<CellRange> mergedRanges() const;

    // The records outside the cell table, in their order (INDEX among them, rebuilt on save).
    std::vector<Record>& records()
    {
        dimensionsAt_ = kNotLooked;  // the records may change: look for DIMENSIONS again
        return records_;
    }
    const std::vector<Record>& records() const { return records_; }
    bool hasEmbeddedCharts() const;

    // Appends the substream to the stream.
    void serialize(Bytes& stream) const;

private:
    void split(std::vector<Record> substream);
    void placeTable(std::size_t firstTableRecord);
    Bytes newRowRecord(std::uint16_t row) const;
    void extendDimensions(std::uint16_t row, std::uint16_t col, bool firstCell);
    Record* ownDimensions();

    static constexpr std::size_t kNotLooked = ~std::size_t{0};
    static constexpr std::size_t kNoDimensions = kNotLooked - 1;

    std::vector<Record> records_;
    std::size_t dimensionsAt_ = kNotLooked;  // where ownDimensions() found it, for the next cell written
    std::size_t tableAt_ = 0;                // the cell table is written before records_[tableAt_]
    CellTable table_;
};

}  // namespace xls
